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
#include <vector>

#include "night/form1.h"

namespace vantrel {

class FileStore;
struct SiteConfig;

struct PreflightReport {
  std::string text;   // the report, lines ending in "\n"
  int warnings = 0;   // how many warnings it holds
};

// Throws Fault (ExitStatus::inputFile) for input the night would refuse.
// `throughIndi`: the mount is an INDI device, and the serial port of the
// configuration is not used.
PreflightReport preflightReport(FileStore& files, std::int64_t startCivilMs, bool throughIndi = false,
                                const SunLimits& sun = {});

// "times are Europe/Berlin (UTC+01:00 now)": the night's zone at `utcMs`.
std::string zoneLine(std::int64_t utcMs);

// What the night's zone gets wrong for the site, as of the civil time
// `atCivilMs`: a noon more than 3 hours from 12:00 (the zone is not the
// site's), and months whose end-of-night hour falls more than an hour after
// sunrise at the site or more than 4 hours before it.
std::vector<std::string> zoneWarnings(const SiteConfig& config, std::int64_t atCivilMs);

}  // namespace vantrel
