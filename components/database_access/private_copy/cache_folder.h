#pragma once

// How the copies folder is kept: room checked before a copy is written,
// partial copies that never outlive their maker, and a size limit that
// drops the least recently used copies.

#include <QString>
#include <QtGlobal>

namespace dbaccess {

struct FolderSpace {
    qint64 available = 0; // to this user
    qint64 total = 0;
};

FolderSpace spaceOf(const QString &folder);

// What the copies may take together: 2 GB, or a tenth of their filesystem
// where that is more.
qint64 cacheLimit(const FolderSpace &space);

// The name a copy is written under until it is complete. While this process
// lives no sweep removes it; once it has ended, the next sweep does.
QString partialName(const QString &target);

// Removes the partial copies of processes that have ended (killed, or
// stopped by a failure they could not clean up after). Once per folder and
// process; costs a listing of the folder.
void sweepAbandonedCopies(const QString &folder);

// The copies folder swept, at start-up: a program killed while it copied
// leaves nothing behind for long. Never throws.
void sweepCopiesFolder();

// Makes room for a copy of `source` that takes `bytes` in `folder`: drops
// the least recently used copies beyond the size limit, and more of them
// where the filesystem itself lacks room. Throws components::ComponentError,
// saying what is needed, where, and what is free, when that is not enough.
void makeRoomFor(const QString &folder, qint64 bytes, const QString &source);

// Records that this process uses `copy` now: it is never dropped under this
// process, and it is the last to go for the size limit.
void markInUse(const QString &copy);
bool inUseHere(const QString &copy);

// Removes a copy found broken, with its list of failures, so that it is made
// again: this process stops using it; another engine that holds it keeps it.
// False when it stays.
bool discardCopy(const QString &copy);

// An engine, of this process or another, holds the file open (engines
// lock their files with flock).
bool heldByAnotherEngine(const QString &path);

// The real reason a copy could not be written (errno), for the user.
QString copyWriteProblem(const QString &source, const QString &folder, int error);

} // namespace dbaccess
