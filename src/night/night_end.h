// night_end.h - the end of the night by the clock.
//
// Given:
//    dateText  "YYYY/MM/DD" of the clock       timeText  "HH:MM:SS" of the clock
//    endHour   the month's nightEndByMonth, in hours after midnight
// Returned:
//    whether the night is over; the first minute of the morning at which it
//    is, as minutes after midnight and as "HH:MM".
// Notes:
// 1) The night is over when the clock's hour is below 6 and hour + minutes /
//    60, read from the clock's texts, is greater than endHour: at 4.75 the
//    night goes on through 04:45 and is over from 04:46. The seconds do not
//    count.
// 2) The month is the clock's; a month or hour that does not read as one
//    (outside 1..12, below 6) never ends the night.
// 3) Every view that tells when the night ends (the status, the check) says
//    the first minute that passes this same test, never a rounding of its own.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

bool nightIsOverByClock(std::string_view dateText, std::string_view timeText,
                        const std::array<double, 13>& nightEndByMonth);

// The first minute after midnight (0..359) that ends a night whose end hour
// is endHour; nothing when no minute before 06:00 does.
std::optional<int> firstMinutePast(double endHour);

// That minute as "HH:MM" ("04:46" for 4.75); "" when there is none.
std::string nightEndText(double endHour);

}  // namespace vantrel
