#include "cache_folder.h"

#include "component_error.h"
#include "local_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace dbaccess {

namespace {

constexpr qint64 megabyte = 1024 * 1024;
constexpr qint64 gigabyte = 1024 * megabyte;

QMutex &stateMutex()
{
    static QMutex mutex;
    return mutex;
}

QSet<QString> &copiesInUse()
{
    static QSet<QString> copies;
    return copies;
}

// An engine attaching a copy grows it a little, and a filesystem left with
// nothing free breaks the rest of the user's desktop.
qint64 margin(qint64 bytes)
{
    return std::max(64 * megabyte, bytes / 20);
}

QString sizeText(qint64 bytes, bool roundUp)
{
    if (bytes >= 10 * gigabyte)
        return QStringLiteral("%1 GB").arg(double(bytes) / double(gigabyte), 0, 'f', 1);
    const qint64 whole = roundUp ? (bytes + megabyte - 1) / megabyte : bytes / megabyte;
    return QStringLiteral("%1 MB").arg(whole);
}

QString liveLockName(const QString &folder, qint64 processId)
{
    return folder + QStringLiteral("/live-%1.lock").arg(processId);
}

// Each process holds a lock file in every copies folder it writes partial
// copies into, for as long as it lives: the kernel drops the lock of a
// process that ends, however it ends.
void holdLiveLock(const QString &folder)
{
    static std::map<QString, pid_t> held;
    QMutexLocker lock(&stateMutex());
    const auto known = held.find(folder);
    if (known != held.end() && known->second == ::getpid())
        return; // a forked child takes a lock of its own
    const QByteArray path = QFile::encodeName(liveLockName(folder, ::getpid()));
    for (;;) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return; // then no partial copy can be written there either
        struct stat opened {};
        struct stat named {};
        // A sweep removes a lock file only while it holds it: after that the
        // name may stand for a new file, or none.
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0
            && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            held[folder] = ::getpid();
            return; // kept open for the life of the process
        }
        ::close(fd);
    }
}

bool ownerLives(const QString &folder, qint64 processId)
{
    const int fd = ::open(QFile::encodeName(liveLockName(folder, processId)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void removeLockOfEndedProcess(const QString &path)
{
    const QByteArray local = QFile::encodeName(path);
    const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(local.constData());
    ::close(fd);
}

struct CachedCopy {
    QString path;
    qint64 bytes = 0;
    qint64 lastUsedNs = 0;
};

// Complete copies are the ones named .fdb; their lists of failures go with
// them. Partial copies and lock files are the sweep's.
std::vector<CachedCopy> completeCopies(const QString &folder, qint64 &folderBytes)
{
    std::vector<CachedCopy> copies;
    folderBytes = 0;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        struct stat info {};
        if (::lstat(QFile::encodeName(entry.filePath()).constData(), &info) != 0)
            continue;
        folderBytes += qint64(info.st_size);
        if (entry.fileName().endsWith(QStringLiteral(".fdb")))
            copies.push_back({entry.filePath(), qint64(info.st_size),
                              qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec});
    }
    std::sort(copies.begin(), copies.end(),
              [](const CachedCopy &a, const CachedCopy &b) { return a.lastUsedNs < b.lastUsedNs; });
    return copies;
}

// A copy another process chose moments ago is not attached yet, and so not
// held: its time of last use, set as it chose it, keeps it.
constexpr qint64 chosenMomentsAgoNs = 60LL * 1000000000;

bool chosenMomentsAgo(const CachedCopy &copy)
{
    return copy.lastUsedNs > 0 && QDateTime::currentMSecsSinceEpoch() * 1000000 - copy.lastUsedNs < chosenMomentsAgoNs;
}

bool dropCopy(const CachedCopy &copy)
{
    if (inUseHere(copy.path) || heldByAnotherEngine(copy.path) || chosenMomentsAgo(copy) || !QFile::remove(copy.path))
        return false;
    QFile::remove(copy.path + QStringLiteral(".failures.json"));
    return true;
}

} // namespace

FolderSpace spaceOf(const QString &folder)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max()};
    return {qint64(info.f_bavail) * qint64(info.f_frsize), qint64(info.f_blocks) * qint64(info.f_frsize)};
}

qint64 cacheLimit(const FolderSpace &space)
{
    return std::max(2 * gigabyte, space.total / 10);
}

QString partialName(const QString &target)
{
    const int slash = target.lastIndexOf(u'/');
    holdLiveLock(slash > 0 ? target.left(slash) : QStringLiteral("."));
    return target + QStringLiteral(".part%1").arg(::getpid());
}

void sweepAbandonedCopies(const QString &folder)
{
    static const QRegularExpression partial(QStringLiteral("\\.part(\\d+)$"));
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = partial.match(name);
        if (match.hasMatch() && !ownerLives(folder, match.captured(1).toLongLong()))
            dir.remove(name);
    }
    for (const QString &name : dir.entryList({QStringLiteral("live-*.lock")}, QDir::Files | QDir::Hidden))
        removeLockOfEndedProcess(dir.filePath(name));
}

void sweepCopiesFolder()
{
    try {
        copiesFolder();
    } catch (const components::ComponentError &) {
        // Without a copies folder there is nothing to sweep; a copy reports it.
    }
}

void makeRoomFor(const QString &folder, qint64 bytes, const QString &source)
{
    const qint64 needed = bytes + margin(bytes);
    qint64 folderBytes = 0;
    const std::vector<CachedCopy> copies = completeCopies(folder, folderBytes);
    FolderSpace space = spaceOf(folder);
    const qint64 limit = cacheLimit(space);
    for (const CachedCopy &copy : copies) {
        if (folderBytes + bytes <= limit && space.available >= needed)
            break;
        if (!dropCopy(copy))
            continue;
        folderBytes -= copy.bytes;
        space = spaceOf(folder);
    }
    if (space.available < needed)
        throw components::ComponentError(
            QStringLiteral("There is not enough free space in the program's cache for a private copy of \"%1\": "
                           "it needs %2 in \"%3\", where only %4 is free.")
                .arg(source, sizeText(needed, true), QDir::toNativeSeparators(folder), sizeText(space.available, false)));
}

void markInUse(const QString &copy)
{
    {
        QMutexLocker lock(&stateMutex());
        copiesInUse().insert(copy);
    }
    // The time of last use orders the copies for the size limit.
    ::utimensat(AT_FDCWD, QFile::encodeName(copy).constData(), nullptr, 0);
}

bool inUseHere(const QString &copy)
{
    QMutexLocker lock(&stateMutex());
    return copiesInUse().contains(copy);
}

bool discardCopy(const QString &copy)
{
    {
        QMutexLocker lock(&stateMutex());
        copiesInUse().remove(copy);
    }
    return dropCopy({copy});
}

bool heldByAnotherEngine(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

QString copyWriteProblem(const QString &source, const QString &folder, int error)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("A private copy of \"%1\" cannot be made in the program's cache \"%2\": the disk "
                              "is full (%3).").arg(source, QDir::toNativeSeparators(folder), reason);
    return QStringLiteral("A private copy of \"%1\" cannot be made in the program's cache \"%2\": %3.")
        .arg(source, QDir::toNativeSeparators(folder), reason);
}

} // namespace dbaccess
