// check_mode.h - vantrel --check: the two files, tonight's plan and the
// mount's line as a real night would find them, without a goto or a log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "indi/indi_address.h"
#include "night/form1.h"
#include "platform/file_store.h"

namespace vantrel {

// The serial line as the night would find it; each finding that would stop
// or mislead the night counts as a warning in `problems`.
std::string lineDiagnosis(FileStore& files, bool askMount, bool noDeviceClaim, int& problems);

// Text on standard output, line by line, with target names made safe.
void printLines(const std::string& text);

// The check before a real night: exit 0, 5 (warnings) or 3 (refused input).
// With --indi the INDI mount takes the place of the serial line; with
// --weather the weather device's state follows.
int printCheck(std::int64_t startCivilMs, bool askMount, bool noDeviceClaim, const std::optional<IndiAddress>& indi,
               const SunLimits& sun, const std::optional<IndiAddress>& weather = std::nullopt);

}  // namespace vantrel
