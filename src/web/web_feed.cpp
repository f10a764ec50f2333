#include "web/web_feed.h"

namespace vantrel {

WebFeed::WebFeed(std::string logFileName, const StatusBoard* board, std::shared_ptr<const NightPlan> plan)
    : board_(board) {
  state_.title = initialWindowTitle;
  state_.logFileName = std::move(logFileName);
  state_.hasStatus = board != nullptr;
  state_.plan = std::move(plan);
}

void WebFeed::setTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.title = title;
  ++state_.version;
}

void WebFeed::showStatus(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.lines.push_back(line);
  ++state_.version;
}

void WebFeed::showSky(const SkyView& sky) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.sky = sky;
  state_.hasSky = true;
  ++state_.version;
}

WebSnapshot WebFeed::snapshot() const {
  WebSnapshot copy;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    copy = state_;
  }
  if (board_ != nullptr) {
    copy.status = board_->snapshot();
    copy.version += board_->version();
    copy.logFileName = copy.status.logFileName;
  }
  return copy;
}

}  // namespace vantrel

namespace vantrel {

std::uint64_t WebFeed::version() const {
  std::uint64_t own;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    own = state_.version;
  }
  return own + (board_ != nullptr ? board_->version() : 0);
}

}  // namespace vantrel
