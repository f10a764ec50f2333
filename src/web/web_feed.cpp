#include "web/web_feed.h"

namespace vantrel {

WebFeed::WebFeed(std::string logFileName, const StatusBoard* board, std::shared_ptr<const NightPlan> plan)
    : board_(board), logFileName_(std::move(logFileName)), plan_(std::move(plan)) {
  shown_.title = initialWindowTitle;
  published_.publish(shown_);
}

void WebFeed::setTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(showing_);
  shown_.title = title;
  publish();
}

void WebFeed::showStatus(const std::string& line) {
  std::lock_guard<std::mutex> lock(showing_);
  shown_.lines.push_back(line);
  publish();
}

void WebFeed::showSky(const SkyView& sky) {
  std::lock_guard<std::mutex> lock(showing_);
  shown_.sky = sky;
  shown_.hasSky = true;
  publish();
}

void WebFeed::publish() {
  ++shown_.version;
  published_.publish(shown_);
  version_.store(shown_.version, std::memory_order_release);
}

WebSnapshot WebFeed::snapshot() const {
  Shown shown = published_.read();
  WebSnapshot copy;
  copy.version = shown.version;
  copy.title = std::move(shown.title);
  copy.lines = std::move(shown.lines);
  copy.sky = std::move(shown.sky);
  copy.hasSky = shown.hasSky;
  copy.logFileName = logFileName_;
  copy.hasStatus = board_ != nullptr;
  copy.plan = plan_;
  if (board_ != nullptr) {
    copy.status = board_->snapshot();
    copy.version += board_->version();
    copy.logFileName = copy.status.logFileName;
  }
  return copy;
}

std::uint64_t WebFeed::version() const {
  return version_.load(std::memory_order_acquire) + (board_ != nullptr ? board_->version() : 0);
}

}  // namespace vantrel
