// A night on the simulated clock and the in-process simulated mount, with
// its files in memory.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "night/form1.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/memory_file_store.h"
#include "support/night_files.h"
#include "support/recording_window.h"

namespace vantrel::testing {

class NightFixture : public ::testing::Test {
 protected:
  SimulatedClock clock;
  SimulatedMount mount;
  RecordingWindow window;
  MemoryFileStore files;
  StopRequest stop;
  // Stop requests raised by the clock when it reaches a time.
  std::vector<std::int64_t> stopAt;

  void startAt(const std::string& civil) {
    auto ms = SimulatedClock::parseCivilTime(civil);
    ASSERT_TRUE(ms) << civil;
    clock.setCivilMs(*ms);
  }
  void stopWhenClockReaches(const std::string& civil) {
    stopAt.push_back(*SimulatedClock::parseCivilTime(civil));
  }
  void writeInputs(const IniValues& ini, const std::vector<std::string>& targetLines) {
    files.files["vantrel.ini"] = iniText(ini);
    std::string adf;
    for (const auto& line : targetLines) adf += line + "\r\n";
    files.files["vantrel.adf"] = adf;
  }
  NightOutcome runNight() {
    clock.onAdvance = [this](std::int64_t ms) {
      for (std::int64_t at : stopAt) {
        if (ms >= at && !stop.raised()) stop.raise();
      }
    };
    Form1 night(NightSeams{clock, mount, window, files, stop});
    return night.Form_Load();
  }
  // The lines of a log file, without their CR LF.
  std::vector<std::string> logLines(const std::string& name) {
    std::vector<std::string> lines;
    const std::string& text = files.files[name];
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      EXPECT_NE(end, std::string::npos) << "a record without CR LF in " << name;
      if (end == std::string::npos) break;
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }
};

}  // namespace vantrel::testing
