#include "office_profile.h"

#include "component_error.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace calc {

namespace {

constexpr int maximumProfiles = 200;

// A fresh profile takes a few megabytes, and the office writes its settings
// as it runs.
constexpr qint64 profileRoom = 32 * 1024 * 1024;

// A folder only this user can reach: the temporary folder is shared with
// everyone, who could otherwise plant a profile for our office.
bool privateFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    return ::lstat(local.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && ::chmod(local.constData(), 0700) == 0 && ::access(local.constData(), W_OK) == 0;
}

bool hasRoom(const QString &folder)
{
    struct statvfs info {};
    return ::statvfs(QFile::encodeName(folder).constData(), &info) != 0
        || qint64(info.f_bavail) * qint64(info.f_frsize) >= profileRoom;
}

QString cacheProfilesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/marrowbeck/office-profiles");
}

// The cache folder, or, where it cannot be written or its disk is full, a
// private folder under the temporary folder: a cache the office cannot use
// must not keep it from starting.
QString profilesFolder()
{
    const QString cache = cacheProfilesFolder();
    const QString temporary = QDir::tempPath() + QStringLiteral("/marrowbeck-office-profiles-%1").arg(::getuid());
    QString usable;
    for (const QString &folder : {cache, temporary}) {
        if (!privateFolder(folder))
            continue;
        if (hasRoom(folder))
            return folder;
        if (usable.isEmpty())
            usable = folder; // a profile used before may still serve
    }
    if (!usable.isEmpty())
        return usable;
    QByteArray fresh = QFile::encodeName(QDir::tempPath()) + "/marrowbeck-office-profiles-XXXXXX";
    if (::mkdtemp(fresh.data()))
        return QFile::decodeName(fresh);
    throw components::ComponentError(
        QStringLiteral("The program's cache folder %1 cannot be written, nor the temporary folder %2: the office "
                       "the program starts keeps its settings in one of them.")
            .arg(QDir::toNativeSeparators(cache), QDir::toNativeSeparators(QDir::tempPath())));
}

// The profiles that running offices use, whoever started them. A record of
// the office written into the profile would not do: on a full disk it is
// not written, and a second office on the profile hands its start to the
// first and ends, which reads as a failed start.
QSet<QByteArray> profilesInUse()
{
    static const QByteArray option = "-env:UserInstallation=";
    QSet<QByteArray> profiles;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.front().isDigit())
            continue;
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!commandLine.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &argument : commandLine.readAll().split('\0'))
            if (argument.startsWith(option))
                profiles.insert(argument.mid(option.size()));
    }
    return profiles;
}

// A first start would otherwise greet the user with the tip of the day when
// the workbook is shown.
void presetFreshProfile(const QString &folder)
{
    const QString settings = folder + QStringLiteral("/user/registrymodifications.xcu");
    if (QFile::exists(settings))
        return;
    QDir().mkpath(folder + QStringLiteral("/user"));
    QFile file(settings);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)");
}

} // namespace

OfficeProfile::OfficeProfile(QString folder, std::unique_ptr<QLockFile> claim)
    : m_folder(std::move(folder)), m_claim(std::move(claim))
{
}

OfficeProfile OfficeProfile::claim()
{
    const QString base = profilesFolder();
    QSet<QByteArray> inUse = profilesInUse();
    for (int n = 1; n <= maximumProfiles; ++n) {
        const QString folder = QStringLiteral("%1/%2").arg(base, QString::number(n));
        const QByteArray url = QUrl::fromLocalFile(folder).toEncoded();
        if (inUse.contains(url))
            continue;
        auto lock = std::make_unique<QLockFile>(folder + QStringLiteral(".claim"));
        if (!lock->tryLock(0))
            continue;
        // An office may have started on it since that look, and released
        // its claim.
        inUse = profilesInUse();
        if (inUse.contains(url))
            continue;
        presetFreshProfile(folder);
        return OfficeProfile(folder, std::move(lock));
    }
    throw components::ComponentError(
        QStringLiteral("LibreOffice Calc could not be started: all %1 office profiles in %2 are in use.")
            .arg(maximumProfiles).arg(QDir::toNativeSeparators(base)));
}

QString OfficeProfile::url() const
{
    return QString::fromLatin1(QUrl::fromLocalFile(m_folder).toEncoded());
}

void OfficeProfile::officeStarted()
{
    m_claim.reset();
}

} // namespace calc
