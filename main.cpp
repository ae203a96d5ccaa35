#include "command_line.h"
#include "command_line_arguments.h"
#include "form1.h"
#include "qt_platform.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"
#include "termination_signals.h"
#include "version.h"
#include "window_accessibility.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (command_line::isCommandLine(arguments))
        return command_line::run(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(MARROWBECK_PRODUCT));
    QApplication::setOrganizationName(QStringLiteral(MARROWBECK_COMPANY));
    QApplication::setApplicationVersion(QStringLiteral(MARROWBECK_VERSION));
    frame::installQtPlatform();
    frame::installWindowAccessibility();
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();

    showStartWindow();
    frame::endProgramOnTerminationSignals();
    return app.exec();
}
