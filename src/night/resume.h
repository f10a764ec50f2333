// resume.h - taking up a night again after a restart.
//
// Tonight is everything since the most recent 12:00 of the site's civil
// time. Its target records lie in the logs named after the dates from that
// noon to today (a night that began before midnight writes on into the file
// of its start; a start after midnight opens today's). A record marks its row
// as observed when the row exists and holds the same target text: a list
// changed since the record was written is not matched, and the row is
// offered again.
//
// Notes:
// 1) Records are compared by their own date and time against the noon, so
//    what a file holds from the night before (a start after midnight writes
//    into the day's file) is left out.
// 2) The two other records (declination limit, park) are skipped quietly;
//    every other line that is not taken is counted, and the first five are
//    reported: a damaged log of a million lines must not bury the night
//    under its complaints.
// 3) Nothing here is fatal: a log that cannot be read is reported and the
//    night goes on with what was found.
// 4) A log is read in pieces, whatever its size; a line longer than
//    maxLogLineBytes is damage, not kept.
// 5) A stop request ends the reading between two lines; what was taken
//    until then stays taken.
#pragma once

#include <string>
#include <vector>

#include "inputs/target_table.h"
#include "platform/clock.h"

namespace vantrel {

class FileStore;
class StopRequest;

struct ResumeResult {
  std::vector<std::string> filesRead;   // logs that exist and were read, oldest first
  std::vector<int> observedRows;        // rows taken as observed, in the order met
  // What to tell: the first lines not taken (naming file and line), the
  // count of all when there were more, and every log that could not be read.
  std::vector<std::string> complaints;
  std::size_t linesNotTaken = 0;        // every line not taken, told or not
  std::vector<std::string> filesUnread{};  // logs that exist but could not be read
  bool stopped = false;                 // a stop request ended the reading
};

constexpr std::size_t maxLogLineBytes = 65536;
constexpr std::size_t linesToldOfAtMost = 5;

// The date before "YYYY-MM-DD", in the same form.
std::string previousDateText(const std::string& dateText);

// Reads tonight's records and marks their rows in `targets` (targetState 1).
ResumeResult resumeTonight(FileStore& files, const ClockReading& now, TargetTable& targets,
                           const StopRequest* stop = nullptr);

// "resuming: 3 rows taken as observed from log2026-12-06.txt, log2026-12-07.txt".
std::string describeResume(const ResumeResult& result, const ClockReading& now);

}  // namespace vantrel
