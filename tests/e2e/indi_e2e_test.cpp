// End to end through INDI: the real vantrel binary on the real clock against
// indiserver and INDI's own telescope simulator, started here on a private
// port, a private socket path and a private HOME (where the simulator keeps
// its park position), and stopped by its process group: the server and its
// driver, which outlives the server by about two seconds.
#include <netinet/in.h>
#include <sys/socket.h>

#include "e2e/vantrel_fixture.h"

#if !defined(INDISERVER_PROGRAM) || !defined(INDI_SIMULATOR_PROGRAM) || !defined(INDI_GETPROP)
#define VANTREL_INDI_E2E 0
#define INDISERVER_PROGRAM ""
#define INDI_SIMULATOR_PROGRAM ""
#define INDI_GETPROP ""
#define INDI_SETPROP ""
#else
#define VANTREL_INDI_E2E 1
#endif

namespace vantrel::e2e {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;

const std::string device = "Telescope Simulator";

// A TCP port nobody listens on now.
int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class IndiNight : public Vantrel {
 protected:
  void SetUp() override {
    if (!VANTREL_INDI_E2E) GTEST_SKIP() << "built without INDI, or indi-bin is not installed";
    port = freePort();
    std::filesystem::create_directories(dir / "home");
    server = std::make_unique<Child>(
        std::vector<std::string>{"/usr/bin/env", "HOME=" + (dir / "home"), INDISERVER_PROGRAM, "-p",
                                 std::to_string(port), "-u", dir / "indi.socket", INDI_SIMULATOR_PROGRAM},
        dir.path, dir / "server.out", dir / "server.err", [] { setpgid(0, 0); });
    ASSERT_TRUE(waitUntil([&] { return property("CONNECTION.CONNECT").size() > 0; }, 20s))
        << readFile(dir / "server.err");
  }

  // The server first, then its driver in the server's process group.
  void TearDown() override {
    if (!server) return;
    server->signal(SIGTERM);
    server->waitForExit(5s);
    kill(-server->pid(), SIGKILL);
    waitUntil([&] { return kill(-server->pid(), 0) != 0; }, 5s);
  }

  // "On", "12.5", ... of device.NAME as the server has it; empty when it does not answer.
  std::string property(const std::string& name) {
    Child get({INDI_GETPROP, "-p", std::to_string(port), "-t", "2", device + "." + name}, dir.path, dir / "get.out",
              dir / "get.err");
    if (get.waitForExit(10s) != 0) return "";
    std::string text = readFile(dir / "get.out");
    std::size_t equals = text.find('=');
    if (equals == std::string::npos) return "";
    return text.substr(equals + 1, text.find('\n') - equals - 1);
  }
  bool setProperty(const std::string& spec) {
    Child set({INDI_SETPROP, "-p", std::to_string(port), device + "." + spec}, dir.path, dir / "set.out",
              dir / "set.err");
    return set.waitForExit(10s) == 0;
  }

  int port = 0;
  std::unique_ptr<Child> server;
};

TEST_F(IndiNight, TwoTargetsThenTheDeclinationLimitAndTheConfirmedPark) {
  // Chosen nearest the meridian first: A, then B, then C, whose declination
  // lies above the limit.
  testing::NightNow night(PosixClock::civilMs());
  today = night.now.dateText;
  night.ini.decLimit = 20;
  night.ini.dwellMinutes = 0.05;
  writeNight(night.ini,
             night.line("A   ", 5, 300, 20) + night.line("B   ", 10, 292, 20) + night.line("C   ", 25, 284, 20));

  // The simulator starts at the pole, above the limit: it is put at
  // declination 0 first, without a slew.
  ASSERT_TRUE(setProperty("CONNECTION.CONNECT=On"));
  ASSERT_TRUE(waitUntil([&] { return property("EQUATORIAL_EOD_COORD.DEC").size() > 0; }, 10s));
  // The site first, as vantrel will send it: the simulator keeps its axes
  // when the site changes, so a sync before it would not hold.
  double longitude = night.ini.longitude < 0 ? night.ini.longitude + 360 : night.ini.longitude;
  ASSERT_TRUE(setProperty("GEOGRAPHIC_COORD.LAT;LONG;ELEV=35;" + std::to_string(longitude) + ";0"));
  ASSERT_TRUE(setProperty("ON_COORD_SET.SYNC=On"));
  ASSERT_TRUE(setProperty("EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(night.raHours(5, 300, 20)) + ";0"));
  ASSERT_TRUE(waitUntil([&] { return std::abs(std::atof(property("EQUATORIAL_EOD_COORD.DEC").c_str())) < 1; },
                        10s));

  EXPECT_EQ(run({"--console", "--indi", device + "@localhost:" + std::to_string(port)}), 0) << out() << err();
  EXPECT_THAT(records(), ElementsAre(AllOf(StartsWith(today + " "), HasSubstr(" A   ")), HasSubstr(" B   "),
                                     HasSubstr(" C   "), MatchesRegex("RD Limit, over : < 2[0-9.]+ >"), "B4000,0000"));
  EXPECT_THAT(out(), MatchesRegex("(.|\n)*3 of 3 targets observed; night ended [-0-9]+ [:0-9]+ by the declination "
                                  "limit \\(the mount reported 2[0-9.]+ degrees\\); mount parked, as the mount "
                                  "confirmed\n"));
  EXPECT_EQ(property("TELESCOPE_PARK.PARK"), "On") << "the simulator is not parked";
  // Warnings about the night's files, and the client library's own
  // "creating new connection", but no fault.
  EXPECT_THAT(err(), Not(MatchesRegex("(.|\n)*vantrel: [^w](.|\n)*"))) << "a fault after a good night";
}

// The night stops with status 1; the check (refused with --indi before)
// reports the same findings with status 5, or the mount as it stands.
TEST_F(IndiNight, NoSuchDeviceOrNoServerAndTheCheck) {
  writeNight(testing::IniValues{}, testing::targetLine("A   ", 5, 20) + "\r\n");
  const std::string here = "@localhost:" + std::to_string(port), nobody = "localhost:" + std::to_string(freePort());
  const struct {
    std::string mode, address;
    int status;
    std::string message;
  } cases[] = {
      {"--console", "Dome" + here, 1,
       "the mount 'Dome' at localhost:" + std::to_string(port) + ": the server has no such device (it has '" +
           device + "')"},
      {"--console", device + "@" + nobody, 1,
       "no INDI server answers at " + nobody + " for the mount '" + device +
           "' (connection refused: nothing listens on that port): start one"},
      {"--check", device + "@" + nobody, 5, "  no INDI server answers at " + nobody},
      {"--check", device + "@" + nobody, 5, "  serial port COM1 (not used: the mount is an INDI device, below)\n"},
      {"--check", "Dome" + here, 5, "\n  the mount 'Dome' at localhost:" + std::to_string(port) + ": the server has"},
      {"--mount", device + here, 0,
       " h, declination +90.00 degrees\n  it reports itself not parked\n"},  // at the pole, as it starts
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {c.mode, "--indi", c.address};
    if (c.mode == "--mount") args.insert(args.begin(), "--check");
    EXPECT_EQ(run(args), c.status) << c.mode << " " << c.address << "\n" << err();
    EXPECT_THAT(c.mode == "--console" ? err() : out(), HasSubstr(c.message)) << c.mode << " " << c.address;
  }
}

// vantrel --park --indi: the device is connected when it is not, the
// simulator (unparked at the pole when it starts) parks, and the park is
// confirmed.
TEST_F(IndiNight, ParkNowConnectsAndParksTheSimulator) {
  writeNight(testing::IniValues{}, "");
  ASSERT_EQ(property("CONNECTION.CONNECT"), "Off");
  EXPECT_EQ(run({"--park", "--indi", device + "@localhost:" + std::to_string(port)}, 120s), 0) << err();
  EXPECT_EQ(out(), "the INDI mount " + device + ": park confirmed\n");
  EXPECT_EQ(property("TELESCOPE_PARK.PARK"), "On");
  EXPECT_EQ(property("CONNECTION.CONNECT"), "On");
}

// A night through INDI killed mid-dwell: its guard parks the same device of
// the same server, and the park is confirmed.
TEST_F(IndiNight, TheGuardParksAfterTheNightIsKilled) {
  testing::NightNow night(PosixClock::civilMs());
  today = night.now.dateText;
  night.ini.decLimit = 90;  // the simulator starts at the pole
  night.ini.dwellMinutes = 5;
  writeNight(night.ini, night.line("A   ", 5, 300, 20));
  auto vantrel = start({"--console", "--indi", device + "@localhost:" + std::to_string(port)});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 1 && property("EQUATORIAL_EOD_COORD.DEC") != ""; }, 60s))
      << err();
  ASSERT_EQ(kill(childOf(vantrel->pid(), 10s), SIGKILL), 0);
  EXPECT_EQ(exitStatus(*vantrel, 120s), 128 + SIGKILL) << err();
  EXPECT_THAT(err(), MatchesRegex("(.|\n)*vantrel: the night ended by SIGKILL at [:0-9]+; the guard parked the "
                                  "mount \\(confirmed\\)\n"));
  EXPECT_EQ(property("TELESCOPE_PARK.PARK"), "On");
}

}  // namespace
}  // namespace vantrel::e2e
