// The fixture of the end-to-end tests: a scratch directory with a night's
// files, vantrel-mountsim on COM1 with its transcript, and the real binary.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e/process.h"
#include "platform/posix_clock.h"
#include "platform/simulated_clock.h"
#include "support/night_files.h"

namespace vantrel::e2e {

using namespace std::chrono_literals;

// The angle field as the hand controller expects it, worked out here from
// the protocol and not with the program's own encoder.
inline std::string angleField(double degrees) {
  char text[8];
  std::snprintf(text, sizeof text, "%04lX", static_cast<long>(std::nearbyint(degrees * 65536 / 360)) & 0xFFFF);
  return text;
}

inline const std::string parkBytes = std::string("T\0", 2) + "B4000,0000";

class Vantrel : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::unique_ptr<Child> mountsim;
  std::string today = civilReading(PosixClock::civilMs()).dateText;
  double raDeg = 0, decDeg = 20;

  std::unique_ptr<Child> start(std::vector<std::string> args, std::function<void()> inChild = {}) {
    args.insert(args.begin(), VANTREL_BINARY);
    return std::make_unique<Child>(args, dir.path, dir / "out", dir / "err", std::move(inChild));
  }
  int exitStatus(Child& child, std::chrono::seconds timeout) {
    auto status = child.waitForExit(timeout);
    EXPECT_TRUE(status) << "still running";
    return status.value_or(-1);
  }
  int run(std::vector<std::string> args, std::chrono::seconds timeout = 60s) {
    return exitStatus(*start(std::move(args)), timeout);
  }
  std::string out() { return readFile(dir / "out"); }
  std::string err() { return readFile(dir / "err"); }

  // A target that stands at about azimuth 320 now, declination 20, on a
  // night that never ends by the clock; the mount simulator on COM1.
  void prepareNight(testing::IniValues ini, std::vector<std::string> mountsimArgs) {
    ClockReading now = civilReading(PosixClock::civilMs());
    today = now.dateText;
    ini.longitude = testing::nightLongitude(now.dateText, now.timeText);
    double raHours = testing::raHoursAtAzimuth(now.dateText, now.timeText.substr(0, 5), decDeg, 320.0, ini.longitude);
    std::string line = testing::targetLine("E2E ", raHours, decDeg);
    raDeg = (std::stod(line.substr(4, 2)) + std::stod(line.substr(6, 4)) / 60) / 24 * 360;
    ini.nightEnd = std::vector<double>(12, 5.99);
    ini.minAltitude = 0;
    writeFile(dir / "vantrel.ini", testing::iniText(ini));
    writeFile(dir / "vantrel.adf", line + "\r\n");
    std::vector<std::string> argv = {MOUNTSIM_BINARY, "--dir", dir.path, "--transcript", dir / "transcript.bin"};
    argv.insert(argv.end(), mountsimArgs.begin(), mountsimArgs.end());
    mountsim = std::make_unique<Child>(argv, dir.path, "", dir / "mountsim.err");
    ASSERT_TRUE(mountsim->waitForLine("vantrel-mountsim: COM1 -> ", 20s)) << readFile(dir / "mountsim.err");
  }

  std::string transcript() { return readFile(dir / "transcript.bin"); }
  // The transcript once the park has reached it: the simulator writes what
  // it reads a moment after the program has sent it and may have ended.
  std::string transcriptWithPark() {
    waitUntil([&] { return transcript().ends_with(parkBytes); }, 5s);
    return transcript();
  }
  std::vector<std::string> records() { return testing::logRecords(readFile(dir / ("log" + today + ".txt"))); }

  // Checks that the mount got the line check's query, the goto and both
  // pass-throughs first and the park last, and returns what it got in between.
  std::string bytesBetweenGotoAndPark() {
    // vantrel may have left before the simulator read the last bytes off
    // the pseudo-terminal and wrote them down.
    waitUntil([&] { return transcript().ends_with(parkBytes); }, 5s);
    std::string bytes = transcript();
    std::string head = "ER" + angleField(raDeg) + "," + angleField(decDeg) +
                       std::string("P\x02\x10\x24\0\0\0\0" "P\x02\x11\x24\0\0\0\0", 16);
    EXPECT_THAT(bytes, ::testing::StartsWith(head));
    EXPECT_THAT(bytes, ::testing::EndsWith(parkBytes));
    if (bytes.size() < head.size() + parkBytes.size()) return "(too short) " + bytes;
    return bytes.substr(head.size(), bytes.size() - head.size() - parkBytes.size());
  }
};

}  // namespace vantrel::e2e
