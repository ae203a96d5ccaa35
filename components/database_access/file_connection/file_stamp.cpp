#include "file_stamp.h"

#include "component_error.h"
#include "firebird_error.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbaccess {

namespace {

// Every version keeps its transaction numbers in the first kilobyte.
constexpr qsizetype headerBytes = 1024;

} // namespace

FileStamp stampOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw components::ComponentError(describeFileProblem(errno, path));
    FileStamp stamp;
    stamp.header.resize(headerBytes);
    struct stat info {};
    qsizetype got = 0;
    bool failed = ::fstat(fd, &info) != 0;
    while (!failed && got < headerBytes) {
        const ssize_t n = ::pread(fd, stamp.header.data() + got, size_t(headerBytes - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        failed = n < 0;
        if (n <= 0)
            break;
        got += n;
    }
    const int error = errno;
    ::close(fd);
    if (failed)
        throw components::ComponentError(describeFileProblem(error, path));
    stamp.header.truncate(got);
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

} // namespace dbaccess
