#pragma once

// Who opens which database: the one value the windows and the command line
// make of what the user gave, and every path to a database is handed.

#include <QString>

namespace dbaccess {

// Made once, from the entries or from a connection string, and handed on as
// it is.
struct Login {
    QString database;
    QString user;
    QString password;
    QString role;
    QString characterSet;

    bool operator==(const Login &) const = default;
};

// The login of the connection window's three entries (the command line's
// likewise), each used as typed, the database entry read by
// databaseLocation; the role and the character set are the program's own.
Login enteredLogin(const QString &database, const QString &user, const QString &password);

// The database an entry names, for the forms a desktop hands over: a
// "file:" address (a file dragged from a file manager), percent-decoded, and
// a path that starts with "~/" (in the home folder) are the local file they
// name. Anything else, a file address of another computer included, is
// returned as typed.
QString databaseLocation(const QString &typed);

// "host:path", "host/port:path", "[ipv6]:path" and "inet://..." name a
// server; anything else is a file for the embedded engine. A colon in a path
// that starts with "/" or "." belongs to the file name ("/data/a:b.fdb").
bool namesServer(const QString &database);

} // namespace dbaccess
