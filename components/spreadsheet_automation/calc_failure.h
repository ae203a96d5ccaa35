#pragma once

#include "component_error.h"

#include <QString>

namespace calc {

class OfficeSession;

// Throws the exception in flight again as a failure for the user,
// components::ComponentStopped when the office has gone. Calc's own messages
// are source locations, useless to a user, so the mapping goes by exception
// type; action says what was being done ("rename the worksheet"). Call only
// from inside a catch block.
[[noreturn]] void throwCalcFailure(const OfficeSession &session, const QString &action);

// Runs one piece of work against Calc, turning UNO failures into
// components::ComponentError; a ComponentError passes through unchanged.
template <class Work>
auto callCalc(const OfficeSession &session, const QString &action, Work &&work) -> decltype(work())
{
    try {
        return work();
    } catch (const components::ComponentError &) {
        throw;
    } catch (...) {
        throwCalcFailure(session, action);
    }
}

} // namespace calc
