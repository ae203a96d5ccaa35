#include "termination_signals.h"

#include "platform.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace frame {
namespace {

int wakeUp[2] = {-1, -1};

// Only async-signal-safe work here; the event loop does the rest.
void onTerminationSignal(int)
{
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
