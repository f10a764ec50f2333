// vantrel - an unattended observing-night controller for a small telescope.
//
// Reads "vantrel.ini" and "vantrel.adf" from the working directory and runs
// the night against the mount on the serial line, or rehearses it on a
// simulated clock. See --help.
//
// This file only reads the command line and hands over to the mode it asks
// for: app/ composes each mode (night_mode, check_mode, plan_mode, park_now).
#include "app/check_mode.h"
#include "app/command_line.h"
#include "app/night_mode.h"
#include "app/park_now.h"
#include "app/plan_mode.h"
#include "platform/posix_clock.h"

int main(int argc, char** argv) {
  using namespace vantrel;
  const Arguments args = parseArguments(argc, argv);
  if (args.plan) return printPlan(rehearsalStart(args), args);
  if (args.park) return parkNow(args.indi);
  if (args.check) {
    return printCheck(args.start ? rehearsalStart(args) : PosixClock::civilMs(), args.askMount, args.noDeviceClaim,
                      args.indi, args.sun, args.weather);
  }
  return runNight(args, argc, argv);
}
