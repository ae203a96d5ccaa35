#pragma once

#include <QString>

namespace excel {
class Workbook;
}

// True when a worksheet of the workbook has the name, ignoring case.
bool SheetExists(const QString &name, excel::Workbook &workbook);
