// A real-clock night with the status server, for the tests that watch it:
// targets that stand in the choosing window now, vantrel-mountsim on COM1,
// and the program started with --web on a port the system chooses.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "e2e/process.h"
#include "platform/posix_clock.h"
#include "platform/simulated_clock.h"
#include "support/night_files.h"

namespace vantrel::e2e {

class WebNight : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::unique_ptr<Child> mountsim;
  std::unique_ptr<Child> vantrel;
  std::string today;
  int port = 0;

  // `count` targets of declination 20, at azimuths from 345 down in steps
  // of 12 degrees and above 10 degrees of altitude, so that they are
  // observed one after the other, nearest the meridian first.
  void prepareNight(int count, double dwellMinutes, std::vector<std::string> mountsimArgs = {}) {
    ClockReading now = civilReading(PosixClock::civilMs());
    today = now.dateText;
    ClockSample sample = sampleClock(now.dateText, now.timeText.substr(0, 5) + ":00");
    testing::IniValues ini;
    ini.longitude = testing::nightLongitude(now.dateText, now.timeText);
    std::string adf;
    for (int k = 0; k < count; ++k) {
      double want = 345 - 12 * k, best = 0, bestError = 1e9;
      for (int tenths = 0; tenths < 24 * 600; ++tenths) {
        HorizontalPosition p = koudo_keisan_1950(tenths / 40.0, 20.0, 35.0, ini.longitude, sample);
        double error = std::abs(p.outAz - want);
        if (p.outAlt > 10 && error < bestError) bestError = error, best = tenths / 600.0;
      }
      adf += testing::targetLine("W" + std::to_string(k) + "  ", best, 20.0) + "\r\n";
    }
    ini.nightEnd = std::vector<double>(12, 5.99);
    ini.minAltitude = 0;
    ini.dwellMinutes = dwellMinutes;
    ini.startDelaySeconds = 2;  // time to see the night before its first record
    writeFile(dir / "vantrel.ini", testing::iniText(ini));
    writeFile(dir / "vantrel.adf", adf);
    std::vector<std::string> argv = {MOUNTSIM_BINARY, "--dir", dir.path, "--transcript", dir / "transcript.bin",
                                     "--rate", "30"};
    argv.insert(argv.end(), mountsimArgs.begin(), mountsimArgs.end());
    mountsim = std::make_unique<Child>(argv, dir.path, "", dir / "mountsim.err");
    ASSERT_TRUE(mountsim->waitForLine("vantrel-mountsim: COM1 -> ", std::chrono::seconds(20)))
        << readFile(dir / "mountsim.err");
  }

  // Starts vantrel with --web and the extra arguments; finds the port.
  void startVantrel(std::vector<std::string> args) {
    args.insert(args.begin(), VANTREL_BINARY);
    vantrel = std::make_unique<Child>(args, dir.path, dir / "out", dir / "err");
    std::smatch m;
    std::string err;
    ASSERT_TRUE(waitUntil([&] {
      err = readFile(dir / "err");
      return std::regex_search(err, m, std::regex("status at http://[^ ]*:([0-9]+)/\n"));
    }, std::chrono::seconds(20))) << err;
    port = std::stoi(m[1]);
  }

  std::string logName() const { return "log" + today + ".txt"; }
  std::string log() { return readFile(dir / logName()); }
};

}  // namespace vantrel::e2e
