// stop_request.h - a request from outside to end the night early.
//
// Closing the window, SIGINT and SIGTERM raise it. The night driver looks at
// it at the head of every cycle and in every poll of a dwell, and every wait
// of the clock returns early when it is raised, so a request is acted on
// within one poll. The count lets the program leave at once on a second
// request. The flag is lock-free so that a signal handler may raise it.
#pragma once

#include <atomic>

namespace vantrel {

class StopRequest {
 public:
  void raise() { count_.fetch_add(1, std::memory_order_relaxed); }
  bool raised() const { return count_.load(std::memory_order_relaxed) > 0; }
  int count() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<int> count_{0};
  static_assert(std::atomic<int>::is_always_lock_free);
};

}  // namespace vantrel
