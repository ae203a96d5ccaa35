#pragma once

// One program at a time makes a given private copy. Another program that
// wants the same copy waits for it rather than making its own, and shows
// the maker's progress meanwhile: the maker writes it into the lock file.
// flock ends with its holder, so a maker that was killed blocks nobody.

#include "database_access.h"

#include <QByteArray>
#include <QString>

namespace dbaccess {

class CopyLock {
public:
    // Waits for the lock on `path`, created when missing. While another
    // program holds it, tells `progress` (may be null) how far that
    // program's copy of `database` has come. Throws
    // components::ComponentError when the lock file cannot be made.
    CopyLock(const QString &path, ado::PreparationProgress *progress, const QString &database);
    ~CopyLock();
    CopyLock(const CopyLock &) = delete;
    CopyLock &operator=(const CopyLock &) = delete;

    // For the programs waiting: how far this one's copy has come.
    void publish(int percent);

private:
    QByteArray m_path;
    int m_descriptor = -1;
};

} // namespace dbaccess
