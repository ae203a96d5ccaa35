#include "firebird_session.h"

#include "component_error.h"
#include "firebird_client.h"
#include "firebird_error.h"

#include <ibase.h>

namespace dbaccess {

using namespace Firebird;

namespace {

QByteArray attachmentParameters(ThrowStatusWrapper &status, const Login &settings)
{
    IXpbBuilder *dpb = firebirdMaster()->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertTag(&status, isc_dpb_utf8_filename);
    if (!settings.user.isEmpty())
        dpb->insertString(&status, isc_dpb_user_name, settings.user.toUtf8().constData());
    if (!settings.password.isEmpty())
        dpb->insertString(&status, isc_dpb_password, settings.password.toUtf8().constData());
    if (!settings.role.isEmpty())
        dpb->insertString(&status, isc_dpb_sql_role_name, settings.role.toUtf8().constData());
    const QString charset = settings.characterSet.trimmed().isEmpty() ? QStringLiteral("NONE") : settings.characterSet.trimmed();
    dpb->insertString(&status, isc_dpb_lc_ctype, charset.toUtf8().constData());
    // Without this a plain path quietly goes through a server that has the
    // file open (the Loopback provider), checking a password the user never
    // meant for it; a second engine on the file must fail clearly instead.
    if (!namesServer(settings.database))
        dpb->insertString(&status, isc_dpb_config, "Providers=Engine12");
    const QByteArray bytes(reinterpret_cast<const char *>(dpb->getBuffer(&status)), int(dpb->getBufferLength(&status)));
    dpb->dispose();
    return bytes;
}

} // namespace

std::shared_ptr<Session> Session::open(const Login &settings, const QString &file)
{
    std::shared_ptr<Session> session(new Session);
    session->m_database = settings.database;
    IMaster *master = firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IProvider *provider = master->getDispatcher();
    try {
        const QByteArray dpb = attachmentParameters(status, settings);
        const QString attached = file.isEmpty() ? settings.database : file;
        session->m_attachment = provider->attachDatabase(&status, attached.toUtf8().constData(),
                                                         unsigned(dpb.size()), reinterpret_cast<const unsigned char *>(dpb.constData()));
        const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_concurrency, isc_tpb_read, isc_tpb_nowait};
        session->m_transaction = session->m_attachment->startTransaction(&status, sizeof tpb, tpb);
    } catch (const FbException &error) {
        provider->release();
        status.dispose();
        session->close();
        throwFirebirdError(error.getStatus(), settings.database);
    } catch (...) {
        provider->release();
        status.dispose();
        session->close();
        throw;
    }
    provider->release();
    status.dispose();
    return session;
}

Session::~Session()
{
    close();
}

void Session::close()
{
    // A read-only transaction has nothing to keep: ending it cannot lose
    // anything, and a broken link must not keep the attachment around.
    CheckStatusWrapper status(firebirdMaster()->getStatus());
    if (m_transaction) {
        m_transaction->rollback(&status);
        if (status.getState() & IStatus::STATE_ERRORS)
            m_transaction->release();
        m_transaction = nullptr;
    }
    if (m_attachment) {
        status.init();
        m_attachment->detach(&status);
        if (status.getState() & IStatus::STATE_ERRORS)
            m_attachment->release();
        m_attachment = nullptr;
    }
    status.dispose();
}

void Session::ensureOpen() const
{
    if (!isOpen())
        throw components::ConnectionLost(QStringLiteral("The connection to the database is closed."));
}

} // namespace dbaccess
