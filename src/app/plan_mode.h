// plan_mode.h - vantrel --plan: tonight's plan, or that of several nights,
// in the terminal, and as a picture or a spreadsheet when asked.
#pragma once

#include <cstdint>

#include "app/command_line.h"

namespace vantrel {

// Rehearses from startCivilMs and prints the plan; writes --svg and --csv.
// Exit 0, or the status of the fault it met (3 for refused input).
int printPlan(std::int64_t startCivilMs, const Arguments& args);

}  // namespace vantrel
