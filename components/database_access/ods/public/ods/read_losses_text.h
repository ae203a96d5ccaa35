#pragma once

#include "file_contents.h"

#include <QString>

namespace ods {

// What a table of a damaged file lost, told once for the whole table; empty
// when it lost nothing.
QString readLossesText(const QString &table, const ReadLosses &losses);

} // namespace ods
