#pragma once

#include <QString>

namespace components {

// Gives a complete file its final name so that after a power cut the name
// holds either what it held before or the whole new file, never an empty or
// torn one: the file's bytes reach the disk before the rename, and the
// rename before the call returns. Returns 0, or the system's error number.
int renameDurably(const QString &from, const QString &to);

} // namespace components
