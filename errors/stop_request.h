#pragma once

#include <atomic>
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

// Work that must still be done when a second signal ends the program at
// once, without returning to it: async-signal-safe calls only. Set by the
// part that leaves half-written files about.
using AtOnceCleanup = void (*)() noexcept;
inline std::atomic<AtOnceCleanup> &cleanupWhenStoppedAtOnce()
{
    static std::atomic<AtOnceCleanup> cleanup{nullptr};
    return cleanup;
}

} // namespace components
