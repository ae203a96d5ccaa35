#include "unfinished_file.h"

#include "component_error.h"
#include "durable_rename.h"
#include "stop_request.h"
#include "unfinished_folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace components {
namespace {

struct Unfinished {
    std::mutex mutex;
    std::set<QByteArray> folders;
};

Unfinished &unfinished()
{
    static Unfinished files;
    return files;
}

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    ::remove(path);
    return 0;
}

void removeTree(const QByteArray &folder)
{
    ::nftw(folder.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void removeAll()
{
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    for (const QByteArray &folder : files.folders) {
        removeTree(folder);
        unfinished_folders::drop(folder);
    }
    files.folders.clear();
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Which machine made a folder: a process number means something only there.
QString machineMark()
{
    static const QString mark = [] {
        QFile id(QStringLiteral("/etc/machine-id"));
        QByteArray seed = id.open(QIODevice::ReadOnly) ? id.readAll().trimmed() : QByteArray();
        if (seed.isEmpty())
            seed = QSysInfo::machineHostName().toUtf8();
        return QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha256).toHex().left(8));
    }();
    return mark;
}

// The folders a run on this machine left behind when it was killed: made by
// this user, by a process that is gone. A folder from another machine (a
// shared folder) or of a process number in use now is left alone.
void sweepAbandonedFolders(const QString &folder)
{
    static std::mutex sweptMutex;
    static std::set<QString> swept;
    {
        std::lock_guard lock(sweptMutex);
        if (!swept.insert(folder).second)
            return;
    }
    static const QRegularExpression ours(QStringLiteral("^\\.marrowbeck-([0-9a-f]{8})-(\\d+)-[0-9a-f]{16}\\.part$"));
    for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = ours.match(entry.fileName());
        const QByteArray path = QFile::encodeName(entry.filePath());
        struct stat info {};
        if (!match.hasMatch() || match.captured(1) != machineMark() || ::lstat(path.constData(), &info) != 0
            || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
            continue;
        const pid_t maker = pid_t(match.captured(2).toLongLong());
        if (maker != ::getpid() && ::kill(maker, 0) != 0 && errno == ESRCH)
            removeTree(path);
    }
}

} // namespace

void removeUnfinishedFilesAtExit()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        unfinished();
        std::at_quick_exit(removeAll);
        std::atexit(removeAll);
        cleanupWhenStoppedAtOnce().store(unfinished_folders::removeAllNow);
    });
}

UnfinishedFile::UnfinishedFile(const QString &folder)
{
    removeUnfinishedFilesAtExit();
    sweepAbandonedFolders(QDir(folder).absolutePath());
    const QString fileName = QStringLiteral("file");
    // A dot first keeps it out of ordinary listings and file patterns; the
    // maker's machine and process tell a later run whether it was left.
    for (int attempt = 0;; ++attempt) {
        const QString candidate = QDir(folder).filePath(
            QStringLiteral(".marrowbeck-%1-%2-%3.part")
                .arg(machineMark())
                .arg(::getpid())
                .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        const QByteArray encoded = QFile::encodeName(candidate);
        Unfinished &files = unfinished();
        std::lock_guard lock(files.mutex);
        if (::mkdir(encoded.constData(), 0777) == 0) {
            files.folders.insert(encoded);
            unfinished_folders::add(encoded);
            m_folder = candidate;
            m_path = QDir(candidate).filePath(fileName);
            // Made here, so it has the permissions of a new file whoever
            // writes it: an office keeps those of the file it replaces.
            const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            if (fd >= 0)
                ::close(fd);
            return;
        }
        const int error = errno;
        if (error != EEXIST || attempt > 100)
            throw ComponentError(QStringLiteral("No file can be written in the folder %1: %2.")
                                     .arg(QDir::toNativeSeparators(folder), systemError(error)));
    }
}

UnfinishedFile::~UnfinishedFile()
{
    const QByteArray encoded = QFile::encodeName(m_folder);
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    removeTree(encoded);
    files.folders.erase(encoded);
    unfinished_folders::drop(encoded);
}

void UnfinishedFile::complete(const QString &finalPath)
{
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    // A stopped run leaves nothing, however far the file had come.
    if (stopRequested())
        throw ComponentStopped(QStringLiteral("Stopped by a signal before %1 was written; it was left as it was.")
                                   .arg(QDir::toNativeSeparators(finalPath)));
    if (const int error = renameDurably(m_path, finalPath)) {
        throw ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                 .arg(QDir::toNativeSeparators(finalPath), systemError(error)));
    }
}

} // namespace components
