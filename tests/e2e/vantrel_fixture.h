// The fixture of the end-to-end tests that need more than a scenario: a
// scratch folder with a night at a site where it is night now, the mount
// simulator on COM1, and the real binary with its output in files.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>
#include <regex>

#include "e2e/process.h"
#include "platform/posix_clock.h"
#include "support/night_files.h"

namespace vantrel::e2e {

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// A socket listening on a loopback port the system chose, which goes to `port`.
inline int listenOnLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(fd, 1);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  return fd;
}

// A scratch folder whose nights claim their devices in a folder of its own, never the machine's; the mount
// simulator, once started, answers on its COM1 and writes what it read to transcript.bin.
struct NightFolder {
  ScratchDir dir;
  std::unique_ptr<Child> mountsim;
  NightFolder() {
    std::filesystem::create_directory(dir / "claims");
    setenv("VANTREL_LOCK_DIR", (dir / "claims").c_str(), 1);
  }
  void startMountsim(std::vector<std::string> args) {
    args.insert(args.begin(), {MOUNTSIM_BINARY, "--dir", dir.path, "--transcript", dir / "transcript.bin"});
    mountsim = std::make_unique<Child>(args, dir.path, dir / "mountsim.err", dir / "mountsim.err");
    ASSERT_TRUE(waitForText(dir / "mountsim.err", "vantrel-mountsim: COM1 -> ", 20s)) << readFile(dir / "mountsim.err");
  }
};

class Vantrel : public ::testing::Test, protected NightFolder {
 protected:
  testing::NightNow night{PosixClock::civilMs()};
  std::unique_ptr<Child> vantrel;
  int port = 0;  // where the status server listens

  std::unique_ptr<Child> start(std::vector<std::string> args, const std::function<void()>& inChild = {}) {
    args.insert(args.begin(), VANTREL_BINARY);
    return std::make_unique<Child>(args, dir.path, dir / "out", dir / "err", inChild);
  }
  int run(std::vector<std::string> args) { return start(std::move(args))->waitForExit(120s).value_or(-1); }
  std::string out() { return readFile(dir / "out"); }
  std::string err() { return readFile(dir / "err"); }
  std::string log() { return readFile(dir / ("log" + night.now.dateText + ".txt")); }
  std::vector<std::string> records() { return testing::logRecords(log()); }

  void writeNight(const std::string& adf) {
    writeFile(dir / "vantrel.ini", testing::iniText(night.ini));
    writeFile(dir / "vantrel.adf", adf);
  }
  // Starts the program with a status server (--web among `args`) and reads its port.
  void startWeb(std::vector<std::string> args) {
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
