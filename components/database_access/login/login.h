#pragma once

#include <QString>

namespace FireBird {

// The database an entry names, for the forms a desktop hands over: a
// "file:" address (a file dragged from a file manager), percent-decoded, and
// a path that starts with "~/" (in the home folder) are the local file they
// name. Anything else, a file address of another computer included, is
// returned as typed.
QString databaseLocation(const QString &typed);

// The one connection string every operation opens the database with, built
// from the connection window's three entries as typed, the database entry
// read by databaseLocation; the settings keep what was typed. An entry that
// holds ; ' " { or } is quoted by the connection-string rules the database
// access component reads, so it reaches the database intact; any other entry
// stands in the string byte for byte.
QString connectionString(const QString &database, const QString &user, const QString &password);

} // namespace FireBird
