// preflight.h - the check before a real night (vantrel --check).
//
// Reads "vantrel.ini" and "vantrel.adf" exactly as the night would and says,
// for a person: the site configuration with its meaning and units, every
// target line as it is read, every warning, and tonight's plan (a rehearsal
// from the start time that writes nothing). The serial line is the
// platform's to check; its findings are added by the caller.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

class FileStore;

struct PreflightReport {
  std::string text;   // the report, lines ending in "\n"
  int warnings = 0;   // how many warnings it holds
};

// Throws Fault (ExitStatus::inputFile) for input the night would refuse.
// `throughIndi`: the mount is an INDI device, and the serial port of the
// configuration is not used.
PreflightReport preflightReport(FileStore& files, std::int64_t startCivilMs, bool throughIndi = false);

}  // namespace vantrel
