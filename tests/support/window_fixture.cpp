#include "window_fixture.h"

#include "connection_string.h"
#include "form1.h"
#include "main_module.h"
#include "platform.h"
#include "settings_store.h"

namespace testing_support {

void WindowFixture::SetUp()
{
    unloadWindowsForTesting();
    frame::clearSettingsForTesting();
    frame::setMessageBoxService(boxes);
    frame::setTerminator(terminator);
    frame::setDesktopServices(desktop);
    frame::setProgramFolder(programFolder.path());
    frame::setDoEventsIntervalForTesting(-1);
    Main::setAppTitle(Main::productTitle);
    registerFakeDatabase(database);
    registerFakeSpreadsheet(spreadsheet);
}

void WindowFixture::TearDown()
{
    unloadWindowsForTesting();
    frame::clearSettingsForTesting();
}

void WindowFixture::acceptOnly(const QString &path, const QString &user, const QString &password)
{
    database->acceptedConnectionString = dbaccess::connectionString(dbaccess::enteredLogin(path, user, password));
}

void WindowFixture::putEntries(const QString &path, const QString &user, const QString &password)
{
    Form1 &window = form1();
    window.databaseEntry().setText(path);
    window.userEntry().setText(user);
    window.passwordEntry().setText(password);
}

} // namespace testing_support
