#pragma once

// A new database for the embedded Firebird 3 engine made from what the
// reader reads: the user tables with their rows, then what the views and
// computed columns need (stored procedures, exceptions, generators), then
// the views and computed columns themselves.

#include "build_progress.h"
#include "local_file.h"
#include "ods/ods_database.h"

#include <QString>
#include <map>

namespace dbaccess {

struct RebuildReport {
    // Relations the copy cannot serve, with the reason.
    std::map<QString, QString> failures;
    // By relation: computed columns (and view columns showing them) the copy
    // holds as nulls because their expression cannot be made, with the reason.
    std::map<QString, std::map<QString, QString>> emptyColumns;
    // Relations the copy holds only in part: the readable records of a
    // damaged table, and views showing one; what the user is told.
    std::map<QString, QString> partial;
};

// progress advances by each row copied and each view and computed column
// made. Throws components::ComponentError when the database cannot be
// created.
RebuildReport rebuild(const QString &file, const FileVersion &version, const ods::Database &database,
                      BuildProgress &progress);

} // namespace dbaccess
