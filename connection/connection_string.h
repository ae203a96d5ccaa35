#pragma once

#include <QString>

namespace FireBird {

// The one connection string every operation opens the database with, built
// from the connection window's three entries exactly as typed. An entry that
// holds ; ' " { or } is quoted by the connection-string rules the database
// access component reads, so it reaches the database intact; any other entry
// stands in the string byte for byte.
QString connectionString(const QString &database, const QString &user, const QString &password);

} // namespace FireBird
