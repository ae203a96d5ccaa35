#pragma once

namespace frame {

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) end the
// program as closing a window does. Install after the office runtime has
// started: it installs handlers of its own that swallow these signals. A
// second call installs the handlers again, for a runtime started since.
void endProgramOnTerminationSignals();

} // namespace frame
