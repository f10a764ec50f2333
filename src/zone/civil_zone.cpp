#include "zone/civil_zone.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vantrel {
namespace {

std::shared_ptr<const CivilZone>& processZone() {
  static std::shared_ptr<const CivilZone> zone = std::make_shared<FixedZone>(designOffsetMs, "UT+9");
  return zone;
}

// Reads 1 to `most` digits at `at`; nothing when there are none.
std::optional<int> digits(std::string_view text, std::size_t& at, std::size_t most) {
  std::size_t start = at;
  int value = 0;
  while (at < text.size() && at - start < most && std::isdigit(static_cast<unsigned char>(text[at]))) {
    value = value * 10 + (text[at++] - '0');
  }
  if (at == start) return std::nullopt;
  return value;
}

}  // namespace

std::int64_t CivilZone::utcMs(std::int64_t civilMs) const {
  // Offsets change months apart and stay within 14 hours: a day before and a
  // day after the civil time give the offsets on both sides of any change
  // near it.
  constexpr std::int64_t day = 24 * 3600 * 1000LL;
  const std::int64_t before = civilMs - offsetMsAt(civilMs - day);
  const std::int64_t after = civilMs - offsetMsAt(civilMs + day);
  const bool beforeNames = this->civilMs(before) == civilMs, afterNames = this->civilMs(after) == civilMs;
  if (beforeNames && afterNames) return std::min(before, after);
  return afterNames ? after : before;
}

const CivilZone& civilZone() { return *processZone(); }

std::shared_ptr<const CivilZone> sharedCivilZone() { return processZone(); }

void setCivilZone(std::shared_ptr<const CivilZone> zone) { processZone() = std::move(zone); }

std::string offsetText(std::int64_t offsetMs) {
  if (offsetMs == 0) return "UTC";
  const std::int64_t minutes = std::llabs(offsetMs) / msPerMinuteOfZone;
  char text[48];
  std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld", offsetMs < 0 ? '-' : '+', static_cast<long long>(minutes / 60),
                static_cast<long long>(minutes % 60));
  return text;
}

std::optional<std::int64_t> parseOffset(std::string_view text) {
  std::size_t at = 0;
  for (std::string_view prefix : {"UTC", "GMT", "UT"}) {
    if (text.substr(0, prefix.size()) == prefix) {
      at = prefix.size();
      break;
    }
  }
  if (at == 0) return std::nullopt;
  if (at == text.size()) return 0;
  if (text[at] != '+' && text[at] != '-') return std::nullopt;
  const int sign = text[at++] == '-' ? -1 : 1;
  std::size_t hourStart = at;
  std::optional<int> hours = digits(text, at, 2);
  if (!hours) return std::nullopt;
  int minutes = 0;
  if (at < text.size()) {
    // "UTC+0530" or "UTC+05:30"; a one-digit hour takes no minutes.
    if (text[at] == ':') ++at;
    else if (at - hourStart != 2) return std::nullopt;
    std::size_t minuteStart = at;
    std::optional<int> m = digits(text, at, 2);
    if (!m || at - minuteStart != 2 || at != text.size() || *m > 59) return std::nullopt;
    minutes = *m;
  }
  const std::int64_t offsetMs = sign * (*hours * 60LL + minutes) * msPerMinuteOfZone;
  if (std::llabs(offsetMs) > 14 * 3600 * 1000LL) return std::nullopt;
  return offsetMs;
}

}  // namespace vantrel
