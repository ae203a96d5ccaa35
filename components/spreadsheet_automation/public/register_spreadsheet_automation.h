#pragma once

// Registers "Excel.Application" (excel::ApplicationClass), implemented over
// LibreOffice Calc in an office process of our own.
void registerSpreadsheetAutomationComponents();
