#include "login.h"

#include <QDir>
#include <QUrl>

namespace dbaccess {

Login enteredLogin(const QString &database, const QString &user, const QString &password)
{
    return {databaseLocation(database), user, password, QStringLiteral("admin"), QStringLiteral("NONE")};
}

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
