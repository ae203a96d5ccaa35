#include "ods_session.h"

#include "component_error.h"
#include "modern_copy.h"

namespace dbaccess {

std::shared_ptr<OdsSession> OdsSession::open(const AttachmentSettings &settings, const FileVersion &version)
{
    std::shared_ptr<OdsSession> session(new OdsSession);
    session->m_settings = settings;
    session->m_version = version;
    session->m_database = ods::Database::open(settings.database);
    session->m_open = true;
    return session;
}

void OdsSession::ensureOpen() const
{
    if (!m_open)
        throw components::ConnectionLost(QStringLiteral("The connection to the database is closed."));
}

void OdsSession::close()
{
    m_open = false;
    if (m_engineCopy)
        m_engineCopy->close();
    m_engineCopy.reset();
}

const ods::Relation &OdsSession::relation(const QString &name) const
{
    for (const auto &relation : m_database->relations())
        if (relation.name == name)
            return relation;
    throw components::ComponentError(QStringLiteral("The table does not exist in \"%1\" (there is no table or view "
                                                    "named \"%2\").").arg(m_settings.database, name));
}

std::shared_ptr<Session> OdsSession::engineCopyFor(const ods::Relation &relation)
{
    ensureOpen();
    // A copy that cannot be made (a full disk) is not tried again for each
    // view: the reason is told once, then each relation that needed it.
    if (!m_copyProblem.isEmpty())
        throw components::ComponentError(
            QStringLiteral("The %1 \"%2\" of \"%3\" cannot be read: the private copy it needs could not be made, as "
                           "reported before.").arg(relation.view ? QStringLiteral("view") : QStringLiteral("table"),
                                                    relation.name, m_settings.database));
    if (!m_engineCopy) {
        ModernCopy copy;
        try {
            copy = modernCopy(m_version, *m_database, m_progress.get());
        } catch (const components::ComponentError &error) {
            m_copyProblem = error.description();
            throw;
        }
        AttachmentSettings settings = m_settings;
        // A rebuilt copy is owned by SYSDBA; the reader checks no grants either.
        if (copy.rebuilt)
            settings.user = QStringLiteral("SYSDBA");
        m_engineCopy = Session::open(settings, copy.path);
        m_copyFailures = copy.failures;
        m_copyEmptyColumns = copy.emptyColumns;
    }
    const auto failure = m_copyFailures.find(relation.name);
    if (failure != m_copyFailures.end())
        throw components::ComponentError(QStringLiteral("The %1 \"%2\" of \"%3\" cannot be read: %4.")
                                             .arg(relation.view ? QStringLiteral("view") : QStringLiteral("table"),
                                                  relation.name, m_settings.database, failure->second));
    return m_engineCopy;
}

std::map<QString, QString> OdsSession::emptyColumnFailures(const ods::Relation &relation) const
{
    std::map<QString, QString> failures;
    const auto columns = m_copyEmptyColumns.find(relation.name);
    if (columns != m_copyEmptyColumns.end())
        for (const auto &[column, reason] : columns->second)
            failures[column] = QStringLiteral("The column \"%1\" of the %2 \"%3\" of \"%4\" cannot be read: %5.")
                                   .arg(column, relation.view ? QStringLiteral("view") : QStringLiteral("table"),
                                        relation.name, m_settings.database, reason);
    return failures;
}

} // namespace dbaccess
