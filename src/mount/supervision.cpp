#include "mount/supervision.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "mount/dwell_jump.h"
#include "mount/mount_link.h"
#include "mount/serial_mount_link.h"
#include "platform/clock.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"

namespace vantrel {
namespace {

// One clock change of the time text stands for one second of dwellMinutes.
constexpr double clockChangesPerMinute = 60.0;

enum class Step { opening, commanding, arming, querying, checking, counting, limitReached, closing, ended };

// The supervision of one target. Each step does its work and names the next
// one; run() walks them from opening to ended.
class Supervisor {
 public:
  Supervisor(const SupervisionTarget& target, const SupervisionSettings& settings, LinkSeams seams,
             const std::function<void(double)>& appendDecLimitRecord)
      : target_(target), settings_(settings), seams_(seams), appendDecLimitRecord_(appendDecLimitRecord) {}

  SupervisionResult run() {
    result_.limitArmed = settings_.limitArmed;
    Step step = Step::opening;
    while (step != Step::ended) step = next(step);
    return result_;
  }

 private:
  Step next(Step step) {
    switch (step) {
      case Step::opening:
        seams_.link.open();
        return Step::commanding;
      case Step::commanding:
        return command();
      case Step::arming:
        return arm();
      case Step::querying:
        return query();
      case Step::checking:
        return check();
      case Step::counting:
        return count();
      case Step::limitReached:
        appendDecLimitRecord_(result_.reportedDec);
        return Step::closing;
      case Step::closing:
        seams_.link.close();
        return Step::ended;
      case Step::ended:
        break;
    }
    return Step::ended;
  }

  // No yield between opening and the goto.
  Step command() {
    seams_.link.gotoTarget(target_.raDeg, target_.decDeg);
    return Step::arming;
  }

  Step arm() {
    clockTicks_ = 0;
    lastClockText_ = seams_.clock.now().timeText;
    silentChanges_ = 0;
    silentClockText_ = lastClockText_;
    return Step::querying;
  }

  Step query() {
    seams_.pump.processEvents();
    seams_.link.requestPosition();
    seams_.clock.pause(settings_.queryPause);
    if (seams_.stop.raised()) {
      result_.end = SupervisionEnd::stopRequested;
      return Step::closing;
    }
    if (settings_.unsafe && settings_.unsafe()) {
      result_.end = SupervisionEnd::unsafe;
      return Step::closing;
    }
    reply_ = seams_.link.readDeclination();
    return reply_ ? Step::checking : rejected();
  }

  // A rejected read only sends the query again, unless the mount has given
  // nothing acceptable for too long.
  Step rejected() {
    std::string unread = seams_.link.unreadReply();
    if (!unread.empty() && result_.unreadReplies++ == 0) result_.unreadExample = unread;
    std::string timeText = seams_.clock.now().timeText;
    if (timeText != silentClockText_) {
      silentClockText_ = timeText;
      if (++silentChanges_ >= mountSilentClockChanges) {
        result_.end = SupervisionEnd::mountSilent;
        return Step::closing;
      }
      reportProgress();
    }
    return Step::querying;
  }

  Step check() {
    result_.reportedDec = *reply_;
    seams_.pump.processEvents();
    // Equal to the limit is not over it, and arms it.
    if (result_.limitArmed && result_.reportedDec > settings_.decLimit) {
      result_.end = SupervisionEnd::limitReached;
      return Step::limitReached;
    }
    if (result_.reportedDec <= settings_.decLimit) result_.limitArmed = true;
    return Step::counting;
  }

  // At most one change is counted per accepted reply, however long the poll.
  Step count() {
    std::string timeText = seams_.clock.now().timeText;
    replied_ = true;
    if (timeText != lastClockText_) {
      lastClockText_ = timeText;
      ++clockTicks_;
      reportProgress();
    }
    silentChanges_ = 0;
    silentClockText_ = timeText;
    result_.unreadReplies = 0;
    result_.unreadExample.clear();
    if (static_cast<double>(clockTicks_) < clockChangesPerMinute * settings_.dwellMinutes) {
      skipSteadyPolls();
      return Step::querying;
    }
    result_.end = result_.limitArmed ? SupervisionEnd::dwellOver : SupervisionEnd::stayedAboveLimit;
    return Step::closing;
  }

  // Every poll until the one that may end the dwell would answer alike and
  // go on: cross them in one jump of the clock (note 6). The same answer
  // leaves the limit as it stands: armed, it is not over it; not armed, it
  // is above it.
  void skipSteadyPolls() {
    ClockJumps* jumps = seams_.clock.jumps();
    if (jumps == nullptr || seams_.stop.raised() || settings_.unsafe) return;
    std::optional<double> dec = seams_.link.steadyDeclination();
    if (!dec || *dec != result_.reportedDec) return;
    const std::int64_t nowMs = jumps->utcMs();
    const std::int64_t pauseMs = settings_.queryPause.count();
    // Whoever watches the progress is told of every change: the jump then
    // ends before the poll that counts the next one.
    double endingChanges = clockChangesPerMinute * settings_.dwellMinutes;
    if (settings_.onProgress) endingChanges = std::min(endingChanges, static_cast<double>(clockTicks_ + 1));
    const std::int64_t polls = steadyPollsToSkip(nowMs, pauseMs, clockTicks_, endingChanges, jumps->stepUntilMs());
    if (polls == 0) return;
    seams_.link.takeSteadyRequests(polls);
    jumps->jumpTo(nowMs + polls * pauseMs);
    clockTicks_ = clockTicksAfter(nowMs, pauseMs, clockTicks_, polls);
    lastClockText_ = seams_.clock.now().timeText;
    silentClockText_ = lastClockText_;
  }

  void reportProgress() {
    if (settings_.onProgress) settings_.onProgress(DwellProgress{clockTicks_, replied_, result_.reportedDec});
  }

  const SupervisionTarget& target_;
  const SupervisionSettings& settings_;
  LinkSeams seams_;
  const std::function<void(double)>& appendDecLimitRecord_;

  SupervisionResult result_;
  std::optional<double> reply_;
  std::int64_t clockTicks_ = 0;
  bool replied_ = false;
  std::string lastClockText_;
  int silentChanges_ = 0;
  std::string silentClockText_;
};

}  // namespace

SupervisionResult superviseTarget(const SupervisionTarget& target, const SupervisionSettings& settings,
                                  LinkSeams seams, const std::function<void(double)>& appendDecLimitRecord) {
  try {
    return Supervisor(target, settings, seams, appendDecLimitRecord).run();
  } catch (...) {
    seams.link.closeQuietly();
    throw;
  }
}

SupervisionResult superviseTarget(const SupervisionTarget& target, const SupervisionSettings& settings,
                                  MountSeams seams, const std::function<void(double)>& appendDecLimitRecord) {
  SerialMountLink link(seams.port, settings.portNumber, settings.passThroughValue);
  return superviseTarget(target, settings, LinkSeams{link, seams.clock, seams.pump, seams.stop},
                         appendDecLimitRecord);
}

}  // namespace vantrel
