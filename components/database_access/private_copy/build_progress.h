#pragma once

// How far the making of a rebuilt copy has come, counted in rows copied and
// views and computed columns made, for the window and for the programs
// waiting for the copy.

#include "copy_lock.h"
#include "database_access.h"
#include "ods/ods_database.h"

#include <QElapsedTimer>
#include <QString>

namespace dbaccess {

class BuildProgress {
public:
    // Shows 0% at once; `units` as counted by copyUnits.
    BuildProgress(ado::PreparationProgress &progress, CopyLock &lock, QString database, long long units);
    BuildProgress(const BuildProgress &) = delete;
    BuildProgress &operator=(const BuildProgress &) = delete;

    // One unit done: a row copied, a view or computed column made.
    void advance();
    // 100%, whatever could not be made.
    void finish();

private:
    void show(int percent);

    ado::PreparationProgress &m_progress;
    CopyLock &m_lock;
    const QString m_database;
    const long long m_units;
    long long m_done = 0;
    int m_shown = -1;
    QElapsedTimer m_sinceShown;
};

// The units a rebuilt copy of the database takes: its stored rows, its views
// and its computed columns.
long long copyUnits(const ods::Database &database);

} // namespace dbaccess
