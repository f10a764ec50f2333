#include "web/page_cache.h"

#include "web/web_pages.h"

namespace vantrel {

std::string PageCache::page(WebPage which) {
  // Read before the snapshot: a snapshot newer than its version is only made
  // again once more, never served stale.
  std::uint64_t version = source_.version();
  std::lock_guard<std::mutex> lock(mutex_);
  Made& made = made_[static_cast<std::size_t>(which)];
  if (made.valid && made.version == version) return made.text;
  WebSnapshot snapshot = source_.snapshot();
  switch (which) {
    case WebPage::index: made.text = indexHtml(snapshot, stopKey_); break;
    case WebPage::statusJson: made.text = statusJson(snapshot); break;
    case WebPage::planJson: made.text = planJson(snapshot); break;
    case WebPage::logText:
    case WebPage::stop: made.text.clear(); break;
  }
  made.valid = true;
  made.version = version;
  return made.text;
}

}  // namespace vantrel
