#include "firebird_error.h"

#include "component_error.h"
#include "file_messages.h"
#include "firebird_client.h"
#include "login.h"

#include <cerrno>
#include <ibase.h>
#include <vector>

namespace dbaccess {

namespace {

struct StatusCodes {
    std::vector<std::intptr_t> codes;
    int osError = 0;
    // The host a network failure names.
    QString networkHost;

    bool has(std::intptr_t code) const { return std::find(codes.begin(), codes.end(), code) != codes.end(); }
};

StatusCodes readStatusVector(const std::intptr_t *errors)
{
    StatusCodes result;
    for (const std::intptr_t *p = errors; p && *p != isc_arg_end;) {
        switch (p[0]) {
        case isc_arg_gds: result.codes.push_back(p[1]); p += 2; break;
        case isc_arg_string:
            if (result.networkHost.isEmpty() && !result.codes.empty() && result.codes.back() == isc_network_error)
                result.networkHost = QString::fromLocal8Bit(reinterpret_cast<const char *>(p[1]));
            p += 2;
            break;
        case isc_arg_unix:
            if (result.osError == 0)
                result.osError = int(p[1]);
            p += 2;
            break;
        case isc_arg_cstring: p += 3; break;
        default: p += 2; break;
        }
    }
    return result;
}

// Codes that say the attachment itself is gone, not that one request failed.
bool meansConnectionLost(const StatusCodes &status)
{
    return status.has(isc_net_read_err) || status.has(isc_net_write_err) || status.has(isc_conn_lost)
        || status.has(isc_lost_db_connection) || status.has(isc_att_shutdown);
}

// Firebird tells a port given by a service name this computer does not know
// ("host/fb_db:path") with the codes of an unknown host.
QString portName(const QString &database)
{
    const QString port = database.section(u':', 0, 0).section(u'/', 1);
    bool numeric = false;
    port.toInt(&numeric);
    return numeric ? QString() : port;
}

QString describeUnknownHost(const QString &database, const QString &host)
{
    const QString port = portName(database);
    if (!port.isEmpty())
        return QStringLiteral("The server of \"%1\" cannot be found: the host name \"%2\" or the port name \"%3\" is "
                              "unknown. Check their spelling and the network connection.").arg(database, host, port);
    return QStringLiteral("The server of \"%1\" cannot be found: the host name \"%2\" is unknown. Check its spelling "
                          "and the network connection.").arg(database, host);
}

} // namespace

QString describeNoPermission(const QString &database)
{
    // A local file is read by our own reader or the engine on a private
    // copy of it: only the grants kept in the file can refuse.
    if (!namesServer(database))
        return QStringLiteral("The data in \"%1\" cannot be read: the user has no permission to read it by the "
                              "grants kept in the file.").arg(database);
    return QStringLiteral("The data in \"%1\" cannot be read: the user has no permission to read it, or the "
                          "database file may not be written by whoever opens it (a server needs to read and "
                          "write the file).").arg(database);
}

QString describeFirebirdError(const std::intptr_t *errors, const QString &database, const QString &firebirdText)
{
    const StatusCodes status = readStatusVector(errors);
    if (status.has(isc_login))
        return QStringLiteral("The user name or the password is not correct for the database \"%1\".").arg(database);
    if (status.has(isc_already_opened) || status.has(isc_lock_conflict))
        return describeFileInUse(database);
    if (meansConnectionLost(status))
        return QStringLiteral("The connection to the database \"%1\" was lost: the server stopped, the link to it "
                              "broke, or the database was shut down.").arg(database);
    if (status.has(isc_host_unknown))
        return describeUnknownHost(database, status.networkHost);
    if (status.has(isc_network_error) || status.has(isc_net_connect_err))
        return QStringLiteral("The Firebird server for \"%1\" cannot be reached: it is not running, or it does not "
                              "accept connections on that host and port.").arg(database);
    if (status.has(isc_bad_db_format))
        return describeNotADatabase(database);
    if (status.has(isc_wrong_ods))
        return QStringLiteral("The database \"%1\" was made by a Firebird or InterBase version that this program "
                              "cannot read.").arg(database);
    if (status.has(isc_sys_request) && status.has(isc_io_error) == false && status.osError == EACCES)
        return QStringLiteral("Firebird's lock folder cannot be used (permission denied). Set FIREBIRD_LOCK to a "
                              "folder of your own and try again.");
    if (status.has(isc_io_error) || status.has(isc_io_open_err) || status.has(isc_io_access_err))
        return describeFileProblem(status.osError, database);
    if (status.has(isc_unavailable))
        return QStringLiteral("No Firebird engine is available for \"%1\": the embedded engine or the server "
                              "connection of the Firebird client is not installed.").arg(database);
    if (status.has(isc_shutdown))
        return QStringLiteral("The database \"%1\" is shut down.").arg(database);
    if (status.has(isc_no_priv))
        return describeNoPermission(database);
    if (status.has(isc_dsql_relation_err))
        return QStringLiteral("The table does not exist in \"%1\" (%2).").arg(database, firebirdText);
    return QStringLiteral("Firebird could not complete the request on \"%1\": %2").arg(database, firebirdText);
}

QString describeFirebirdStatus(const Firebird::IStatus *status, const QString &database)
{
    char text[2048] = {};
    firebirdMaster()->getUtilInterface()->formatStatus(text, sizeof text - 1, const_cast<Firebird::IStatus *>(status));
    const QString firebirdText = QString::fromLocal8Bit(text).simplified();
    return describeFirebirdError(status->getErrors(), database, firebirdText);
}

void throwFirebirdError(const Firebird::IStatus *status, const QString &database)
{
    const QString description = describeFirebirdStatus(status, database);
    const StatusCodes codes = readStatusVector(status->getErrors());
    if (meansConnectionLost(codes) || codes.has(isc_shutdown) || codes.has(isc_network_error))
        throw components::ConnectionLost(description);
    throw components::ComponentError(description);
}

} // namespace dbaccess
