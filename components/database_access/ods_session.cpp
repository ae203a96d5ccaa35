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
        throw components::ComponentError(QStringLiteral("The connection to the database is closed."));
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

std::shared_ptr<Session> OdsSession::engineCopy()
{
    ensureOpen();
    if (!m_engineCopy)
        m_engineCopy = Session::open(m_settings, modernCopy(m_version, *m_database));
    return m_engineCopy;
}

} // namespace dbaccess
