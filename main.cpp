#include "form1.h"
#include "qt_platform.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"
#include "version.h"
#include "window_accessibility.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(MARROWBECK_PRODUCT));
    QApplication::setOrganizationName(QStringLiteral(MARROWBECK_COMPANY));
    QApplication::setApplicationVersion(QStringLiteral(MARROWBECK_VERSION));
    frame::installQtPlatform();
    frame::installWindowAccessibility();
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();

    form1().show();
    return app.exec();
}
