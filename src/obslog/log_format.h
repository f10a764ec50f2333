// log_format.h - the records of the observation log and their number forms.
//
// Records are returned without their line end; the log adds CR LF.
//
// Pattern form ("AL=000.0 ", "AZ=00.0 ", "RA=000.0 ", "000.0 "): letters and
// "=" unchanged, at least as many integer digits as the zeros (zero padded),
// exactly one decimal, then the final blank. The value is rounded to one
// decimal, halfway away from zero, judged on its 15-significant-digit
// decimal text (0.34999999999999997 is written 0.4). A negative value puts
// its minus sign before the whole text, letters included, also when it
// rounds to zero.
//
// Number item form: a blank (or "-" for a negative value), the value in plain
// decimal with at most 15 significant digits, no exponent, no trailing zeros,
// a leading "0" below 1 in magnitude, then one blank.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

std::string logFileNameFor(std::string_view dateText);  // "log" + date + ".txt"

std::string formatPattern(double value, std::string_view pattern);
std::string formatNumberItem(double value);

struct TargetRecordFields {
  std::string_view cycleDateText;
  std::string_view cycleTimeText;
  float azDeg = 0;
  double altDeg = 0;
  double raDeg = 0;
  double decDeg = 0;
  std::string_view targetName;  // UTF-8, written unchanged
  int chosenRow = 0;
  int candidateCount = 0;
};

std::string targetRecord(const TargetRecordFields& fields);
std::string decLimitRecord(double reportedDec);
std::string parkRecord();

}  // namespace vantrel
