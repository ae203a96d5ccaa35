#pragma once

namespace frame {

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) end the
// program as closing a window does. Install after the office runtime has
// started: it installs handlers of its own that swallow these signals. A
// second call installs the handlers again, for a runtime started since. A
// second signal ends the program at once, without waiting for the event
// loop.
void endProgramOnTerminationSignals();

} // namespace frame
