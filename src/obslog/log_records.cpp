// log_records.cpp - the three records of the observation log and the name
// of its file. Records are concatenations of their items; every blank
// between fields belongs to one of the items. The caller adds CR LF.
#include <string>
#include <string_view>

#include "obslog/log_format.h"

namespace vantrel {

std::string logFileNameFor(std::string_view dateText) {
  std::string name = "log";
  name += dateText;
  name += ".txt";
  return name;
}

// The azimuth goes under "AL=" and the altitude under "AZ=". The labels look
// swapped, but they are the fixed format of the log: leave them as they are.
std::string targetRecord(const TargetRecordFields& fields) {
  std::string record;
  record += fields.cycleDateText;
  record += ' ';
  record += fields.cycleTimeText;
  record += ' ';
  record += formatPattern(fields.azDeg, "AL=000.0 ");
  record += formatPattern(fields.altDeg, "AZ=00.0 ");
  record += formatPattern(fields.raDeg, "RA=000.0 ");
  record += "RD=";  // outside the pattern, so a minus sign comes after it
  record += formatPattern(fields.decDeg, "000.0 ");
  record += fields.targetName;
  record += formatNumberItem(fields.chosenRow);
  record += formatNumberItem(fields.candidateCount);
  return record;
}

std::string decLimitRecord(double reportedDec) {
  return "RD Limit, over : <" + formatNumberItem(reportedDec) + ">";
}

// The text of the park command itself.
std::string parkRecord() { return "B4000,0000"; }

}  // namespace vantrel
