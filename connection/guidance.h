#pragma once

// The texts and settings of the connection window's helper buttons.

#include "desktop_services.h"

#include <QString>

namespace guidance {

inline const QString serverPackagesUrl = QStringLiteral("https://firebirdsql.org/en/server-packages/");

inline const QString sampleDatabaseRelativePath = QStringLiteral("/Samples/sample.fdb");
inline const QString sampleUser = QStringLiteral("SYSDBA");
inline const QString samplePassword = QStringLiteral("lanternox");

// What "..." puts into the file dialog before it opens.
inline constexpr int databaseFileFlags = frame::cdlOFNReadOnly | frame::cdlOFNExplorer | frame::cdlOFNLongNames;
inline const QString databaseFileTitle = QStringLiteral("Select Firebird Database");
inline const QString databaseFileFilter = QStringLiteral("Firebird Interbase Database (*.fdb;*.gdb)|*.fdb;*.gdb|");

// "?": asks whether to open the server-packages page.
QString serverQuestion();

// "Help": what must be installed for a connection.
QString helpText();

} // namespace guidance
