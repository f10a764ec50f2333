#include "app/report_fault.h"

#include <cstdio>

#include "inputs/text_lines.h"

namespace vantrel {

int reportFault(const Fault& fault) {
  std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
  return static_cast<int>(fault.status());
}

}  // namespace vantrel
