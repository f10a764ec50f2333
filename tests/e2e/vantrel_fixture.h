// The fixtures of the end-to-end tests: a scratch directory with a night's
// files, vantrel-mountsim on COM1 with its transcript, and the real binary;
// for the status server, the same with --web on a port the system chooses.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <regex>
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

// The device claims of one test's nights, in a folder of its own: never the
// machine's /run/lock, where another suite's nights would meet ours.
struct ClaimFolder : ScratchDir {
  ClaimFolder() { setenv("VANTREL_LOCK_DIR", path.c_str(), 1); }
  ~ClaimFolder() { unsetenv("VANTREL_LOCK_DIR"); }
};

class Vantrel : public ::testing::Test {
 protected:
  ClaimFolder claims;
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
  std::string logPath() { return dir / ("log" + today + ".txt"); }
  std::string log() { return readFile(logPath()); }
  std::vector<std::string> records() { return testing::logRecords(log()); }

  void writeNight(const testing::IniValues& ini, const std::string& adf) {
    writeFile(dir / "vantrel.ini", testing::iniText(ini));
    writeFile(dir / "vantrel.adf", adf);
  }
#ifdef EXAMPLES_DIR
  void useExamples() {
    for (std::string name : {"vantrel.ini", "vantrel.adf"}) writeFile(dir / name, readFile(EXAMPLES_DIR "/" + name));
  }
#endif
  void startMountsim(std::vector<std::string> args) {
    args.insert(args.begin(), {MOUNTSIM_BINARY, "--dir", dir.path, "--transcript", dir / "transcript.bin"});
    mountsim = std::make_unique<Child>(args, dir.path, "", dir / "mountsim.err");
    ASSERT_TRUE(mountsim->waitForLine("vantrel-mountsim: COM1 -> ", 20s)) << readFile(dir / "mountsim.err");
  }

  // A target that stands at about azimuth 320 now, declination 20, on a
  // night that never ends by the clock; the mount simulator on COM1.
  void prepareNight(testing::IniValues ini, std::vector<std::string> mountsimArgs) {
    testing::NightNow night(PosixClock::civilMs());
    today = night.now.dateText;
    ini.longitude = night.ini.longitude;
    ini.nightEnd = night.ini.nightEnd;
    ini.minAltitude = 0;
    std::string line = night.line("E2E ", decDeg, 320.0);
    raDeg = (std::stod(line.substr(4, 2)) + std::stod(line.substr(6, 4)) / 60) / 24 * 360;
    writeNight(ini, line);
    startMountsim(std::move(mountsimArgs));
  }
  // The usual night for a stop request: a dwell of 5 minutes, 2 replies a second.
  void prepareDwell() {
    testing::IniValues ini;
    ini.dwellMinutes = 5;
    prepareNight(ini, {"--rate", "2"});
  }
  // Waits until the program is in its dwell: three position queries have come.
  bool inTheDwell() {
    return waitUntil([&] { return transcript().find("EEE") != std::string::npos; }, 30s);
  }

  std::string transcript() { return readFile(dir / "transcript.bin"); }
  // The transcript once the park has reached it: the simulator writes what
  // it reads a moment after the program has sent it and may have ended.
  std::string transcriptWithPark() {
    waitUntil([&] { return transcript().ends_with(parkBytes); }, 5s);
    return transcript();
  }

  // Checks that the mount got the line check's query, the goto and both
  // pass-throughs first and the park last, and returns what it got in between.
  std::string bytesBetweenGotoAndPark() {
    std::string bytes = transcriptWithPark();
    std::string head = "ER" + angleField(raDeg) + "," + angleField(decDeg) +
                       std::string("P\x02\x10\x24\0\0\0\0" "P\x02\x11\x24\0\0\0\0", 16);
    EXPECT_THAT(bytes, ::testing::StartsWith(head));
    EXPECT_THAT(bytes, ::testing::EndsWith(parkBytes));
    if (bytes.size() < head.size() + parkBytes.size()) return "(too short) " + bytes;
    return bytes.substr(head.size(), bytes.size() - head.size() - parkBytes.size());
  }
};

// A real-clock night watched through its status server.
class WebNight : public Vantrel {
 protected:
  std::unique_ptr<Child> vantrel;
  int port = 0;

  // `count` targets of declination 20, at azimuths from 345 down in steps
  // of 12 degrees and above 10 degrees of altitude, so that they are
  // observed one after the other, nearest the meridian first.
  void prepareNight(int count, double dwellMinutes, std::vector<std::string> mountsimArgs = {}) {
    testing::NightNow night(PosixClock::civilMs());
    today = night.now.dateText;
    std::string adf;
    for (int k = 0; k < count; ++k) adf += night.line("W" + std::to_string(k) + "  ", 20.0, 345 - 12 * k, 10);
    night.ini.dwellMinutes = dwellMinutes;
    night.ini.startDelaySeconds = 2;  // time to see the night before its first record
    writeNight(night.ini, adf);
    mountsimArgs.insert(mountsimArgs.begin(), {"--rate", "30"});
    startMountsim(std::move(mountsimArgs));
  }

  // Starts vantrel with the arguments given (--web among them); finds the port.
  void startVantrel(std::vector<std::string> args) {
    vantrel = start(std::move(args));
    std::smatch m;
    std::string text;
    ASSERT_TRUE(waitUntil([&] {
      text = err();
      return std::regex_search(text, m, std::regex("status at http://[^ ]*:([0-9]+)/\n"));
    }, 20s)) << text;
    port = std::stoi(m[1]);
  }
};

}  // namespace vantrel::e2e
