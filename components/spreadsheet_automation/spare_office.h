#pragma once

#include "office_session.h"

#include <memory>

namespace calc {

// One office started ahead of need (when the table window opens), so that
// the export does not wait for an office to start. It is the office the
// next application object gets; one nobody used ends with the program,
// like every office whose workbook was never shown.
namespace SpareOffice {

// Starts a spare in the background unless one runs or is starting.
void prepare();
// The spare, once it has started (waiting for a start under way), or null
// when there is none or it has ended meanwhile.
std::shared_ptr<OfficeSession> take();
// An office taken as the spare in which nothing was done is the spare again.
void giveBack(std::shared_ptr<OfficeSession> session);

} // namespace SpareOffice

} // namespace calc
