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
  std::string text = link.mountName() + " does not answer a position query within " +
                     std::to_string(answerLimitMs.count() / 1000) + " s";
  if (!check.heard.empty()) return text + " (it sent " + quotedForMessage(check.heard) + ", which is no position reply)";
  return text + ": " + link.whatToCheckWhenSilent();
}

}  // namespace vantrel
