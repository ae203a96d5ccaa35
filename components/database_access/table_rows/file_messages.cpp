#include "file_messages.h"

#include "login.h"

#include <cerrno>
#include <cstring>

namespace dbaccess {

QString describeFileInUse(const QString &database)
{
    return QStringLiteral("The database file \"%1\" is in use by another program, such as a Firebird server. "
                          "Open it through that server (host:path), or close the other program first.").arg(database);
}

QString describeNotADatabase(const QString &database)
{
    return QStringLiteral("The file \"%1\" is not a Firebird or InterBase database.").arg(database);
}

QString describeFileProblem(int osError, const QString &database)
{
    switch (osError) {
    case 0:
        // A server does not pass the system's error number on; the embedded
        // engine gives none when the file is there but cut short.
        if (namesServer(database))
            return QStringLiteral("The database file \"%1\" cannot be opened: it does not exist, or the server may "
                                  "not read and write it.").arg(database);
        return QStringLiteral("The database file \"%1\" cannot be read: it may be damaged or incomplete.").arg(database);
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("The database file \"%1\" does not exist.").arg(database);
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("The database file \"%1\" cannot be opened: reading it needs permission to read and "
                              "write the file (a server needs it for its own user).").arg(database);
    case EISDIR:
        return QStringLiteral("\"%1\" is a folder, not a database file.").arg(database);
    default:
        return QStringLiteral("The database file \"%1\" could not be opened (%2).")
            .arg(database, QString::fromLocal8Bit(std::strerror(osError)));
    }
}

} // namespace dbaccess
