#include "full_disk.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <limits>
#include <sys/statvfs.h>

namespace components {
namespace {

// Less than this is what a filesystem leaves when a writer has filled it.
constexpr qint64 nearlyNothing = 1 << 20;

qint64 availableIn(const QString &folder)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return std::numeric_limits<qint64>::max();
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

QString bytesText(qint64 bytes)
{
    if (bytes < nearlyNothing)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 MB").arg((bytes + nearlyNothing - 1) / nearlyNothing);
}

} // namespace

bool meansFullDisk(int error) { return error == ENOSPC || error == EDQUOT; }

QString fullDiskText(const QString &folder, qint64 stillToWrite)
{
    const QString where = QDir::toNativeSeparators(folder);
    const QString free = bytesText(std::max<qint64>(0, availableIn(folder)));
    if (stillToWrite < 0)
        return QStringLiteral("The disk that holds %1 is full (%2 free). Free some room there, or choose another "
                              "folder, and export again.").arg(where, free);
    return QStringLiteral("The disk that holds %1 is full (%2 free), and at least %3 more were to be written. Free "
                          "some room there, or choose another folder, and export again.")
        .arg(where, free, bytesText(stillToWrite));
}

QString fullDiskTextIfFull(const QString &folder)
{
    return availableIn(folder) < nearlyNothing ? fullDiskText(folder, -1) : QString();
}

} // namespace components
