#pragma once

// Reading ADO / ODBC connection strings. Pure functions, no Firebird.

#include <QString>
#include <vector>

namespace dbaccess {

// "key=value;key=value". A value may be quoted with '...' or "..." (the quote
// doubled inside stands for itself) or, the ODBC way, enclosed in {...} ("}}"
// inside stands for "}"); blanks around a quoted value are separators. An
// unquoted value is taken verbatim up to the next ";", blanks included: the
// entries of our connection window are used exactly as typed, so a blank is
// data, not layout. Keys are trimmed and compared ignoring case.
struct ConnectionStringEntry {
    QString key;
    QString value;
    bool quoted = false;
};
using ConnectionStringEntries = std::vector<ConnectionStringEntry>;

ConnectionStringEntries parseConnectionString(const QString &text);

// The value of the first entry with that key (ODBC drivers take the first) or
// of the last one (OLE DB providers take the last); empty when absent.
enum class RepeatedKey { FirstWins, LastWins };
QString connectionStringValue(const ConnectionStringEntries &entries, const QString &key, RepeatedKey rule);

// Who opens which database, and how: what the connection string asks for,
// read once where the string arrives and handed on as it is.
struct Login {
    QString database;
    QString user;
    QString password;
    QString role;
    QString characterSet;

    bool operator==(const Login &) const = default;
};

// What the connection window's string asks for: the outer OLE DB part holds
// Password and User ID, its Extended Properties value is itself a driver
// connection string with Dbname, UID, CHARSET and Role.
//
// The string always puts one blank between the path and ";CHARSET". An
// unquoted Dbname therefore loses exactly one trailing blank and keeps every
// other character: "/data/a.fdb " opens "/data/a.fdb", and a path typed with
// a trailing blank of its own ("/data/a.fdb  ") keeps that blank. A quoted or
// braced Dbname is taken as quoted.
Login parseLogin(const QString &connectionString);

// "host:path", "host/port:path", "[ipv6]:path" and "inet://..." name a
// server; anything else is a file for the embedded engine. A colon in a path
// that starts with "/" or "." belongs to the file name ("/data/a:b.fdb").
bool namesServer(const QString &database);

} // namespace dbaccess
