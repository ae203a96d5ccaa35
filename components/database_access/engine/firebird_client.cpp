#include "firebird_client.h"

#include <QByteArray>
#include <QDir>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace dbaccess {

namespace {

// A folder only this user owns, or nothing: in /tmp anybody could have put
// a folder or a link of that name there first.
bool ownedPrivateFolder(const QByteArray &path)
{
    ::mkdir(path.constData(), 0700);
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && (info.st_mode & 0077) == 0;
}

void usePrivateLockFolder()
{
    if (qEnvironmentVariableIsSet("FIREBIRD_LOCK"))
        return;
    QByteArrayList candidates;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        candidates << runtime + "/marrowbeck-firebird";
    candidates << QDir::tempPath().toLocal8Bit() + "/marrowbeck-firebird-" + QByteArray::number(::getuid());
    for (const auto &candidate : candidates) {
        if (ownedPrivateFolder(candidate)) {
            qputenv("FIREBIRD_LOCK", candidate);
            return;
        }
    }
    QByteArray fresh = QDir::tempPath().toLocal8Bit() + "/marrowbeck-firebird-XXXXXX";
    if (::mkdtemp(fresh.data()))
        qputenv("FIREBIRD_LOCK", fresh);
}

} // namespace

Firebird::IMaster *firebirdMaster()
{
    static Firebird::IMaster *const master = [] {
        usePrivateLockFolder();
        return Firebird::fb_get_master_interface();
    }();
    return master;
}

} // namespace dbaccess
