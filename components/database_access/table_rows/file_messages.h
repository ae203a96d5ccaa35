#pragma once

// What the user reads about a database file that cannot be opened or read:
// the same words whether our own reader, a private copy or the Firebird
// engine met the problem.

#include <QString>

namespace dbaccess {

// The text for a database file the system would not open (errno), or, for
// 0, one that is there but cannot be read as a database.
QString describeFileProblem(int osError, const QString &database);
// A file a Firebird engine or server has open.
QString describeFileInUse(const QString &database);
QString describeNotADatabase(const QString &database);

} // namespace dbaccess
