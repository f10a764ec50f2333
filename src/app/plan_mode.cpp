#include "app/plan_mode.h"

#include "app/check_mode.h"
#include "app/report_fault.h"
#include "night/night_plan.h"
#include "night/nights_plan.h"
#include "platform/posix_file_store.h"

namespace vantrel {

int printPlan(std::int64_t startCivilMs, const Arguments& args) {
  PosixFileStore files(".");
  try {
    NightsPlan plan = planNights(startCivilMs, args.nights, files, 0, args.sun);
    if (args.svg) {
      files.createEmpty(*args.svg);
      files.appendDurably(*args.svg, planSvg(plan.nights.front()));
    }
    printLines(args.nights == 1 ? planTable(plan.nights.front()) : nightsTable(plan));
    if (args.csvFile) {
      files.createEmpty(*args.csvFile);
      files.appendDurably(*args.csvFile, nightsCsv(plan));
    }
  } catch (const Fault& fault) {
    return reportFault(fault);
  }
  return 0;
}

}  // namespace vantrel
