#include "unfinished_file.h"

#include "component_error.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <unistd.h>

namespace components {
namespace {

struct Unfinished {
    std::mutex mutex;
    std::set<QByteArray> paths;
};

Unfinished &unfinished()
{
    static Unfinished files;
    return files;
}

void removeAll()
{
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    for (const QByteArray &path : files.paths)
        ::unlink(path.constData());
    files.paths.clear();
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
    // A dot first keeps it out of ordinary listings and file patterns.
    for (int attempt = 0;; ++attempt) {
        const QString path = QDir(folder).filePath(
            QStringLiteral(".marrowbeck-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        const QByteArray encoded = QFile::encodeName(path);
        Unfinished &files = unfinished();
        std::lock_guard lock(files.mutex);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            files.paths.insert(encoded);
            m_path = path;
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
    if (m_completed)
        return;
    const QByteArray encoded = QFile::encodeName(m_path);
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    ::unlink(encoded.constData());
    files.paths.erase(encoded);
}

void UnfinishedFile::complete(const QString &finalPath)
{
    const QByteArray encoded = QFile::encodeName(m_path);
    Unfinished &files = unfinished();
    std::lock_guard lock(files.mutex);
    if (::rename(encoded.constData(), QFile::encodeName(finalPath).constData()) != 0) {
        const int error = errno;
        throw ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                 .arg(QDir::toNativeSeparators(finalPath), systemError(error)));
    }
    files.paths.erase(encoded);
    m_completed = true;
}

} // namespace components
