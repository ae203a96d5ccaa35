#pragma once

// The current values of a file's generators. They live on generator pages,
// outside every table: RDB$PAGES lists those pages, each holds a run of
// 64-bit values indexed by generator id.

#include "ods/ods_database.h"

#include <QString>
#include <map>

namespace dbaccess {

// By generator id; a value whose page cannot be read is missing. The file is
// opened for reading only.
std::map<int, qint64> generatorValues(const QString &path, const ods::Database &database);

} // namespace dbaccess
