#include "web/web_feed.h"

namespace vantrel {

WebFeed::WebFeed(std::string logFileName) {
  state_.title = initialWindowTitle;
  state_.logFileName = std::move(logFileName);
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
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

}  // namespace vantrel
