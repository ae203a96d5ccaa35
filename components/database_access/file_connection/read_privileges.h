#pragma once

#include "ods/ods_database.h"

#include <QString>
#include <map>
#include <set>

namespace dbaccess {

// Who may read which relation of a file, decided from the grants the file
// keeps as the embedded Firebird 3 engine decides them, so that a table the
// engine would refuse is refused whichever way the file is read.
class ReadPrivileges {
public:
    // `user` and `role` as typed in the connection string.
    ReadPrivileges(const ods::Database &database, const QString &user, const QString &role);

    bool mayRead(const ods::Relation &relation) const;

private:
    bool m_everything = false;
    QString m_user;
    std::set<QString> m_granted;                       // relations granted to the user, PUBLIC or the role
    std::map<QString, QString> m_owners;               // relation name -> RDB$OWNER_NAME
    std::set<QString> m_unprotected;                   // relations without a security class
};

// The user name as the engine sees it: unquoted names in capitals, and with
// no name the name of whoever runs the program (SYSDBA for root).
QString engineUserName(const QString &typed);

} // namespace dbaccess
