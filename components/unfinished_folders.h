#pragma once

#include <QByteArray>

namespace components::unfinished_folders {

// The folders of unfinished files, kept where a signal handler can reach
// them without a lock or an allocation: a program ended at once by a signal
// must still leave nothing half-written.
// Callers serialise add and drop; only the handler runs beside them.
void add(const QByteArray &folder);
void drop(const QByteArray &folder);

// Removes every folder added and not dropped, with their files. Only system
// calls: safe in a signal handler.
void removeAllNow() noexcept;

} // namespace components::unfinished_folders
