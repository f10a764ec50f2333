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
//    every other line that is not a target record is reported.
// 3) Nothing here is fatal: a log that cannot be read is reported and the
//    night goes on with what was found.
#pragma once

#include <string>
#include <vector>

#include "inputs/target_table.h"
#include "platform/clock.h"

namespace vantrel {

class FileStore;

struct ResumeResult {
  std::vector<std::string> filesRead;   // logs that exist, oldest first
  std::vector<int> observedRows;        // rows taken as observed, in the order met
  std::vector<std::string> complaints;  // one line for each record not taken, naming file and line
};

// The date before "YYYY-MM-DD", in the same form.
std::string previousDateText(const std::string& dateText);

// Reads tonight's records and marks their rows in `targets` (targetState 1).
ResumeResult resumeTonight(FileStore& files, const ClockReading& now, TargetTable& targets);

// "resuming: 3 rows taken as observed from log2026-12-06.txt, log2026-12-07.txt".
std::string describeResume(const ResumeResult& result, const ClockReading& now);

}  // namespace vantrel
