#include "connection_string_parser.h"

namespace dbaccess {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Reads a quoted value starting at text[pos] (the opening quote or brace).
// Returns false when the closing one is missing or something other than
// blanks follows it before the ";": the value is then taken literally.
bool readQuoted(const QString &text, qsizetype &pos, QString &value)
{
    const QChar open = text[pos];
    const QChar close = open == u'{' ? QChar(u'}') : open;
    QString result;
    qsizetype i = pos + 1;
    for (;;) {
        if (i >= text.size())
            return false;
        if (text[i] == close) {
            if (i + 1 < text.size() && text[i + 1] == close) {
                result += close;
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        result += text[i++];
    }
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] != u';')
        return false;
    pos = i;
    value = result;
    return true;
}

} // namespace

ConnectionStringEntries parseConnectionString(const QString &text)
{
    ConnectionStringEntries entries;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype equals = text.indexOf(u'=', pos);
        const qsizetype semicolon = text.indexOf(u';', pos);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // A piece without "=" names nothing; skip it.
            if (semicolon < 0)
                break;
            pos = semicolon + 1;
            continue;
        }
        const QString key = text.mid(pos, equals - pos).trimmed();
        qsizetype valueStart = equals + 1;
        qsizetype firstNonBlank = valueStart;
        while (firstNonBlank < text.size() && isBlank(text[firstNonBlank]))
            ++firstNonBlank;
        QString value;
        qsizetype end = firstNonBlank;
        const bool quoted = firstNonBlank < text.size()
            && (text[firstNonBlank] == u'\'' || text[firstNonBlank] == u'"' || text[firstNonBlank] == u'{')
            && readQuoted(text, end, value);
        if (!quoted) {
            end = text.indexOf(u';', valueStart);
            if (end < 0)
                end = text.size();
            value = text.mid(valueStart, end - valueStart);
        }
        if (!key.isEmpty())
            entries.push_back({key, value, quoted});
        pos = end + 1;
    }
    return entries;
}

namespace {

const ConnectionStringEntry *findEntry(const ConnectionStringEntries &entries, const QString &key, RepeatedKey rule)
{
    const ConnectionStringEntry *found = nullptr;
    for (const auto &entry : entries) {
        if (entry.key.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        if (rule == RepeatedKey::FirstWins)
            return &entry;
        found = &entry;
    }
    return found;
}

} // namespace

QString connectionStringValue(const ConnectionStringEntries &entries, const QString &key, RepeatedKey rule)
{
    const auto *entry = findEntry(entries, key, rule);
    return entry ? entry->value : QString();
}

Login parseLogin(const QString &connectionString)
{
    const auto outer = parseConnectionString(connectionString);
    const auto inner = parseConnectionString(
        connectionStringValue(outer, QStringLiteral("Extended Properties"), RepeatedKey::LastWins));
    const auto innerOr = [&](const char *innerKey, const char *outerKey) {
        if (const auto *entry = findEntry(inner, QLatin1String(innerKey), RepeatedKey::FirstWins))
            return entry->value;
        return connectionStringValue(outer, QLatin1String(outerKey), RepeatedKey::LastWins);
    };

    Login settings;
    if (const auto *dbname = findEntry(inner, QStringLiteral("Dbname"), RepeatedKey::FirstWins)) {
        settings.database = dbname->value;
        if (!dbname->quoted && settings.database.endsWith(u' '))
            settings.database.chop(1);
    }
    settings.user = innerOr("UID", "User ID");
    settings.password = innerOr("PWD", "Password");
    settings.role = connectionStringValue(inner, QStringLiteral("Role"), RepeatedKey::FirstWins);
    settings.characterSet = connectionStringValue(inner, QStringLiteral("CHARSET"), RepeatedKey::FirstWins);
    return settings;
}

bool namesServer(const QString &database)
{
    if (database.startsWith(u'[')
        || (database.startsWith(QLatin1String("inet"), Qt::CaseInsensitive) && database.contains(QLatin1String("://"))))
        return true;
    const qsizetype colon = database.indexOf(u':');
    if (colon <= 0)
        return false;
    // "host" or "host/port" before the colon; a path has no such prefix.
    const QStringView prefix = QStringView(database).left(colon);
    if (prefix.startsWith(u'/') || prefix.startsWith(u'.') || prefix.contains(u'\\'))
        return false;
    const qsizetype slash = prefix.indexOf(u'/');
    return slash < 0 || (slash > 0 && !prefix.mid(slash + 1).contains(u'/'));
}

} // namespace dbaccess
