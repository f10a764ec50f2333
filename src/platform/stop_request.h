// stop_request.h - a request from outside to end the night early.
//
// Closing the window, SIGINT, SIGTERM, SIGHUP and the status page's stop
// button raise it. The night driver
// looks at it at the head of every cycle and in every poll of a dwell, and
// every wait of the clock returns early when it is raised, so a request is
// acted on within one poll.
//
// A second request leaves the program at once, except while the park
// commands are on their way: the park takes 200 ms, and cutting it between
// the pre-park and the park command leaves the mount pointing at the sky.
// There the request is only counted. Once the night is over, a request only
// asks the program to end as it would anyway (e.g. a window kept open to show
// the summary). The state is lock-free so that a signal handler may read and
// change it.
#pragma once

#include <atomic>

namespace vantrel {

class StopRequest {
 public:
  // What the one who asks must do with a request it has just made.
  enum class Then {
    endTheNight,  // the first request: the night ends through the park
    carryOn,      // the park is under way and finishes first
    leaveNow,     // a later request: leave at once
    windUp,       // the night is over: end the program the normal way
  };

  // Records one request.
  Then request() {
    int earlier = count_.fetch_add(1, std::memory_order_relaxed);
    if (nightOver_.load(std::memory_order_relaxed)) return Then::windUp;
    if (earlier == 0) return Then::endTheNight;
    return parkUnderWay_.load(std::memory_order_relaxed) ? Then::carryOn : Then::leaveNow;
  }
  void raise() { request(); }
  // A request that can only begin the end of the night, never cut it short
  // (the status page's button): it counts only as the first request, and
  // otherwise changes nothing (carryOn: the night is already ending; windUp:
  // it is over).
  Then requestFirst() {
    if (nightOver_.load(std::memory_order_relaxed)) return Then::windUp;
    int none = 0;
    return count_.compare_exchange_strong(none, 1, std::memory_order_relaxed) ? Then::endTheNight : Then::carryOn;
  }
  bool raised() const { return count_.load(std::memory_order_relaxed) > 0; }
  int count() const { return count_.load(std::memory_order_relaxed); }

  // Marks the time from the first park command to the end of the park. Once
  // the park is sent, leaving early no longer leaves the mount unparked.
  void parkBegins() { parkUnderWay_.store(true, std::memory_order_relaxed); }
  void parkEnds(bool sent) {
    if (sent) parkSent_.store(true, std::memory_order_relaxed);
    parkUnderWay_.store(false, std::memory_order_relaxed);
  }
  bool parkSent() const { return parkSent_.load(std::memory_order_relaxed); }
  // The night goes on after a park (one for weather): leaving early would
  // leave the mount where the next goto sends it.
  void parkUndone() { parkSent_.store(false, std::memory_order_relaxed); }

  // From here on nothing is left to cut short.
  void nightIsOver() { nightOver_.store(true, std::memory_order_relaxed); }

  // The words for leaving at once, for the terminal and the window.
  const char* leavingNowText() const {
    return parkSent() ? "a second stop request: leaving at once; the mount was parked"
                      : "a second stop request: leaving at once; the mount was NOT parked and may still point "
                        "at the sky";
  }

 private:
  std::atomic<int> count_{0};
  std::atomic<bool> parkUnderWay_{false};
  std::atomic<bool> parkSent_{false};
  std::atomic<bool> nightOver_{false};
  static_assert(std::atomic<int>::is_always_lock_free);
  static_assert(std::atomic<bool>::is_always_lock_free);
};

}  // namespace vantrel
