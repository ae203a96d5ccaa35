#pragma once

#include <QStringList>

namespace command_line {

// The export without windows, for scripts and scheduled jobs: reads the
// arguments, exports, and returns the exit status (0 every table exported,
// 1 some failed, 2 nothing exported).
int run(int argc, char **argv);

} // namespace command_line
