#include "mount/line_check.h"

#include "inputs/text_lines.h"
#include "mount/mount_link.h"
#include "mount/protocol.h"
#include "mount/supervision.h"
#include "platform/clock.h"

namespace vantrel {

LineCheck checkMountAnswers(MountLink& link, Clock& clock) {
  LineCheck check;
  link.open();
  try {
    link.requestPosition();
    for (auto waited = std::chrono::milliseconds(0); waited < answerLimitMs; waited += queryPauseMs) {
      clock.pause(queryPauseMs);
      check.decDeg = link.readDeclination();
      if (check.decDeg) break;
      check.heard += link.unreadReply();
      check.decDeg = checkPositionReply(check.heard);
      if (check.decDeg) break;
    }
  } catch (...) {
    link.closeQuietly();
    throw;
  }
  link.close();
  if (check.decDeg) check.heard.clear();
  return check;
}

std::string describeSilence(const LineCheck& check, const MountLink& link) {
  if (!check.heard.empty()) {
    return link.mountName() + " answers a position query with bytes that cannot be read: " +
           quotedForMessage(check.heard) +
           " (no position reply came within " + std::to_string(answerLimitMs.count() / 1000) +
           " s; is the other end a mount of this kind, at 9600 baud?)";
  }
  return link.mountName() + " does not answer a position query within " +
         std::to_string(answerLimitMs.count() / 1000) + " s: " + link.whatToCheckWhenSilent();
}

std::string describeAboveLimit(double decDeg, double decLimit, const MountLink& link) {
  return link.mountName() + " reports declination " + shortNumber(decDeg) + " degrees, above decLimit " +
         shortNumber(decLimit) + " (vantrel.ini): the limit is armed once the mount has come down to it, and a "
         "target whose dwell ends with the mount still above it ends the night through the park";
}

}  // namespace vantrel
