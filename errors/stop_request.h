#pragma once

#include <csignal>

namespace components {

// Set from the signal handler once the user has asked the program to stop.
// The program sees the request at its next yield, which a long call (an
// office storing a workbook) may put off for seconds: work about to become
// final, a file about to take its name, asks here first.
inline volatile std::sig_atomic_t &stopRequested()
{
    static volatile std::sig_atomic_t requested = 0;
    return requested;
}

} // namespace components
