#pragma once

// A login as the ODBC-style connection string ADO's Open takes: built and
// read here only. Pure functions, no Firebird.

#include "login.h"

#include <QString>
#include <vector>

namespace dbaccess {

// The string of a login: the OLE DB provider for ODBC with the password and
// the user id, then in Extended Properties the Firebird driver's own string
// with the database, the character set, the user id again and the role. A
// value that holds ; ' " { or } is quoted by the rules parseConnectionString
// reads, so it comes back intact; any other stands in the string byte for
// byte, as the connection window's entries are used exactly as typed.
QString connectionString(const Login &login);

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

// The login a connection string names: the outer OLE DB part holds
// Password and User ID, its Extended Properties value is itself a driver
// connection string with Dbname, UID, CHARSET and Role.
//
// The string always puts one blank between the path and ";CHARSET". An
// unquoted Dbname therefore loses exactly one trailing blank and keeps every
// other character: "/data/a.fdb " opens "/data/a.fdb", and a path typed with
// a trailing blank of its own ("/data/a.fdb  ") keeps that blank. A quoted or
// braced Dbname is taken as quoted.
Login parseLogin(const QString &connectionString);

} // namespace dbaccess
