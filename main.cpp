#include "form1.h"
#include "qt_platform.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marrowbeck"));
    QApplication::setOrganizationName(QStringLiteral("Tenvara"));
    QApplication::setApplicationVersion(QStringLiteral("7.0.0.0"));
    frame::installQtPlatform();
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();

    form1().show();
    return app.exec();
}
