// civil_zone.h - the civil time the night lives in.
//
// The clocks keep Universal Time and show it as the civil time of one zone:
// every text the night reads and writes (the time and date of a cycle, the
// log's name and records, the status, the plan) is in that zone, and the
// positions take Universal Time back as the civil time minus the offset of
// the same instant. Without a choice the zone is the fixed UT + 9 h the night
// was made for.
//
// Notes:
// 1) Offsets are whole minutes (every zone in use today is): a whole minute
//    of civil time is then a whole minute of Universal Time, and a change of
//    offset falls on a change of the minute text.
// 2) Across a change of offset the civil time jumps: forward (the skipped
//    hour is never shown) or back (the repeated hour is shown twice). Waits
//    run on Universal Time, so a wait neither stalls nor ends early.
// 3) One zone serves the whole process (the night, its plan, its views). It
//    is set once at start, before any thread, and only read afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

inline constexpr std::int64_t msPerMinuteOfZone = 60 * 1000;
// The zone the design fixes: UT + 9 h.
inline constexpr std::int64_t designOffsetMs = 9 * 3600 * 1000LL;

class CivilZone {
 public:
  virtual ~CivilZone() = default;
  // Milliseconds the civil time stands ahead of Universal Time at `utcMs`.
  virtual std::int64_t offsetMsAt(std::int64_t utcMs) const = 0;
  // "UT+9", "Europe/Berlin", "UTC-05:00".
  virtual std::string name() const = 0;

  std::int64_t civilMs(std::int64_t utcMs) const { return utcMs + offsetMsAt(utcMs); }
  // The instant a civil time names. In a repeated hour the first of the two;
  // a time in a skipped hour is read with the offset from before the change.
  std::int64_t utcMs(std::int64_t civilMs) const;
};

class FixedZone final : public CivilZone {
 public:
  FixedZone(std::int64_t offsetMs, std::string name) : offsetMs_(offsetMs), name_(std::move(name)) {}
  std::int64_t offsetMsAt(std::int64_t) const override { return offsetMs_; }
  std::string name() const override { return name_; }

 private:
  std::int64_t offsetMs_;
  std::string name_;
};

// The zone of this process's night; UT + 9 h until setCivilZone.
const CivilZone& civilZone();
std::shared_ptr<const CivilZone> sharedCivilZone();
void setCivilZone(std::shared_ptr<const CivilZone> zone);

// "UTC+01:00", "UTC-05:00", "UTC" for an offset of 0.
std::string offsetText(std::int64_t offsetMs);

// A fixed offset written "UTC+01:00", "UTC-05", "UTC+9", "UTC+0530" or
// "UTC" (also with "UT" or "GMT"), within 14 hours either way; nothing when
// the text is not such an offset.
std::optional<std::int64_t> parseOffset(std::string_view text);

}  // namespace vantrel
