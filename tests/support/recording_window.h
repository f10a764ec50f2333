// A Window that records what the night showed, for tests.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

namespace vantrel::testing {

class RecordingWindow : public Window {
 public:
  std::vector<std::string> titles;
  std::vector<std::string> statusLines;
  int eventPasses = 0;

  void setTitle(const std::string& title) override { titles.push_back(title); }
  void processEvents() override { ++eventPasses; }
  void showStatus(const std::string& line) override { statusLines.push_back(line); }
};

}  // namespace vantrel::testing
