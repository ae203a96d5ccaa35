#include "read_privileges.h"

#include "system_records.h"

#include <QStringList>
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
    const QStringList relationColumns{QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("RDB$OWNER_NAME"),
                                      QStringLiteral("RDB$SECURITY_CLASS")};
    forEachSystemRecord(database, QStringLiteral("RDB$RELATIONS"), relationColumns, [&](const SystemRecord &r) {
        if (!r[0])
            return;
        if (r[1])
            m_owners[*r[0]] = *r[1];
        // The engine checks nothing on a relation without a security class
        // (made by tools older than SQL grants).
        if (!r[2] || r[2]->isEmpty())
            m_unprotected.insert(*r[0]);
        if (*r[0] == QStringLiteral("RDB$DATABASE") && r[1])
            databaseOwner = *r[1];
    });

    struct Grant {
        QString grantee;
        int granteeType;
        QString privilege;
        QString object;
        int objectType;
    };
    std::vector<Grant> grants;
    const QStringList grantColumns{QStringLiteral("RDB$USER"), QStringLiteral("RDB$USER_TYPE"),
                                   QStringLiteral("RDB$PRIVILEGE"), QStringLiteral("RDB$RELATION_NAME"),
                                   QStringLiteral("RDB$OBJECT_TYPE")};
    forEachSystemRecord(database, QStringLiteral("RDB$USER_PRIVILEGES"), grantColumns, [&](const SystemRecord &r) {
        if (r[0] && r[2] && r[3])
            grants.push_back({*r[0], r[1] ? r[1]->toInt() : userGrantee, r[2]->trimmed(), *r[3],
                              r[4] ? r[4]->toInt() : relationObject});
    });

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
