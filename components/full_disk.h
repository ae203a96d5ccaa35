#pragma once

#include <QString>

namespace components {

// Whether a write that failed with the system's error number `error` met a
// filesystem (or a quota) without room.
bool meansFullDisk(int error);

// What a user reads about a full disk: which folder's disk, what is free,
// and what was still to be written (stillToWrite < 0: not known).
QString fullDiskText(const QString &folder, qint64 stillToWrite);

// For a writer that does not say why it failed (an office): the same text
// when the disk that holds folder has next to nothing free, else empty.
QString fullDiskTextIfFull(const QString &folder);

} // namespace components
