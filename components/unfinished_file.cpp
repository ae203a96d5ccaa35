#include "unfinished_file.h"

#include "component_error.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
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
    for (const QByteArray &folder : files.folders)
        removeTree(folder);
    files.folders.clear();
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace

void removeUnfinishedFilesAtExit()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        unfinished();
        std::at_quick_exit(removeAll);
        std::atexit(removeAll);
    });
}

UnfinishedFile::UnfinishedFile(const QString &folder)
{
    removeUnfinishedFilesAtExit();
    const QString fileName = QStringLiteral("file");
    // A dot first keeps it out of ordinary listings and file patterns.
    for (int attempt = 0;; ++attempt) {
        const QString candidate = QDir(folder).filePath(
            QStringLiteral(".marrowbeck-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        const QByteArray encoded = QFile::encodeName(candidate);
        Unfinished &files = unfinished();
        std::lock_guard lock(files.mutex);
        if (::mkdir(encoded.constData(), 0777) == 0) {
            files.folders.insert(encoded);
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
}

void UnfinishedFile::complete(const QString &finalPath)
{
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(finalPath).constData()) != 0) {
        const int error = errno;
        throw ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                 .arg(QDir::toNativeSeparators(finalPath), systemError(error)));
    }
}

} // namespace components
