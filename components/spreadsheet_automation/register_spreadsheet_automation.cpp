#include "register_spreadsheet_automation.h"

#include "calc_application.h"
#include "office_session.h"
#include "registry.h"
#include "spare_office.h"
#include "spreadsheet_automation.h"

void registerSpreadsheetAutomationComponents()
{
    components::Registry::instance().registerFactory(
        excel::ApplicationClass, [] { return std::make_shared<calc::CalcApplication>(); });
    components::Registry::instance().registerPreparation(excel::ApplicationClass, &calc::SpareOffice::prepare);
}

bool spreadsheetOfficeInstalled() { return calc::OfficeSession::installed(); }
