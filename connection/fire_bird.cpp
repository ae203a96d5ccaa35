#include "fire_bird.h"

#include "connection_string.h"
#include "database_access.h"
#include "form1.h"
#include "guarded_procedure.h"

namespace FireBird {

QString currentConnectionString()
{
    Form1 &window = form1();
    return connectionString(window.Text1->text(), window.Text7->text(), window.Text2->text());
}

bool CanConnectToFireBird(QString *reason)
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    try {
        connection->Open(currentConnectionString());
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
