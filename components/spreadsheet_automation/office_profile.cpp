#include "office_profile.h"

#include "component_error.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace calc {

namespace {

constexpr int maximumProfiles = 200;

QString profilesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/marrowbeck/office-profiles");
}

QString officeRecordFile(const QString &folder)
{
    return folder + QStringLiteral("/office.pid");
}

// The recorded process still runs this profile (and is not some later
// process that happens to have the same number).
bool officeStillRuns(const QString &folder)
{
    QFile record(officeRecordFile(folder));
    if (!record.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const qint64 pid = record.readAll().trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!commandLine.open(QIODevice::ReadOnly))
        return false;
    const QByteArray profileUrl = QUrl::fromLocalFile(folder).toEncoded();
    return commandLine.readAll().contains("UserInstallation=" + profileUrl);
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
    if (!QDir().mkpath(base))
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc could not be started: the folder %1 cannot be created.")
                .arg(QDir::toNativeSeparators(base)));
    for (int n = 1; n <= maximumProfiles; ++n) {
        const QString folder = QStringLiteral("%1/%2").arg(base).arg(n);
        auto lock = std::make_unique<QLockFile>(folder + QStringLiteral(".claim"));
        if (!lock->tryLock(0))
            continue;
        if (officeStillRuns(folder))
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

void OfficeProfile::recordOffice(qint64 processId)
{
    QFile record(officeRecordFile(m_folder));
    if (record.open(QIODevice::WriteOnly | QIODevice::Truncate))
        record.write(QByteArray::number(processId) + '\n');
    record.close();
    m_claim.reset();
}

} // namespace calc
