#include "read_privileges.h"

#include "ods/data_type.h"

#include <QByteArrayView>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
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

// A metadata value as text: names without their padding, small numbers in
// digits; nullopt for null or a type a catalogue column never has.
std::optional<QString> metadataText(const ods::Rows &rows, int column, int dtype)
{
    if (rows.isNull(column))
        return std::nullopt;
    const QByteArrayView bytes = rows.value(column);
    switch (dtype) {
    case ods::DtText: {
        QString text = QString::fromUtf8(bytes);
        while (text.endsWith(u' '))
            text.chop(1);
        return text;
    }
    case ods::DtVarying: {
        if (bytes.size() < 2)
            return std::nullopt;
        std::uint16_t length;
        std::memcpy(&length, bytes.data(), sizeof length);
        return QString::fromUtf8(bytes.sliced(2, std::min<qsizetype>(length, bytes.size() - 2)));
    }
    case ods::DtShort: {
        if (bytes.size() < 2)
            return std::nullopt;
        std::int16_t number;
        std::memcpy(&number, bytes.data(), sizeof number);
        return QString::number(number);
    }
    default: return std::nullopt;
    }
}

using Record = std::vector<std::optional<QString>>;

// Every record of a system relation, with the named columns in that order
// (nullopt for a column this version does not have).
void forEachRecord(const ods::Database &database, const QString &relationName, const QStringList &columns,
                   const std::function<void(const Record &)> &use)
{
    const ods::Relation *relation = nullptr;
    for (const auto &each : database.relations())
        if (each.name == relationName)
            relation = &each;
    if (!relation)
        return;
    std::vector<std::pair<int, int>> wanted; // column index, dtype
    for (const QString &name : columns) {
        wanted.emplace_back(-1, 0);
        for (std::size_t i = 0; i < relation->columns.size(); ++i)
            if (relation->columns[i].name == name)
                wanted.back() = {int(i), relation->columns[i].dtype};
    }
    const std::unique_ptr<ods::Rows> rows = database.rows(*relation);
    Record record(columns.size());
    while (rows->next()) {
        for (std::size_t i = 0; i < wanted.size(); ++i)
            record[i] = wanted[i].first < 0 ? std::nullopt : metadataText(*rows, wanted[i].first, wanted[i].second);
        use(record);
    }
}

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
    forEachRecord(database, QStringLiteral("RDB$RELATIONS"),
                  {QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("RDB$OWNER_NAME"), QStringLiteral("RDB$SECURITY_CLASS")},
                  [&](const Record &r) {
                      if (!r[0])
                          return;
                      if (r[1])
                          m_owners[*r[0]] = *r[1];
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
    forEachRecord(database, QStringLiteral("RDB$USER_PRIVILEGES"),
                  {QStringLiteral("RDB$USER"), QStringLiteral("RDB$USER_TYPE"), QStringLiteral("RDB$PRIVILEGE"),
                   QStringLiteral("RDB$RELATION_NAME"), QStringLiteral("RDB$OBJECT_TYPE")},
                  [&](const Record &r) {
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
