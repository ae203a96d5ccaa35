#include "file_stamp.h"

#include "component_error.h"
#include "file_messages.h"

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

StampedFile::StampedFile(const QString &path)
    : m_path(path), m_descriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
{
    if (m_descriptor < 0)
        throw components::ComponentError(describeFileProblem(errno, path));
    struct stat info {};
    if (::fstat(m_descriptor, &info) == 0) {
        m_device = info.st_dev;
        m_inode = info.st_ino;
    }
}

StampedFile::~StampedFile()
{
    ::close(m_descriptor);
}

FileStamp StampedFile::stamp() const
{
    FileStamp stamp;
    stamp.header.resize(headerBytes);
    struct stat info {};
    qsizetype got = 0;
    bool failed = ::fstat(m_descriptor, &info) != 0;
    while (!failed && got < headerBytes) {
        const ssize_t n = ::pread(m_descriptor, stamp.header.data() + got, size_t(headerBytes - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        failed = n < 0;
        if (n <= 0)
            break;
        got += n;
    }
    if (failed)
        throw components::ComponentError(describeFileProblem(errno, m_path));
    stamp.header.truncate(got);
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

bool StampedFile::stillAtPath() const
{
    const QByteArray name = QFile::encodeName(m_path);
    struct stat now {};
    return ::stat(name.constData(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode;
}

} // namespace dbaccess
