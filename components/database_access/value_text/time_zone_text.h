#pragma once

// TIME and TIMESTAMP WITH TIME ZONE as Firebird 4 and later store them: the
// UTC value and a zone id. Pure, no Firebird.

#include "value_text.h"

#include <QString>
#include <array>

namespace dbaccess {

extern const std::array<const char *, 638> firebirdTimeZoneRegions;

// The zone's name as Firebird shows it: a region ("Europe/Berlin") or an
// offset ("+02:00", "-03:30"). An id Firebird never gave reads "GMT", as
// Firebird itself falls back when it cannot resolve a zone.
QString timeZoneName(unsigned zoneId);

// The wall time in the value's own zone followed by the zone's name.
// utcDays: days since 17 November 1858; utcTicks: 1/10,000 s since midnight
// UTC. A time without a date is placed on 1 January 2020, the day Firebird
// resolves region times on.
QString zonedTimestampText(const ValueText &text, int utcDays, unsigned utcTicks, unsigned zoneId);
QString zonedTimeText(const ValueText &text, unsigned utcTicks, unsigned zoneId);

} // namespace dbaccess
