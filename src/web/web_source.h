// web_source.h - what the web threads read: the night's status board and
// tonight's plan.
//
// The pages are made from one snapshot of the board (status/night_status.h),
// which a server thread copies while the night goes on: the night never
// waits for a client, not even for a client's copy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "night/night_plan.h"
#include "status/night_status.h"

namespace vantrel {

struct WebSnapshot {
  std::uint64_t version = 0;       // counts the changes, so a page can tell a new state
  std::string title;
  std::vector<std::string> lines;  // every line of the night as a list shows it ("Warning: ...")
  std::uint64_t droppedLines = 0;  // lines the board let go before the first of `lines`
  SkyView sky;
  bool hasSky = false;
  std::string logFileName;         // tonight's log, named by the night only; empty before it exists
  NightStatus status;
  std::shared_ptr<const NightPlan> plan;  // tonight's plan, when it could be made
};

class WebSource {
 public:
  // `board` must outlive the source. The plan is made before the night and
  // never changes.
  WebSource(const StatusBoard& board, std::shared_ptr<const NightPlan> plan) : board_(board), plan_(std::move(plan)) {}

  WebSnapshot snapshot() const;
  std::uint64_t version() const { return board_.version(); }

 private:
  const StatusBoard& board_;
  const std::shared_ptr<const NightPlan> plan_;
};

}  // namespace vantrel
