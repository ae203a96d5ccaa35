#include "connection_string.h"

namespace dbaccess {

namespace {

bool needsQuoting(const QString &value)
{
    for (const QChar c : value)
        if (c == u';' || c == u'\'' || c == u'"' || c == u'{' || c == u'}')
            return true;
    return false;
}

// The closing mark inside is doubled.
QString quotedWhenNeeded(const QString &value, QChar open, QChar close)
{
    if (!needsQuoting(value))
        return value;
    QString quoted = value;
    quoted.replace(close, QString(2, close));
    return open + quoted + close;
}

// Outer, OLE DB level: double quotes.
QString outerValue(const QString &value)
{
    return quotedWhenNeeded(value, u'"', u'"');
}

// Driver level, inside Extended Properties: ODBC braces.
QString driverValue(const QString &value)
{
    return quotedWhenNeeded(value, u'{', u'}');
}

} // namespace

QString connectionString(const Login &login)
{
    QString properties = QStringLiteral("Driver=Firebird/InterBase(r) driver;Dbname=") + driverValue(login.database)
        + QStringLiteral(" ;CHARSET=") + driverValue(login.characterSet) + QStringLiteral(";UID=")
        + driverValue(login.user) + QStringLiteral(";Role=") + driverValue(login.role);
    // Extended Properties is enclosed in single quotes: one inside is doubled.
    properties.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("Provider=MSDASQL.1;Password=") + outerValue(login.password)
        + QStringLiteral(";Persist Security Info=true;User ID=") + outerValue(login.user)
        + QStringLiteral(";Extended Properties='") + properties + u'\'';
}

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

} // namespace dbaccess
