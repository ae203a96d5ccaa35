#pragma once

#include "local_file.h"
#include "ods/ods_database.h"

#include <QString>

namespace dbaccess {

// A private copy of the user's file that the embedded Firebird 3 engine can
// open, for views and computed columns: the file's own bytes for ODS 12,
// else a new database rebuilt from what the reader reads. Made once per
// version of the file, in the copies folder; returns its path.
QString modernCopy(const FileVersion &version, const ods::Database &database);

} // namespace dbaccess
