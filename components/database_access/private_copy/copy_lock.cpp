#include "copy_lock.h"

#include "component_error.h"

#include <QFile>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

namespace dbaccess {

namespace {

// Room for "100" and a line end, written in place so a reader never sees
// the file empty between two writes.
constexpr int percentBytes = 4;
constexpr int pollMs = 50;

int publishedPercent(int descriptor)
{
    char text[percentBytes + 1] = {};
    if (::pread(descriptor, text, percentBytes, 0) <= 0)
        return 0;
    return qBound(0, QByteArray(text).trimmed().toInt(), 100);
}

// The lock file is removed by the program that held it last, so none stays
// in the cache; a waiter that got the lock of a file already removed takes
// the one now at the path instead.
bool stillAtPath(int descriptor, const QByteArray &path)
{
    struct stat held {}, named {};
    return ::fstat(descriptor, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

} // namespace

CopyLock::CopyLock(const QString &path, ado::PreparationProgress *progress, const QString &database)
    : m_path(QFile::encodeName(path))
{
    for (;;) {
        m_descriptor = ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_descriptor < 0)
            throw components::ComponentError(
                QStringLiteral("A private copy of \"%1\" cannot be kept in the folder of \"%2\".").arg(database, path));
        // Polled when someone watches, so the window stays responsive while
        // the other program works. A file system without locks makes each
        // program its own copy, as if no other one ran: copies only ever
        // appear whole.
        bool locked = true;
        while (::flock(m_descriptor, progress ? LOCK_EX | LOCK_NB : LOCK_EX) != 0) {
            if (errno == EWOULDBLOCK) {
                progress->preparing(database, publishedPercent(m_descriptor));
                QThread::msleep(pollMs);
            } else if (errno != EINTR) {
                locked = false;
                break;
            }
        }
        if (!locked || stillAtPath(m_descriptor, m_path))
            return;
        ::close(m_descriptor);
    }
}

CopyLock::~CopyLock()
{
    ::unlink(m_path.constData());
    ::close(m_descriptor);
}

void CopyLock::publish(int percent)
{
    const QByteArray text = QByteArray::number(percent).leftJustified(percentBytes - 1, ' ') + '\n';
    // When it fails the waiters show no progress; the copy is not affected.
    [[maybe_unused]] const ssize_t written = ::pwrite(m_descriptor, text.constData(), size_t(text.size()), 0);
}

} // namespace dbaccess
