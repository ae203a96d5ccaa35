#include "real_program_fixture.h"

#include "calc_inspection.h"
#include "form1.h"
#include "platform.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"
#include "settings_store.h"

#include <csignal>

namespace testing_support {

void RealProgramFixture::SetUp()
{
    unloadWindowsForTesting();
    frame::clearSettingsForTesting();
    frame::setMessageBoxService(boxes);
    frame::setTerminator(terminator);
    frame::setProgramFolder(QStringLiteral(MARROWBECK_PROGRAM_DIR));
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();
    auto &registry = components::Registry::instance();
    auto real = registry.factory(excel::ApplicationClass);
    registry.registerFactory(excel::ApplicationClass, [this, real] {
        auto object = real();
        applications.push_back(std::dynamic_pointer_cast<excel::Application>(object));
        return object;
    });
}

void RealProgramFixture::TearDown()
{
    unloadWindowsForTesting();
    frame::clearSettingsForTesting();
    killOffices();
}

void RealProgramFixture::killOffices()
{
    for (auto &application : applications) {
        try {
            if (application)
                ::kill(-pid_t(calc_inspection::officeProcessId(*application)), SIGKILL);
        } catch (...) {
        }
    }
    applications.clear();
}

} // namespace testing_support
