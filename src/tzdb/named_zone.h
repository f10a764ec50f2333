// named_zone.h - the --zone option: zones of the system's time zone database.
//
// The rules of named zones (their offsets and daylight saving time, past and
// future) come from the system's tzdata through the date/tz library, read
// once and then shared read-only by every thread.
#pragma once

#include <memory>
#include <string_view>

#include "zone/civil_zone.h"

namespace vantrel {

// The zone a --zone text names: a name of the database ("Europe/Berlin"), a
// fixed offset ("UTC+01:00", "UTC-05", "UTC+9") or "local" (TZ when it is
// set, otherwise /etc/localtime). Throws Fault (a bad command line) naming
// the text and the accepted forms.
std::shared_ptr<const CivilZone> zoneFromOption(std::string_view text);

}  // namespace vantrel
