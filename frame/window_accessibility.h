#pragma once

namespace frame {

// The wizard's windows are plain QWidgets, which Qt presents to assistive
// technology as anonymous panes; this presents them as windows, so a screen
// reader announces their titles when they come up.
void installWindowAccessibility();

} // namespace frame
