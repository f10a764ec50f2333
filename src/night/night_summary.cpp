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

std::string describePark(ParkReply reply, Tense tense) {
  const bool future = tense == Tense::future;
  switch (reply) {
    case ParkReply::notRead:
      break;
    case ParkReply::confirmed:
      return future ? "; the mount will be parked, as the mount confirms" : "; mount parked, as the mount confirmed";
    case ParkReply::notConfirmed:
      return future ? "; the park will be sent, but the mount will not confirm it: it may not be parked"
                    : "; park sent, but the mount did not confirm it: it may not be parked";
    case ParkReply::acknowledged:
      return future ? "; the park command will be sent and acknowledged" : "; park command sent, acknowledged";
    case ParkReply::unanswered:
      return future ? "; the park command will be sent blind, unconfirmed (the mount will not answer)"
                    : "; park command sent blind, unconfirmed (the mount did not answer)";
  }
  return future ? "; the mount will be parked" : "; mount parked";
}

std::string describeSilentMount(const NightOutcome& outcome, const std::string& mountName) {
  if (outcome.unreadReplies == 0) return mountName + " does not answer position queries";
  return "the replies of " + mountName + " could not be read: " + std::to_string(outcome.unreadReplies) +
         (outcome.unreadReplies == 1 ? " reply" : " replies") + " with unexpected bytes, e.g. " +
         quotedForMessage(outcome.unreadExample);
}

std::string describeNight(const NightOutcome& outcome, const std::string& stopReason, Tense tense) {
  const bool future = tense == Tense::future;
  std::string text = std::to_string(outcome.observedCount) + " of " + std::to_string(outcome.targetCount) +
                     (future ? " pointings will be observed" : " targets observed") +
                     (outcome.resumedCount > 0
                          ? " (and " + std::to_string(outcome.resumedCount) + " before the restart)"
                          : std::string()) +
                     (future ? "; the night will end " : "; night ended ") + outcome.endedAt.dateText + " " +
                     outcome.endedAt.timeText;
  switch (outcome.end) {
    case NightEnd::clock:
      text += " by the clock";
      break;
    case NightEnd::decLimit:
      text += std::string(" by the declination limit (the mount ") + (future ? "will report " : "reported ") +
              trimmed(formatNumberItem(outcome.reportedDec)) + " degrees)";
      break;
    case NightEnd::stopRequest:
      text += " " + stopReason;
      break;
    case NightEnd::dawn:
      text += std::string(" by dawn (the Sun ") + (future ? "will rise" : "rose") + " above " +
              trimmed(formatNumberItem(outcome.dawnDeg)) + " degrees)";
      break;
    case NightEnd::mountSilent:
      text += outcome.unreadReplies > 0 ? (future ? " because the mount's replies will not be readable"
                                                  : " because the mount's replies could not be read")
                                        : (future ? " because the mount will stop answering"
                                                  : " because the mount stopped answering");
      break;
  }
  if (!outcome.parked) {
    text += std::string(future ? "; the mount will not be parked" : "; mount not parked") + " (parkEnabled is not 1)";
  } else {
    text += describePark(outcome.parkReply, tense);
  }
  return text + describeWeatherWaits(outcome);
}

std::string describeWeatherWaits(const NightOutcome& outcome) {
  if (outcome.weatherWaits == 0) return "";
  const std::int64_t minutes = (outcome.weatherWaitSeconds + 30) / 60;
  std::string length = minutes >= 60 ? std::to_string(minutes / 60) + " h" : "";
  if (minutes % 60 != 0 || minutes == 0) length += (length.empty() ? "" : " ") + std::to_string(minutes % 60) + " min";
  return std::string(outcome.parked ? "; parked for weather " : "; waited for weather ") +
         (outcome.weatherWaits == 1 ? "once" : std::to_string(outcome.weatherWaits) + " times") + ", " + length +
         " in all";
}

}  // namespace vantrel
