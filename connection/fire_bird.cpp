#include "fire_bird.h"

#include "connection_string.h"
#include "database_access.h"
#include "form1.h"

namespace FireBird {

QString currentConnectionString()
{
    Form1 &window = form1();
    return connectionString(window.Text1->text(), window.Text7->text(), window.Text2->text());
}

bool CanConnectToFireBird()
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    try {
        connection->Open(currentConnectionString());
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace FireBird
