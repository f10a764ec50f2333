// input_warnings.h - what looks wrong in "vantrel.ini" and "vantrel.adf".
//
// The night reads both files exactly as they are: a value out of its
// sensible range is loaded unchanged, and a target line whose columns have
// slipped gives whatever its columns read. These checks never change what
// the files give; they only say what looks like a mistake, so that the
// observer learns of it before the night and not at dawn.
//
// Notes:
// 1) Each warning names the file, the line, the column range (1-based; in
//    "vantrel.adf" counting characters, in "vantrel.ini" bytes) and the text
//    found there, and says what to fix.
// 2) Target lines: a coordinate field (hours 5-6, minutes 7-10, degrees
//    13-14, arc-minutes 15-18) holding anything but digits, one point and
//    blanks, or no digit at all; a digit in column 11 or 19, right after a
//    coordinate group (the sign of shifted columns); hours of 24 or more,
//    minutes or arc-minutes of 60 or more, a declination beyond 90 degrees;
//    a sign column (12) holding anything but "+", "-" or a blank; a mask
//    holding anything but 0 and 1, or text after the mask; a line too short
//    to keep its mask clear of the coordinates.
//    Of these, the ranges are not only suspicious but impossible: no sky
//    position has them, so the goto would go wherever the wrapped angle
//    points. They are marked, and a real night refuses them.
// 3) Column 4 is the last column of the name and is not checked: a
//    four-character name may end in a digit (M101, NGC1). A line shifted
//    there is caught by column 11, by a range or by its sign column.
// 4) Blank and comment lines are not checked.
#pragma once

#include <string>
#include <vector>

#include "inputs/site_config.h"
#include "inputs/target_list.h"
#include "inputs/target_table.h"

namespace vantrel {

struct InputWarning {
  std::string file;     // "vantrel.ini" or "vantrel.adf"
  int line = 0;         // 1-based line of the file
  int firstColumn = 0;  // 1-based columns of the text found
  int lastColumn = 0;
  std::string found;    // the text at those columns, UTF-8
  std::string problem;  // what is wrong and what to do about it
  bool impossible = false;  // coordinates no sky position has (note 2)
};

// One line for people: `vantrel.adf line 3, columns 5-6 "24": ...`.
std::string describeWarning(const InputWarning& warning);

// The suspicious values of a site configuration.
std::vector<InputWarning> siteConfigWarnings(const SiteConfig& config, const SiteConfigPlaces& places);

// The suspicious target lines of a decoded "vantrel.adf".
std::vector<InputWarning> targetLineWarnings(const std::vector<std::u32string>& lines);

// Throws Fault (ExitStatus::inputFile) naming the first impossible warning
// and the lines of the others; returns when there is none.
void refuseImpossibleCoordinates(const std::vector<InputWarning>& warnings);

// Target lines with a row whose declination is above decLimit: when such a
// row is chosen the mount reports a declination over the limit and that ends
// the night.
std::vector<InputWarning> decLimitWarnings(const std::vector<std::u32string>& lines,
                                           const std::vector<TargetLineRows>& lineRows, const TargetTable& table,
                                           const SiteConfig& config, const SiteConfigPlaces& places);

}  // namespace vantrel
