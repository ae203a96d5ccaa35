#include "read_privileges.h"

#include "ods/system_table.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace dbaccess {

namespace {

const QString sysdba = QStringLiteral("SYSDBA");
const QString everyone = QStringLiteral("PUBLIC");
const QString adminRole = QStringLiteral("RDB$ADMIN");
constexpr int userGrantee = 8;
constexpr int roleGrantee = 13;
constexpr int relationObject = 0;

QString nameAsEngineSees(const QString &typed)
{
    const QString name = typed.trimmed();
    return name.startsWith(u'"') ? name : name.toUpper();
}

} // namespace

QString engineUserName(const QString &typed)
{
    if (!typed.trimmed().isEmpty())
        return nameAsEngineSees(typed);
    if (::geteuid() == 0)
        return sysdba;
    const struct passwd *account = ::getpwuid(::geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name).toUpper() : QString();
}

ReadPrivileges::ReadPrivileges(const ods::Database &database, const QString &user, const QString &role)
    : m_user(engineUserName(user))
{
    QString databaseOwner;
    ods::SystemTable relations(database, QStringLiteral("RDB$RELATIONS"));
    while (relations.next()) {
        if (relations.isNull("RDB$RELATION_NAME"))
            continue;
        const QString name = relations.text("RDB$RELATION_NAME");
        if (!relations.isNull("RDB$OWNER_NAME"))
            m_owners[name] = relations.text("RDB$OWNER_NAME");
        // The engine checks nothing on a relation without a security class
        // (made by tools older than SQL grants).
        if (relations.text("RDB$SECURITY_CLASS").isEmpty())
            m_unprotected.insert(name);
        if (name == QStringLiteral("RDB$DATABASE") && !relations.isNull("RDB$OWNER_NAME"))
            databaseOwner = relations.text("RDB$OWNER_NAME");
    }

    struct Grant {
        QString grantee;
        int granteeType;
        QString privilege;
        QString object;
        int objectType;
    };
    std::vector<Grant> grants;
    ods::SystemTable privileges(database, QStringLiteral("RDB$USER_PRIVILEGES"));
    while (privileges.next()) {
        if (privileges.isNull("RDB$USER") || privileges.isNull("RDB$PRIVILEGE") || privileges.isNull("RDB$RELATION_NAME"))
            continue;
        grants.push_back({privileges.text("RDB$USER"), int(privileges.number("RDB$USER_TYPE").value_or(userGrantee)),
                          privileges.text("RDB$PRIVILEGE").trimmed(), privileges.text("RDB$RELATION_NAME"),
                          int(privileges.number("RDB$OBJECT_TYPE").value_or(relationObject))});
    }

    // A role counts only when it is named at connection and was granted to
    // the user or to everyone; a role the user does not hold is ignored.
    const QString wantedRole = nameAsEngineSees(role);
    QString activeRole;
    for (const Grant &grant : grants)
        if (!wantedRole.isEmpty() && grant.privilege == QStringLiteral("M") && grant.object == wantedRole
            && grant.granteeType == userGrantee && (grant.grantee == m_user || grant.grantee == everyone))
            activeRole = wantedRole;

    // SYSDBA, the database's owner and RDB$ADMIN may read everything.
    m_everything = m_user == sysdba || (!databaseOwner.isEmpty() && m_user == databaseOwner) || activeRole == adminRole;
    for (const Grant &grant : grants) {
        if (grant.privilege != QStringLiteral("S") || grant.objectType != relationObject)
            continue;
        const bool toUser = grant.granteeType == userGrantee && (grant.grantee == m_user || grant.grantee == everyone);
        const bool toRole = grant.granteeType == roleGrantee && !activeRole.isEmpty() && grant.grantee == activeRole;
        if (toUser || toRole)
            m_granted.insert(grant.object);
    }
}

bool ReadPrivileges::mayRead(const ods::Relation &relation) const
{
    if (m_everything || m_granted.count(relation.name) || m_unprotected.count(relation.name))
        return true;
    const auto owner = m_owners.find(relation.name);
    return owner != m_owners.end() && owner->second == m_user;
}

} // namespace dbaccess
