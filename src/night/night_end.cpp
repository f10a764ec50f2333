#include "night/night_end.h"

#include <cstdio>

#include "inputs/number_text.h"

namespace vantrel {
namespace {

// The one test: its arithmetic is the night's own, on the numbers as read.
bool minuteIsPast(double hour, double minutes, double endHour) {
  if (!(hour < 6)) return false;
  return hour + minutes / 60 > endHour;
}

}  // namespace

bool nightIsOverByClock(std::string_view dateText, std::string_view timeText,
                        const std::array<double, 13>& nightEndByMonth) {
  const double month = readField(dateText, 6, 2);
  if (!(month >= 1 && month <= 12)) return false;
  return minuteIsPast(readField(timeText, 1, 2), readField(timeText, 4, 2),
                      nightEndByMonth[static_cast<std::size_t>(month)]);
}

std::optional<int> firstMinutePast(double endHour) {
  for (int minute = 0; minute < 360; ++minute) {
    if (minuteIsPast(minute / 60, minute % 60, endHour)) return minute;
  }
  return std::nullopt;
}

std::string nightEndText(double endHour) {
  const std::optional<int> minute = firstMinutePast(endHour);
  if (!minute) return "";
  char text[16];  // "HH:MM", with room for any int the compiler imagines
  std::snprintf(text, sizeof text, "%02d:%02d", *minute / 60, *minute % 60);
  return text;
}

}  // namespace vantrel
