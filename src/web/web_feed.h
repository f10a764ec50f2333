// web_feed.h - what the night has shown, kept for the web thread.
//
// The feed is one more window of the night: the driver shows it the title,
// the status lines and the sky at its yields, exactly as it shows the other
// windows. Each of those calls publishes the new state into a snapshot cell
// (status/snapshot_cell.h) and returns; the web threads copy the latest
// state out of the cell and make their pages from the copy. The status of
// the night comes from the night's status board, published the same way.
// So the night never waits for a client, not even for a client's copy: no
// lock that a server thread can hold is ever taken by the night.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "night/night_plan.h"
#include "platform/window.h"
#include "status/night_status.h"
#include "status/snapshot_cell.h"

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
  // What the night shows. Each state is copied whole into the cell, into
  // the room of an earlier one: the night never frees what a reader made,
  // nor a reader what the night made (freeing can wait for the allocator's
  // lock, which a preempted reader may hold).
  struct Shown {
    std::uint64_t version = 0;
    std::string title;
    std::vector<std::string> lines;
    SkyView sky;
    bool hasSky = false;
  };
  void publish();

  const StatusBoard* board_;
  const std::string logFileName_;
  const std::shared_ptr<const NightPlan> plan_;
  std::mutex showing_;  // between showing threads only: no reader takes it
  Shown shown_;         // the showing threads' own copy
  SnapshotCell<Shown> published_;
  std::atomic<std::uint64_t> version_{0};
};

}  // namespace vantrel
