// night_summary.cpp - the one line that tells how a night went.
#include <string>

#include "night/form1.h"
#include "inputs/text_lines.h"
#include "obslog/log_format.h"

namespace vantrel {
namespace {

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  return text;
}

}  // namespace

std::string describePark(ParkReply reply) {
  switch (reply) {
    case ParkReply::notRead:
      break;
    case ParkReply::confirmed:
      return "; mount parked, as the mount confirmed";
    case ParkReply::notConfirmed:
      return "; park sent, but the mount did not confirm it: it may not be parked";
    case ParkReply::acknowledged:
      return "; park command sent, acknowledged";
    case ParkReply::unanswered:
      return "; park command sent blind, unconfirmed (the mount did not answer)";
  }
  return "; mount parked";
}

std::string describeSilentMount(const NightOutcome& outcome, const std::string& mountName) {
  if (outcome.unreadReplies == 0) return mountName + " does not answer position queries";
  return "the replies of " + mountName + " could not be read: " + std::to_string(outcome.unreadReplies) +
         (outcome.unreadReplies == 1 ? " reply" : " replies") + " with unexpected bytes, e.g. " +
         quotedForMessage(outcome.unreadExample);
}

std::string describeNight(const NightOutcome& outcome, const std::string& stopReason) {
  std::string text = std::to_string(outcome.observedCount) + " of " + std::to_string(outcome.targetCount) +
                     " targets observed" +
                     (outcome.resumedCount > 0
                          ? " (and " + std::to_string(outcome.resumedCount) + " before the restart)"
                          : std::string()) +
                     "; night ended " + outcome.endedAt.dateText + " " +
                     outcome.endedAt.timeText;
  switch (outcome.end) {
    case NightEnd::clock:
      text += " by the clock";
      break;
    case NightEnd::decLimit:
      text += " by the declination limit (the mount reported " + trimmed(formatNumberItem(outcome.reportedDec)) +
              " degrees)";
      break;
    case NightEnd::stopRequest:
      text += " " + stopReason;
      break;
    case NightEnd::dawn:
      text += " by dawn (the Sun rose above " + trimmed(formatNumberItem(outcome.dawnDeg)) + " degrees)";
      break;
    case NightEnd::mountSilent:
      text += outcome.unreadReplies > 0 ? " because the mount's replies could not be read"
                                        : " because the mount stopped answering";
      break;
  }
  if (!outcome.parked) return text + "; mount not parked (parkEnabled is not 1)";
  return text + describePark(outcome.parkReply);
}

}  // namespace vantrel
