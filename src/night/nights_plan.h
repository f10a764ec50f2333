// nights_plan.h - the plan of several nights in a row.
//
// "Which of my fields will be done this month, and on which nights?" Each
// night is its own rehearsal (planNight), started at the same time of day
// on consecutive dates with every row free, so night i is exactly what
// `vantrel --rehearse` gives from that date. The nights share nothing, so
// they are rehearsed on all cores at once.
//
// Notes:
// 1) The input files are read once, before any night, so that a bad file
//    fails at once with the night's own message and every night reads the
//    same bytes.
// 2) A list line stands for its pointings: its base row and the neighbour
//    rows its grid mask made (TargetLineRows). A line or pointing never
//    observed in the period gets the reason over all nights: never in the
//    choice window at any pass of any night, or in it at some passes but
//    always beaten by a row nearer the meridian.
// 3) Night numbers count from 1, the night of START.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inputs/target_list.h"
#include "night/night_plan.h"

namespace vantrel {

class FileStore;

struct NightsPlan {
  std::int64_t startSeconds = 0;      // START, civil whole seconds
  SiteConfig config;
  std::vector<NightPlan> nights;       // night i (from 0) starts i days after START
  std::vector<TargetLineRows> lines;   // the rows each list line made, in file order
  // Rows 0..targetCount of the table as loaded (row 0 is no target).
  std::vector<std::string> rowNames;
  std::vector<double> raDeg, decDeg;   // degrees, 1950.0, as commanded
};

// Every night of `nightCount` (1 or more), on `threads` threads (0: one per
// core). Throws Fault for a bad input file, as the night would.
NightsPlan planNights(std::int64_t startCivilMs, int nightCount, FileStore& files, int threads = 0,
                      const SunLimits& sun = {});

// What the period gives one pointing.
struct PointingNights {
  int row = 0;
  std::vector<int> nights;            // night numbers (from 1) on which it was observed
  std::vector<std::int64_t> gotoSeconds;  // the goto of each of those nights
  std::string reason;                 // why never, when `nights` is empty
};
std::vector<PointingNights> pointingNights(const NightsPlan& plan);

// "1-3,5,7-30": night numbers in ranges.
std::string nightRanges(const std::vector<int>& nights);

// For the terminal: the timeline of each night, then one entry per list line
// with the nights of each of its pointings, then the lines never observed
// with the reason.
std::string nightsTable(const NightsPlan& plan);

// For a spreadsheet: one record per pointing (line, pointing, row, name,
// position, how many nights, the goto time on each night's column, the
// reason when never observed), CR LF line ends, fields quoted as RFC 4180.
std::string nightsCsv(const NightsPlan& plan);

}  // namespace vantrel
