// page_cache.h - each page made once per state of the night.
//
// Many clients polling the same state get the same text: the page is made
// from a snapshot when the board's version has moved on since it was last
// made, and copied out otherwise. One client makes a page at a time; the
// others wait for it rather than make it again.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "web/web_access.h"
#include "web/web_source.h"

namespace vantrel {

class PageCache {
 public:
  // `stopKey`: the key of the page's stop button (empty: no button).
  PageCache(const WebSource& source, std::string stopKey) : source_(source), stopKey_(std::move(stopKey)) {}
  // The page (not the log) for the night's state now.
  std::string page(WebPage which);

 private:
  struct Made {
    bool valid = false;
    std::uint64_t version = 0;
    std::string text;
  };
  const WebSource& source_;
  const std::string stopKey_;
  std::mutex mutex_;
  std::array<Made, 5> made_;  // one per WebPage
};

}  // namespace vantrel
