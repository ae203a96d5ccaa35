#pragma once

// isql scripts for databases made at random from a seed, for comparing the
// paths that read the same file: every type and many character sets, NULLs,
// updates (back versions kept as differences), deletes, a transaction rolled
// back without undo (its versions stay on disk), rows longer than a page,
// BLOBs of every size, computed columns and views.

#include <QByteArray>

namespace db_test {

QByteArray randomDatabaseScript(unsigned seed);

// A table of BLOBs of every level for a database of 4,096-byte pages: in the
// record, on a page of their own, through pointer pages and through pages
// of pointer pages.
QByteArray blobLevelsScript();

} // namespace db_test
