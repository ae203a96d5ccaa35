#pragma once

// A database kept in several files, copied for the embedded engine into one
// file. A copy of the primary file alone would send the engine, by the names
// in its header page, to the user's own continuation files (which it would
// write into) or to none.

#include "local_file.h"
#include "ods/file_contents.h"

#include <QString>
#include <vector>

namespace dbaccess {

// The copy of every page of `files` (all found) in one file, in the copies
// folder, made once for this state of them.
QString oneFileCopy(const FileVersion &version, const std::vector<ods::DatabaseFile> &files, unsigned pageSize);

// What tells apart the copies of one primary file while its continuation
// files change, come or go: empty for a database in one file.
QString continuationsKey(const std::vector<ods::DatabaseFile> &files);

} // namespace dbaccess
