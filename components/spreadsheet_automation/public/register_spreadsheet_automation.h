#pragma once

// Registers "Excel.Application" (excel::ApplicationClass), implemented over
// LibreOffice Calc in an office process of our own.
void registerSpreadsheetAutomationComponents();

// Whether LibreOffice is installed here: the objects registered above can
// run only where it is.
bool spreadsheetOfficeInstalled();
