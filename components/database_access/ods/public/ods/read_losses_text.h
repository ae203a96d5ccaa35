#pragma once

#include "ods/file_contents.h"

#include <QString>

namespace dbaccess {

// What a table of a damaged file lost, told once for the whole table; empty
// when it lost nothing.
QString readLossesText(const QString &table, const ods::ReadLosses &losses);

} // namespace dbaccess
