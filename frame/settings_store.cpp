#include "settings_store.h"

#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <map>
#include <memory>

namespace frame {
namespace {

// The store holds a password as plain text: it is created readable by its
// owner only, and a file that is already there is narrowed to that. QSettings
// keeps the mode of a file it replaces.
void restrictToOwner(const QString &fileName)
{
    QFileInfo info(fileName);
    QDir().mkpath(info.absolutePath());
    if (!info.exists()) {
        QFile file(fileName);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }
    QFile::setPermissions(fileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// A store that refuses one write refuses the next keystroke's too: the
// user hears of it once per run, not once per keystroke.
bool &refusalShown()
{
    static bool shown = false;
    return shown;
}

void sayOnceThatSettingsAreNotSaved(const QString &fileName)
{
    if (refusalShown())
        return;
    refusalShown() = true;
    MsgBox(QStringLiteral("The entries cannot be saved: the settings file \"%1\" cannot be written. They stay in use "
                          "until the program ends, but the next start will not remember them.")
               .arg(QDir::toNativeSeparators(fileName)),
           vbOKOnly);
}

std::map<QString, std::unique_ptr<QSettings>> &openStores()
{
    static std::map<QString, std::unique_ptr<QSettings>> stores;
    return stores;
}

QSettings &store(const QString &appName)
{
    auto &slot = openStores()[appName];
    if (!slot)
        slot = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, appName);
    return *slot;
}

QSettings &reopenedStore(const QString &appName)
{
    openStores().erase(appName);
    return store(appName);
}

} // namespace

QString GetSetting(const QString &appName, const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings &settings = store(appName);
    const QString address = section + QLatin1Char('/') + key;
    if (!settings.contains(address))
        return defaultValue;
    return settings.value(address).toString();
}

void SaveSetting(const QString &appName, const QString &section, const QString &key, const QString &value)
{
    QSettings *settings = &store(appName);
    restrictToOwner(settings->fileName());
    settings->setValue(section + QLatin1Char('/') + key, value);
    // Written through at once: a second copy of the program, or a program
    // ended at once, sees the last keystroke.
    settings->sync();
    // A store keeps the first error it met for good: one that read a file
    // it could not make sense of says so after every write, though the
    // write replaced that file. A store opened afresh reads what the write
    // left, and says whether it is there.
    if (settings->status() == QSettings::FormatError) {
        settings = &reopenedStore(appName);
        settings->sync();
    }
    if (settings->status() != QSettings::NoError)
        sayOnceThatSettingsAreNotSaved(settings->fileName());
}

void flushSettings()
{
    for (auto &entry : openStores())
        entry.second->sync();
}

} // namespace frame

namespace frame {

QString settingsFileName(const QString &appName) { return store(appName).fileName(); }

void clearSettingsForTesting()
{
    refusalShown() = false;
    for (auto &entry : openStores()) {
        entry.second->clear();
        entry.second->sync();
    }
    openStores().clear();
}

} // namespace frame
