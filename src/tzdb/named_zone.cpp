#include "tzdb/named_zone.h"

#include <date/tz.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/fault.h"

namespace vantrel {
namespace {

class NamedZone final : public CivilZone {
 public:
  explicit NamedZone(const date::time_zone* zone) : zone_(zone) {}
  std::int64_t offsetMsAt(std::int64_t utcMs) const override {
    using std::chrono::milliseconds;
    const date::sys_info info = zone_->get_info(date::sys_time<milliseconds>{milliseconds{utcMs}});
    return std::chrono::duration_cast<std::chrono::milliseconds>(info.offset).count();
  }
  std::string name() const override { return std::string(zone_->name()); }

 private:
  const date::time_zone* zone_;
};

const char* const acceptedForms =
    "give a zone name of the time zone database (Europe/Berlin, America/New_York, Asia/Tokyo; "
    "timedatectl list-timezones lists them), a fixed offset within 14 hours (UTC+01:00, UTC-05, UTC+9) "
    "or local (the computer's own zone)";

[[noreturn]] void badZone(std::string_view text, const std::string& why) {
  throw Fault("--zone '" + std::string(text) + "': " + why + "; " + acceptedForms, ExitStatus::usage);
}

const date::time_zone* located(const std::string& name) {
  try {
    return date::locate_zone(name);
  } catch (const std::exception&) {
    return nullptr;
  }
}

// TZ as the C library reads it: ":Europe/Berlin", "Europe/Berlin", or a
// path into the database.
const date::time_zone* zoneOfTz(std::string tz) {
  if (!tz.empty() && tz.front() == ':') tz.erase(0, 1);
  const std::string::size_type at = tz.find("zoneinfo/");
  if (at != std::string::npos) tz.erase(0, at + 9);
  return located(tz);
}

}  // namespace

std::shared_ptr<const CivilZone> zoneFromOption(std::string_view text) {
  if (text.empty()) badZone(text, "no zone given");
  if (text == "local") {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
      if (const date::time_zone* zone = zoneOfTz(tz)) return std::make_shared<NamedZone>(zone);
      badZone(text, std::string("TZ is '") + tz + "', which the time zone database does not know");
    }
    try {
      return std::make_shared<NamedZone>(date::current_zone());
    } catch (const std::exception& e) {
      badZone(text, std::string("the computer's zone cannot be read (") + e.what() + ")");
    }
  }
  if (text.substr(0, 2) == "UT" || text.substr(0, 3) == "GMT") {
    if (std::optional<std::int64_t> offsetMs = parseOffset(text)) {
      return std::make_shared<FixedZone>(*offsetMs, offsetText(*offsetMs));
    }
    // The database has a few such names ("GMT+5", "UTC"); a form we do not
    // read as an offset is better refused than read with POSIX's inverted sign.
    badZone(text, "not an offset of the form UTC+HH:MM, UTC-HH or UTC+H within 14 hours");
  }
  if (const date::time_zone* zone = located(std::string(text))) return std::make_shared<NamedZone>(zone);
  badZone(text, "the time zone database (/usr/share/zoneinfo) has no zone of that name");
}

}  // namespace vantrel
