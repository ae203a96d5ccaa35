#include "connection_string.h"

#include <QDir>
#include <QUrl>

namespace FireBird {

namespace {

bool needsQuoting(const QString &entry)
{
    for (const QChar c : entry)
        if (c == u';' || c == u'\'' || c == u'"' || c == u'{' || c == u'}')
            return true;
    return false;
}

// Outer, OLE DB level: double quotes, a double quote inside doubled.
QString outerValue(const QString &entry)
{
    if (!needsQuoting(entry))
        return entry;
    QString quoted = entry;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// Driver level, inside Extended Properties: ODBC braces, "}" doubled.
QString driverValue(const QString &entry)
{
    if (!needsQuoting(entry))
        return entry;
    QString braced = entry;
    braced.replace(u'}', QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

} // namespace

QString databaseLocation(const QString &typed)
{
    if (typed.startsWith(QLatin1String("~/")))
        return QDir::homePath() + typed.mid(1);
    if (!typed.startsWith(QLatin1String("file:/"), Qt::CaseInsensitive))
        return typed;
    const QUrl url(typed);
    const QString host = url.host();
    if (!url.isValid() || !(host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0))
        return typed;
    return url.path(QUrl::FullyDecoded);
}

QString connectionString(const QString &database, const QString &user, const QString &password)
{
    QString properties = QStringLiteral("Driver=Firebird/InterBase(r) driver;Dbname=") + driverValue(databaseLocation(database))
        + QStringLiteral(" ;CHARSET=NONE;UID=") + driverValue(user) + QStringLiteral(";Role=admin");
    // Extended Properties is enclosed in single quotes: one inside is doubled.
    properties.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("Provider=MSDASQL.1;Password=") + outerValue(password)
        + QStringLiteral(";Persist Security Info=true;User ID=") + outerValue(user)
        + QStringLiteral(";Extended Properties='") + properties + u'\'';
}

} // namespace FireBird
