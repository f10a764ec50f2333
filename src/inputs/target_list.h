// target_list.h - the target list "vantrel.adf".
//
// One target per line in fixed character columns (1-based, counting
// characters): RA hours 5-6, RA minutes 7-10, declination sign 12 ("-" makes
// it negative), degrees 13-14, arc-minutes 15-18, and a nine-character grid
// mask at the end of the line read as three numbers counted from the end
// (L-8..L-6, L-5..L-3, L-2..L). Each set mask character makes a neighbour
// row gridStep away, in a fixed order, right after the line's base row.
//
// Notes:
// 1) A file that is valid UTF-8 is read as UTF-8; any other is read as
//    Shift_JIS (CP932). Names are held in UTF-8. CR LF, LF and CR end lines.
// 2) Blank lines (empty, or only spaces and tabs) and comment lines (whose
//    first character other than a space or tab is "#") are skipped; row
//    numbers count only target lines.
// 3) A non-blank line shorter than 9 characters, or a row beyond 2700, is a
//    fault (ExitStatus::inputFile) naming "vantrel.adf", the line number and
//    the reason.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "inputs/site_config.h"
#include "inputs/target_table.h"

namespace vantrel {

class FileStore;

inline constexpr const char* targetListFileName = "vantrel.adf";

// The rows one target line made: its base row and the neighbour rows that
// follow it, rows baseRow .. baseRow + rowCount - 1.
struct TargetLineRows {
  int fileLine = 0;  // 1-based line of the file
  int baseRow = 0;
  int rowCount = 0;
};

// True for a line that makes no row: blank, or a comment.
bool isSkippedTargetLine(std::u32string_view line);

// Fills `table` from decoded lines (line i of the vector is line i + 1 of the
// file). Resets targetCount first. When `lineRows` is given it receives one
// entry per target line, in file order.
void parseTargetLines(const std::vector<std::u32string>& lines, const SiteConfig& config, TargetTable& table,
                      std::vector<TargetLineRows>* lineRows = nullptr);

// Reads and decodes "vantrel.adf" from the working directory into its lines.
std::vector<std::u32string> readTargetLines(FileStore& files);

// Reads and decodes "vantrel.adf" from the working directory, then parses it.
void loadTargetList(FileStore& files, const SiteConfig& config, TargetTable& table);

}  // namespace vantrel
