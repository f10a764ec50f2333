// log_reader.h - reading the target records back from a log.
//
// The log is written for people and is read back only to resume a night
// after a restart. A line is taken as a target record only when it has the
// exact form targetRecord writes (see log_format.h): date, time, the four
// positions each in its pattern form, the name, the row number and the count
// in the number item form, and the final blank. Anything else is not a target
// record; the two other records are told apart so that they are not taken
// for damage.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

struct TargetRecordRead {
  std::string dateText;    // "YYYY-MM-DD" of the clock sample
  std::string timeText;    // "HH:MM:SS"
  std::string targetName;  // as written: the whole target-list line
  int chosenRow = 0;
};

// `line` without its line end.
std::optional<TargetRecordRead> readTargetRecord(std::string_view line);

// The declination-limit and park records.
bool isOtherLogRecord(std::string_view line);

}  // namespace vantrel
