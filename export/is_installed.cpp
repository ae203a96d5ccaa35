#include "is_installed.h"

#include "platform.h"
#include "spreadsheet_automation.h"

namespace IsInstalled {

QString spreadsheetMissingAdvice()
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    return QStringLiteral("Error 842001. A normal instance of LibreOffice Calc could not be created.") + paragraph
        + QStringLiteral("1. Please make sure LibreOffice Calc is installed on this computer (the Debian package "
                         "libreoffice-calc).")
        + paragraph
        + QStringLiteral("2. Please open LibreOffice Calc normally and make sure a blank spreadsheet opens immediately "
                         "without any interrupting window (such as a document recovery window).")
        + paragraph
        + QStringLiteral("3. Please make sure that when you double-click on an ODS, XLS or XLSX file that LibreOffice "
                         "Calc opens normally without any interrupting messages.")
        + paragraph
        + QStringLiteral("4. LibreOffice 7 and later are supported by this software; the headless-only packages "
                         "(libreoffice-core-nogui) cannot show the workbook and are not supported.");
}

void CheckExcelInstalled()
{
    std::shared_ptr<excel::Application> application;
    try {
        application = components::create<excel::Application>(excel::ApplicationClass);
    } catch (...) {
    }
    if (application) {
        application.reset();
        return;
    }
    frame::MsgBox(spreadsheetMissingAdvice(), frame::vbOKOnly);
    frame::End();
}

} // namespace IsInstalled
