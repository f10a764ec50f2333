// End to end through INDI: the real binary on the real clock against
// indiserver and INDI's own telescope simulator, started here on a private
// port, a private socket path and a private HOME (where the simulator keeps
// its park position), and stopped by its process group: the server and its
// driver, which outlives the server by about two seconds. Built where INDI
// and indi-bin are installed.
#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

const std::string device = "Telescope Simulator";

// A TCP port nobody listens on now.
int freePort() {
  int port = 0;
  close(listenOnLoopback(port));
  return port;
}

class IndiNight : public Vantrel {
 protected:
  std::unique_ptr<Child> server;
  std::string here;  // "@localhost:PORT"

  void SetUp() override {
    Vantrel::SetUp();
    port = freePort();
    here = "@localhost:" + std::to_string(port);
    std::filesystem::create_directories(dir / "home");
    server = std::make_unique<Child>(
        std::vector<std::string>{"/usr/bin/env", "HOME=" + (dir / "home"), INDISERVER_PROGRAM, "-p",
                                 std::to_string(port), "-u", dir / "indi.socket", INDI_SIMULATOR_PROGRAM},
        dir.path, dir / "server.out", dir / "server.err", [] { setpgid(0, 0); });
    ASSERT_TRUE(waitUntil([&] { return !property("CONNECTION.CONNECT").empty(); }, 20s))
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
    std::string text = get.waitForExit(10s) == 0 ? readFile(dir / "get.out") : "";
    std::size_t equals = text.find('=');
    return equals == std::string::npos ? "" : text.substr(equals + 1, text.find('\n') - equals - 1);
  }
  bool setProperty(const std::string& spec) {
    return Child({INDI_SETPROP, "-p", std::to_string(port), device + "." + spec}, dir.path, dir / "set.out",
                 dir / "set.err").waitForExit(10s) == 0;
  }
};

// One server for all, in turn: the simulator starts unconnected and unparked at the pole.
TEST_F(IndiNight, ParkNowRefusalsTheCheckANightAndTheGuard) {
  // --park connects the device and parks it; a night stops with status 1 where the mount is not there; the
  // check (refused with --indi before) reports the same findings with status 5, or the mount as it stands.
  night.ini = testing::IniValues{};
  writeNight(testing::targetLine("A   ", 5, 20) + "\r\n");
  const std::string nobody = "localhost:" + std::to_string(freePort()), at = "localhost:" + std::to_string(port);
  ASSERT_EQ(property("CONNECTION.CONNECT"), "Off") << "the park first, which must connect it";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } rows[] = {
      {{"--park", "--indi", device + here}, 0, "the INDI mount " + device + ": park confirmed\n"},
      {{"--console", "--indi", "Dome" + here}, 1,
       "the mount 'Dome' at " + at + ": the server has no such device (it has '" + device + "')"},
      {{"--console", "--indi", device + "@" + nobody}, 1,
       "no INDI server answers at " + nobody + " for the mount '" + device +
           "' (connection refused: nothing listens on that port): start one"},
      {{"--check", "--indi", device + "@" + nobody}, 5,
       "  serial port COM1 (not used: the mount is an INDI device, below)\n"},
      {{"--check", "--indi", device + "@" + nobody}, 5, "  no INDI server answers at " + nobody},
      {{"--check", "--indi", "Dome" + here}, 5, "\n  the mount 'Dome' at " + at + ": the server has"},
      {{"--check", "--mount", "--indi", device + here}, 0, "  it reports itself parked (the night unparks it"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    EXPECT_EQ(run(row.args), row.status) << err();
    EXPECT_THAT(row.args[0] == "--console" ? err() : out(), HasSubstr(row.message));
  }

  // Chosen nearest the meridian first: A, then B, then C, whose declination lies above the limit.
  night = testing::NightNow(PosixClock::civilMs());
  night.ini.decLimit = 20;
  night.ini.dwellMinutes = 0.05;
  writeNight(night.line("A   ", 5, 300, 20) + night.line("B   ", 10, 292, 20) + night.line("C   ", 25, 284, 20));
  // The simulator is put at declination 0 first, without a slew, after the site as vantrel will send it
  // (the simulator keeps its axes when the site changes).
  double longitude = night.ini.longitude < 0 ? night.ini.longitude + 360 : night.ini.longitude;
  ASSERT_TRUE(setProperty("GEOGRAPHIC_COORD.LAT;LONG;ELEV=35;" + std::to_string(longitude) + ";0"));
  ASSERT_TRUE(setProperty("ON_COORD_SET.SYNC=On"));
  ASSERT_TRUE(setProperty("EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(night.raHours(5, 300, 20)) + ";0"));
  ASSERT_TRUE(waitUntil([&] { return std::abs(std::atof(property("EQUATORIAL_EOD_COORD.DEC").c_str())) < 1; }, 10s));

  EXPECT_EQ(run({"--console", "--indi", device + here}), 0) << out() << err();
  EXPECT_THAT(records(), ::testing::ElementsAre(AllOf(::testing::StartsWith(night.now.dateText + " "),
                                                      HasSubstr(" A   ")), HasSubstr(" B   "), HasSubstr(" C   "),
                                                MatchesRegex("RD Limit, over : < 2[0-9.]+ >"), "B4000,0000"));
  EXPECT_THAT(out(), MatchesRegex("(.|\n)*3 of 3 targets observed; night ended [-0-9]+ [:0-9]+ by the declination "
                                  "limit \\(the mount reported 2[0-9.]+ degrees\\); mount parked, as the mount "
                                  "confirmed\n"));
  EXPECT_EQ(property("TELESCOPE_PARK.PARK"), "On") << "the simulator is not parked";
  // Warnings about the night's files, and the client library's own "creating new connection", but no fault.
  EXPECT_THAT(err(), ::testing::Not(MatchesRegex("(.|\n)*vantrel: [^w](.|\n)*"))) << "a fault after a good night";

  // A night killed mid-dwell: its guard parks the same device of the same server, confirmed.
  night.ini.decLimit = 90;
  night.ini.dwellMinutes = 5;
  writeNight(night.line("A   ", 5, 300, 20));
  vantrel = start({"--console", "--indi", device + here});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 6 && property("TELESCOPE_PARK.PARK") == "Off"; }, 60s))
      << err();
  ASSERT_EQ(kill(childOf(vantrel->pid(), 10s), SIGKILL), 0);
  EXPECT_EQ(vantrel->waitForExit(120s), 128 + SIGKILL) << err();
  EXPECT_THAT(err(), MatchesRegex("(.|\n)*vantrel: the night ended by SIGKILL at [:0-9]+; the guard parked the "
                                  "mount \\(confirmed\\)\n"));
  EXPECT_EQ(property("TELESCOPE_PARK.PARK"), "On");
}

}  // namespace
}  // namespace vantrel::e2e
