#include "platform/stop_signals.h"

#include <signal.h>

#include <atomic>
#include <string.h>
#include <unistd.h>

#include "platform/stop_request.h"

namespace vantrel {
namespace {

StopRequest* requestToRaise = nullptr;
std::atomic<bool> openTerminalLine{false};
bool errorsOnATerminal = false;  // known before any handler runs
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int signalNumber) {
  if (requestToRaise == nullptr) _exit(128 + signalNumber);
  requestStop(*requestToRaise, 128 + signalNumber);
}

}  // namespace

StopRequest::Then requestStop(StopRequest& stop, int exitStatus) {
  const StopRequest::Then then = stop.request();
  if (then != StopRequest::Then::leaveNow) return then;
  // Only async-signal-safe calls from here on: write and _exit.
  const char* text = stop.leavingNowText();
  if (errorsOnATerminal && openTerminalLine.load()) (void)!::write(STDERR_FILENO, "\n", 1);
  (void)!::write(STDERR_FILENO, "vantrel: ", 9);
  (void)!::write(STDERR_FILENO, text, strlen(text));
  (void)!::write(STDERR_FILENO, "\n", 1);
  _exit(exitStatus);
}

void setOpenTerminalLine(bool open) { openTerminalLine.store(open); }

void installStopSignals(StopRequest& stop) {
  requestToRaise = &stop;
  errorsOnATerminal = isatty(STDERR_FILENO) == 1;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a sleep returns early and the caller looks again
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  // A write to a line that vanished must come back as an error, not kill us.
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace vantrel
