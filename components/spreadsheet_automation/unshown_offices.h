#pragma once

#include <QtGlobal>
#include <functional>

namespace calc {

// Offices of ours whose workbooks nobody has seen: unsaved work that only
// we know of, which nobody could ever close. When the program ends (a
// closed window and a termination signal both end it through quick_exit;
// exit is covered too) each of them is ended with it, since the office
// runs in a session of its own and would otherwise stay behind for ever.
// An office leaves the list once a workbook of it has been shown: it is
// the user's then.
//
// start() starts an office and returns its process group; it runs under the
// list's lock, so an office started on another thread while the program
// ends is either ended with it or never started (then this throws
// components::ComponentError).
void startListedOffice(const std::function<qint64()> &start);
void forgetUnshownOffice(qint64 processGroup);

} // namespace calc
