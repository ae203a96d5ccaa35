#include "local_file.h"

#include "cache_folder.h"
#include "component_error.h"
#include "durable_rename.h"
#include "file_messages.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dbaccess {

namespace {

// Enough of page 0 to hold every version's header fields.
constexpr qsizetype headerBytes = 1024;
constexpr char headerPageType = 1;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

[[noreturn]] void fail(const QString &text)
{
    throw components::ComponentError(text);
}

qint64 modifiedNs(const struct stat &info)
{
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

QString hashed(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(24));
}

bool privateFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    return ::lstat(local.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && ::access(local.constData(), W_OK) == 0;
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size_t(size));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return false;
        data += put;
        size -= put;
    }
    return true;
}

struct FileState {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileState &) const = default;
};

FileState stateOf(int fd, const QString &path)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(describeFileProblem(errno, path));
    return {qint64(info.st_size), modifiedNs(info)};
}

// Copies one piece in large blocks; false when its file is not in state
// `expected` (unset: the state it had when the copy began) once read.
bool copyPiece(const CopyPiece &piece, std::optional<FileState> expected, int out, const QString &folder,
               QByteArray &buffer)
{
    const Descriptor source(::open(QFile::encodeName(piece.path).constData(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        fail(describeFileProblem(errno, piece.path));
    if (!expected)
        expected = stateOf(source.get(), piece.path);
    qint64 left = piece.length < 0 ? std::numeric_limits<qint64>::max() : piece.length;
    off_t at = off_t(piece.offset);
    while (left > 0) {
        const ssize_t got = ::pread(source.get(), buffer.data(), size_t(std::min<qint64>(buffer.size(), left)), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(describeFileProblem(errno, piece.path));
        if (got == 0)
            break;
        if (!writeAll(out, buffer.constData(), got))
            fail(copyWriteProblem(piece.path, folder, errno));
        at += got;
        left -= got;
    }
    // Pages a file does not hold yet are pages nothing uses: zeros.
    if (piece.length >= 0 && left > 0) {
        const off_t end = ::lseek(out, 0, SEEK_CUR) + off_t(left);
        if (::ftruncate(out, end) != 0 || ::lseek(out, end, SEEK_SET) != end)
            fail(copyWriteProblem(piece.path, folder, errno));
    }
    return stateOf(source.get(), piece.path) == *expected;
}

// Writes the copy; false when a source changed while it was read.
bool copyOnce(const FileVersion &version, const std::vector<CopyPiece> &pieces, const QString &target,
              const FirstPageChange &change)
{
    const QString folder = QFileInfo(target).path();
    Descriptor out(::open(QFile::encodeName(target).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        fail(copyWriteProblem(pieces.front().path, folder, errno));
    QByteArray buffer(4 << 20, Qt::Uninitialized);
    // The first piece is of the version the copy is filed under.
    bool steady = copyPiece(pieces.front(), FileState{version.size, version.modifiedNs}, out.get(), folder, buffer);
    for (size_t i = 1; i < pieces.size(); ++i)
        steady = copyPiece(pieces[i], std::nullopt, out.get(), folder, buffer) && steady;
    if (change) {
        QByteArray first(change.bytes, '\0');
        if (::pread(out.get(), first.data(), size_t(first.size()), 0) != first.size())
            fail(copyWriteProblem(pieces.front().path, folder, EIO));
        change.apply(first);
        if (::pwrite(out.get(), first.constData(), size_t(first.size()), 0) != first.size())
            fail(copyWriteProblem(pieces.front().path, folder, errno));
    }
    // Some filesystems report a full disk only when the file is closed.
    if (::close(out.release()) != 0)
        fail(copyWriteProblem(pieces.front().path, folder, errno));
    return steady;
}

} // namespace

QString FileVersion::pathKey() const
{
    return hashed(QFile::encodeName(QFileInfo(path).absoluteFilePath()));
}

QString FileVersion::versionKey() const
{
    return hashed(QByteArray::number(size) + '/' + QByteArray::number(modifiedNs) + '/' + headerDigest);
}

FileVersion inspectLocalFile(const QString &path, HeldFile held)
{
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == EACCES || errno == EPERM)
            fail(QStringLiteral("The database file \"%1\" cannot be opened: you may not read it.").arg(path));
        fail(describeFileProblem(errno, path));
    }
    return inspectOpenedFile(file.get(), path, held);
}

FileVersion inspectOpenedFile(int descriptor, const QString &path, HeldFile held)
{
    struct stat info {};
    if (::fstat(descriptor, &info) != 0)
        fail(describeFileProblem(errno, path));
    if (S_ISDIR(info.st_mode))
        fail(describeFileProblem(EISDIR, path));
    // Firebird engines hold their files with flock, exclusively unless they
    // share them (Classic). Reading under a writing engine gives no
    // consistent picture.
    if (::flock(descriptor, LOCK_SH | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK && held == HeldFile::Refuse)
            fail(describeFileInUse(path));
    } else {
        ::flock(descriptor, LOCK_UN);
    }
    QByteArray header(headerBytes, '\0');
    qsizetype got = 0;
    while (got < headerBytes) {
        const ssize_t n = ::pread(descriptor, header.data() + got, size_t(headerBytes - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(describeFileProblem(errno, path));
        if (n == 0)
            break;
        got += n;
    }
    if (got < headerBytes)
        fail(got == 0 || header[0] == headerPageType ? describeFileProblem(0, path) : describeNotADatabase(path));
    if (header[0] != headerPageType)
        fail(describeNotADatabase(path));
    return FileVersion{path, qint64(info.st_size), modifiedNs(info),
                       QCryptographicHash::hash(header, QCryptographicHash::Sha256)};
}

QString copiesFolder()
{
    // Asked each time: the answer depends on who runs, and costs microseconds.
    const QString folder = [] {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (!cache.isEmpty() && privateFolder(cache + QStringLiteral("/databases")))
            return cache + QStringLiteral("/databases");
        const QString temporary = QDir::tempPath() + QStringLiteral("/marrowbeck-copies-%1").arg(::getuid());
        if (privateFolder(temporary))
            return temporary;
        // Made once per process: a new one for every call would leave a
        // folder behind for each.
        static const QString fresh = [] {
            QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/marrowbeck-copies-XXXXXX";
            return ::mkdtemp(pattern.data()) ? QFile::decodeName(pattern) : QString();
        }();
        return fresh;
    }();
    if (folder.isEmpty())
        fail(QStringLiteral("No folder for the program's private copies of database files can be made: the cache "
                            "folder and the temporary folder cannot be written."));
    static QMutex sweptMutex;
    static QSet<QString> swept;
    QMutexLocker lock(&sweptMutex);
    if (!swept.contains(folder)) {
        sweepAbandonedCopies(folder);
        swept.insert(folder);
    }
    return folder;
}

QString copyFileName(const FileVersion &version, const QString &kind)
{
    return copiesFolder() + u'/' + version.pathKey() + u'-' + version.versionKey() + u'-' + kind + QStringLiteral(".fdb");
}

void dropOtherVersions(const FileVersion &version)
{
    const QString current = version.pathKey() + u'-' + version.versionKey() + u'-';
    QDir folder(copiesFolder());
    // Partial copies are left to the sweep: another instance may be writing one.
    for (const QString &name : folder.entryList({version.pathKey() + QStringLiteral("-*")}, QDir::Files))
        if (!name.startsWith(current) && !name.contains(QStringLiteral(".part")))
            folder.remove(name);
    // An engine writes into a copy it attaches: a copy untouched for a week
    // belongs to a file nobody opened since, and only takes room.
    const QDateTime weekAgo = QDateTime::currentDateTime().addDays(-7);
    for (const QFileInfo &old : folder.entryInfoList({QStringLiteral("*.fdb")}, QDir::Files))
        if (old.lastModified() < weekAgo && !heldByAnotherEngine(old.filePath()) && folder.remove(old.fileName()))
            folder.remove(old.fileName() + QStringLiteral(".failures.json"));
}

bool copyLooksWhole(const QString &copy, qint64 writtenSize)
{
    QFile file(copy);
    if (!file.open(QIODevice::ReadOnly) || file.size() < writtenSize)
        return false;
    const QByteArray start = file.read(20);
    constexpr char headerPageType = 1;
    if (start.size() < 20 || start[0] != headerPageType)
        return false;
    const uint pageSize = uchar(start[16]) | (uint(uchar(start[17])) << 8);
    return pageSize >= 1024 && (pageSize & (pageSize - 1)) == 0 && file.size() % pageSize == 0;
}

QString byteCopy(const FileVersion &version)
{
    return piecewiseCopy(version, QStringLiteral("copy"), {CopyPiece{version.path, 0, -1}}, {});
}

QString piecewiseCopy(const FileVersion &version, const QString &kind, const std::vector<CopyPiece> &pieces,
                      const FirstPageChange &change)
{
    // Copies appear under their final name only once complete; an engine
    // attached to one may have written to it since, without changing what
    // it holds.
    QString target = copyFileName(version, kind);
    if (!inUseHere(target) && QFileInfo::exists(target) && heldByAnotherEngine(target))
        target = copyFileName(version, kind + QString::number(::getpid()));
    if (QFileInfo::exists(target) && !copyLooksWhole(target, version.size))
        discardCopy(target);
    if (QFileInfo::exists(target)) {
        markInUse(target);
        return target;
    }
    dropOtherVersions(version);
    // The room checked is that of the version the copy is filed under; a
    // file grown since fails the copy when the disk fills.
    qint64 bytes = version.size;
    for (size_t i = 1; i < pieces.size(); ++i)
        bytes += pieces[i].length < 0 ? QFileInfo(pieces[i].path).size() - pieces[i].offset : pieces[i].length;
    makeRoomFor(QFileInfo(target).path(), bytes, version.path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString partial = partialName(target);
        QFile::remove(partial);
        bool steady = false;
        try {
            steady = copyOnce(version, pieces, partial, change);
        } catch (const components::ComponentError &) {
            QFile::remove(partial);
            throw;
        }
        if (steady && components::renameDurably(partial, target) == 0) {
            markInUse(target);
            return target;
        }
        QFile::remove(partial);
        if (steady && QFileInfo::exists(target)) {
            markInUse(target); // another instance finished first
            return target;
        }
    }
    fail(QStringLiteral("The database file \"%1\" kept changing while it was being read. Try again when the program "
                        "that writes it is done.").arg(version.path));
}

QString attachableCopy(const QString &copy)
{
    if (inUseHere(copy) || !heldByAnotherEngine(copy)) {
        markInUse(copy);
        return copy;
    }
    QString own = copy;
    own.insert(own.lastIndexOf(u'.'), QString::number(::getpid()));
    if (!inUseHere(own)) {
        const QString partial = partialName(own);
        QFile::remove(partial);
        QFile::remove(own);
        if (!QFile::copy(copy, partial) || components::renameDurably(partial, own) != 0) {
            QFile::remove(partial);
            fail(QStringLiteral("A private copy of a database file cannot be kept in \"%1\".").arg(copiesFolder()));
        }
    }
    markInUse(own);
    return own;
}

} // namespace dbaccess
