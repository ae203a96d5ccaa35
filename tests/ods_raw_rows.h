#pragma once

// Raw rows of a table, as the engine gives them (the Firebird client's message
// buffers) and as the on-disk structure reader gives them: the same byte
// layout, so the two can be compared value for value. BLOBs are compared by
// content, since their ids are handles; the reader gives arrays as the
// content of the BLOB that holds them.

#include "ods/ods_database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace ods_test {

using RawRow = std::vector<std::optional<QByteArray>>;   // nullopt: NULL
using RawTable = std::vector<RawRow>;

// Every row of `relation` through the embedded engine (attached with
// character set NONE, so text arrives as stored), its stored columns only.
RawTable engineTable(const QString &file, const ods::Relation &relation);

// Runs statements in one transaction of a new embedded attachment, then
// commits, or rolls back; `keepVersions` starts it without an undo log, so
// that a rollback leaves its record versions in the file, marked dead.
void runOnEngine(const QString &file, const QList<QByteArray> &statements, bool commit, bool keepVersions = false);

// A snapshot transaction held open: while it lasts, the engine keeps the
// record versions it may see (no garbage collection of them).
class HeldSnapshot {
public:
    explicit HeldSnapshot(const QString &file);
    ~HeldSnapshot();
    HeldSnapshot(const HeldSnapshot &) = delete;
    HeldSnapshot &operator=(const HeldSnapshot &) = delete;

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
};

// The same through the reader.
RawTable readerTable(const ods::Database &database, const ods::Relation &relation);

// The columns both read: stored ones (computed columns the reader leaves null).
std::vector<int> comparedColumns(const ods::Relation &relation);

// The first difference between two tables compared as multisets of rows, or
// an empty string.
QString firstDifference(RawTable engine, RawTable reader, const ods::Relation &relation);

} // namespace ods_test
