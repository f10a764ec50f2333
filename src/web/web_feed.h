// web_feed.h - what the night has shown, kept for the web thread.
//
// The feed is one more window of the night: the driver shows it the title,
// the status lines and the sky at its yields, exactly as it shows the other
// windows. Each of those calls copies the new state under a mutex and
// returns; the web thread takes a copy of the whole under the same mutex and
// makes its pages from the copy, outside the lock. The status of the night
// comes from the night's status board, copied under the board's own lock. So the night never waits
// for a client: at most for the copy of one snapshot.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "night/night_plan.h"
#include "platform/window.h"
#include "status/night_status.h"

namespace vantrel {

struct WebSnapshot {
  std::uint64_t version = 0;       // counts the changes, so a page can tell a new state
  std::string title;
  std::vector<std::string> lines;  // every status line: records, faults, the end of the night
  SkyView sky;
  bool hasSky = false;
  std::string logFileName;         // tonight's log, named by the night only; empty before it exists
  bool hasStatus = false;          // the night publishes its status on a board
  NightStatus status;
  std::shared_ptr<const NightPlan> plan;  // tonight's plan, when it could be made
};

class WebFeed : public Window {
 public:
  // `board` (may be null) must outlive the feed; with a board, the log's name
  // comes from the night's status. The plan is made before the night and
  // never changes.
  WebFeed(std::string logFileName, const StatusBoard* board, std::shared_ptr<const NightPlan> plan);

  void setTitle(const std::string& title) override;
  void processEvents() override {}
  void showStatus(const std::string& line) override;
  bool wantsSky() const override { return true; }
  void showSky(const SkyView& sky) override;

  WebSnapshot snapshot() const;
  // Grows with every change of what a snapshot would hold.
  std::uint64_t version() const;

 private:
  const StatusBoard* board_;
  mutable std::mutex mutex_;
  WebSnapshot state_;
};

}  // namespace vantrel
