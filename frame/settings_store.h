#pragma once

// The per-user settings store: strings addressed by application name,
// section and key.

#include <QString>

namespace frame {

QString GetSetting(const QString &appName, const QString &section, const QString &key, const QString &defaultValue);

// Never throws: a store that cannot be written must not stop a keystroke.
// The first write the store refuses in a run is told to the user.
void SaveSetting(const QString &appName, const QString &section, const QString &key, const QString &value);

// Puts every write on disk; called before the program ends at once.
void flushSettings();

// The file that holds an application's settings.
QString settingsFileName(const QString &appName);

// Forgets every value and every open store: a test starts from a first run.
void clearSettingsForTesting();

} // namespace frame
