#pragma once

#include "database_access.h"
#include "local_file.h"
#include "ods/ods_database.h"

#include <QString>
#include <map>

namespace dbaccess {

struct ModernCopy {
    QString path;
    bool rebuilt = false; // a new database (owned by SYSDBA), not the file's bytes
    // Relations the copy cannot serve (a view or computed column this
    // engine cannot create), with the reason.
    std::map<QString, QString> failures;
    // By relation: columns the copy holds as nulls (a computed column this
    // engine cannot compute, a view column showing one), with the reason.
    std::map<QString, std::map<QString, QString>> emptyColumns;
    // Relations the copy holds only in part (a damaged table's readable
    // records, a view showing them), with what the user is told.
    std::map<QString, QString> partial;
};

// Whether the engine's copy of `database` holds the file's own pages: a
// Firebird 3 database with every file at hand and no shadow (the engine
// would open the shadows it names).
bool copyHoldsItsPages(const ods::Database &database);

// A private copy of the user's file that the embedded Firebird 3 engine can
// open, for views and computed columns: the file's own pages where
// copyHoldsItsPages, in one file, else a new database rebuilt from what the
// reader reads. Made once per
// version of the file, in the copies folder, and shared by every program
// that opens that version: one makes it, the others wait for it. progress
// (may be null) hears how the making, or the waiting, goes.
ModernCopy modernCopy(const FileVersion &version, const ods::Database &database,
                      ado::PreparationProgress *progress = nullptr);
// The rebuilt kind, whatever the version.
ModernCopy rebuiltCopy(const FileVersion &version, const ods::Database &database,
                       ado::PreparationProgress *progress = nullptr);

} // namespace dbaccess
