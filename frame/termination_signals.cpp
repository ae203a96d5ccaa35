#include "termination_signals.h"

#include "platform.h"
#include "stop_request.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace frame {
namespace {

int wakeUp[2] = {-1, -1};

// Only async-signal-safe work here; the event loop does the rest. The first
// signal is seen at the work's next yield, which may be seconds away; a
// second one is the user insisting, and ends the program at once. The
// offices we started end with us through their keepers; what was half
// written goes before we do.
void onTerminationSignal(int)
{
    if (components::stopRequested()) {
        const char line[] = "marrowbeck: Stopped at once by a second signal.\n";
        [[maybe_unused]] const ssize_t said = ::write(STDERR_FILENO, line, sizeof line - 1);
        if (const components::AtOnceCleanup cleanup = components::cleanupWhenStoppedAtOnce().load())
            cleanup();
        ::_exit(2);
    }
    components::stopRequested() = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
}

} // namespace

void endProgramOnTerminationSignals()
{
    if (wakeUp[0] < 0) {
        if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        auto *notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [] { End(); });
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

} // namespace frame
