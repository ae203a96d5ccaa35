#include "durable_rename.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace components {
namespace {

int syncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

} // namespace

int renameDurably(const QString &from, const QString &to)
{
    if (const int error = syncPath(from, O_RDONLY))
        return error;
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return errno;
    // The new name lives in the folder's own blocks.
    return syncPath(QFileInfo(to).absolutePath(), O_RDONLY | O_DIRECTORY);
}

} // namespace components
