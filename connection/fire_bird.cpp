#include "fire_bird.h"

#include "connection_string.h"
#include "database_access.h"
#include "guarded_procedure.h"

namespace FireBird {

bool CanConnectToFireBird(const dbaccess::Login &login, QString *reason)
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    try {
        connection->Open(dbaccess::connectionString(login));
        return true;
    } catch (...) {
        if (reason)
            *reason = frame::describeCurrentException();
        return false;
    }
}

QString couldNotConnectText(const QString &reason)
{
    const QString message = QStringLiteral("Could not connect.");
    return reason.isEmpty() ? message : message + QStringLiteral("\r\n") + reason;
}

} // namespace FireBird
