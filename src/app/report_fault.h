// report_fault.h - the one way a mode tells of a fault that ends it.
#pragma once

#include "platform/fault.h"

namespace vantrel {

// Prints "vantrel: " and the fault's message on standard error, with control
// characters escaped so that a file or target name cannot steer the
// terminal; returns the exit status the fault carries.
int reportFault(const Fault& fault);

}  // namespace vantrel
