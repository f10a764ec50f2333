// End to end through INDI: the real binary on the real clock against
// indiserver and INDI's own telescope simulator, started here on a private
// port, a private socket path and a private HOME (where the simulator keeps
// its park position), and stopped with the fixture by its process group: the
// server and its driver; the weather simulator likewise. Built where INDI and indi-bin are installed.
#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

const std::string device = "Telescope Simulator";

// What indi_getprop says of DEVICE.PROPERTY.ELEMENT at the port ("On", "12.5", empty when the server does not
// answer), or what indi_setprop does.
std::string indiTool(const char* tool, int port, const std::string& what, const ScratchDir& dir) {
  Child c({tool, "-p", std::to_string(port), "-t", "2", what}, dir.path, dir / "i.out", dir / "i.err");
  std::string text = c.waitForExit(10s) == 0 ? readFile(dir / "i.out") : "";
  return text.substr(text.find('=') + 1, text.find('\n') - text.find('=') - 1);
}

// indiserver with one driver, on a port nobody listens on now, with a private socket and HOME (where a
// simulator keeps its state); `name` tells its files apart.
std::unique_ptr<Child> startIndiServer(const ScratchDir& dir, const char* driver, const std::string& name, int& port) {
  close(listenOnLoopback(port));
  std::filesystem::create_directories(dir / (name + "-home"));
  return std::make_unique<Child>(std::vector<std::string>{"/usr/bin/env", "HOME=" + (dir / (name + "-home")),
                                                          INDISERVER_PROGRAM, "-p", std::to_string(port), "-u",
                                                          dir / (name + ".socket"), driver},
                                 dir.path, dir / (name + ".out"), dir / (name + ".err"));
}

class IndiNight : public Vantrel {
 protected:
  std::unique_ptr<Child> server;

  void SetUp() override {
    Vantrel::SetUp();
    server = startIndiServer(dir, INDI_SIMULATOR_PROGRAM, "server", port);
    ASSERT_TRUE(waitUntil([&] { return indi(INDI_GETPROP, "CONNECTION.CONNECT") == "Off"; }, 20s));
  }
  // What indi_getprop says of device.NAME ("On", "12.5", empty when the server does not answer), or indi_setprop.
  std::string indi(const char* tool, const std::string& what) { return indiTool(tool, port, device + "." + what, dir); }
};

// One server for all, in turn: the simulator starts unconnected and unparked at the pole. --park connects it
// and parks it; a night stops with status 1 where no server listens.
TEST_F(IndiNight, ParkNowANightAndTheGuard) {
  // Chosen nearest the meridian first: A, then B, then C, whose declination lies above the limit.
  night.ini.decLimit = 20;
  night.ini.dwellMinutes = 0.05;
  writeNight(night.line("A   ", 5, 300, 20) + night.line("B   ", 10, 292, 20) + night.line("C   ", 25, 284, 20));
  int none = 0;
  close(listenOnLoopback(none));
  const std::string here = "@localhost:" + std::to_string(port), nobody = "@localhost:" + std::to_string(none);
  EXPECT_EQ(run({"--park", "--indi", device + here}), 0) << err();
  EXPECT_EQ(run({"--console", "--indi", device + nobody}), 1);
  EXPECT_THAT(err(), HasSubstr(nobody.substr(1) + " for the mount '" + device + "' (connection refused: nothing"));

  // The simulator is put at declination 0 first, without a slew, after the site as vantrel will send it
  // (the simulator keeps its axes when the site changes).
  double longitude = night.ini.longitude < 0 ? night.ini.longitude + 360 : night.ini.longitude;
  indi(INDI_SETPROP, "GEOGRAPHIC_COORD.LAT;LONG;ELEV=35;" + std::to_string(longitude) + ";0");
  indi(INDI_SETPROP, "ON_COORD_SET.SYNC=On");
  indi(INDI_SETPROP, "EQUATORIAL_EOD_COORD.RA;DEC=" + std::to_string(night.raHours(5, 300, 20)) + ";0");
  ASSERT_TRUE(waitUntil([&] { return std::abs(std::atof(indi(INDI_GETPROP, "EQUATORIAL_EOD_COORD.DEC").c_str())) < 1; },
                        10s));
  EXPECT_EQ(run({"--console", "--indi", device + here}), 0) << out() << err();
  EXPECT_THAT(records(), ::testing::ElementsAre(HasSubstr(" A   "), HasSubstr(" B   "), HasSubstr(" C   "),
                                                MatchesRegex("RD Limit, over : < 2[0-9.]+ >"), "B4000,0000"));
  EXPECT_THAT(out(), MatchesRegex("(.|\n)*3 of 3 targets observed; (.|\n)*; mount parked, as the mount confirmed\n"));

  // A night killed mid-dwell: its guard parks the same device of the same server, confirmed.
  night.ini.dwellMinutes = 5;
  writeNight(night.line("A   ", 5, 300, 20));
  vantrel = start({"--console", "--indi", device + here});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 6 && indi(INDI_GETPROP, "TELESCOPE_PARK.PARK") == "Off"; },
                        60s)) << err();
  ASSERT_EQ(kill(childOf(vantrel->pid(), 10s), SIGKILL), 0);
  EXPECT_EQ(vantrel->waitForExit(120s), 128 + SIGKILL) << err();
  EXPECT_THAT(err(), HasSubstr("the guard parked the mount (confirmed)\n"));
}

// INDI's weather simulator under an indiserver of its own (server.reset(): the server dies). rain(true or false):
// the device connected, reading every second, with rain over or under its limit, as WEATHER_STATUS then says.
struct WeatherServer {
  const ScratchDir& dir;
  int port = 0;
  std::unique_ptr<Child> server = startIndiServer(dir, INDI_WEATHER_PROGRAM, "weather", port);
  std::string address() const { return "Weather Simulator@localhost:" + std::to_string(port); }
  std::string prop(const char* tool, const std::string& what) { return indiTool(tool, port, "Weather Simulator." + what, dir); }
  bool started() { return waitUntil([&] { return !prop(INDI_GETPROP, "CONNECTION.CONNECT").empty(); }, 20s); }
  bool rain(bool on) {
    prop(INDI_SETPROP, "CONNECTION.CONNECT=On");
    if (!waitUntil([&] { return !prop(INDI_GETPROP, "WEATHER_UPDATE.PERIOD").empty(); }, 10s)) return false;
    prop(INDI_SETPROP, "WEATHER_UPDATE.PERIOD=1");
    prop(INDI_SETPROP, std::string("WEATHER_CONTROL.Precip=") + (on ? "5" : "0"));
    return waitUntil([&] { return prop(INDI_GETPROP, "WEATHER_STATUS._STATE") == (on ? "Alert" : "Ok"); }, 10s);
  }
};

// --check --weather hears the device as the night would (connecting it): ok, then unsafe once it rains (status
// 5), and says why when nothing answers at the address.
TEST_F(Vantrel, CheckHearsTheWeatherDevice) {
  night.ini.nightEnd.assign(12, 4.5);  // in the site's own zone, nothing else to warn about
  const int hours = static_cast<int>(night.ini.longitude / 15);
  writeNight(night.line("A   ", 5, 300, 20));
  startMountsim({});
  WeatherServer weather{dir};
  ASSERT_TRUE(weather.started()) << readFile(dir / "weather.err");
  auto check = [&](const std::string& says) {
    int status = run({"--check", "--zone", (hours < 0 ? "UTC-" : "UTC+") + std::to_string(std::abs(hours)),
                      "--weather", weather.address()});
    EXPECT_THAT(out(), HasSubstr("\nWeather: 'Weather Simulator' at localhost:" + std::to_string(weather.port) + ": " + says));
    return status;
  };
  EXPECT_EQ(check("ok\n"), 0) << out() << err();
  ASSERT_TRUE(weather.rain(true));
  EXPECT_EQ(check("unsafe (Precip)\n"), 5);
  weather.server.reset();
  EXPECT_EQ(check("cannot be heard: no INDI server answers at localhost:"), 5);
}

// Two nights beside the weather simulator, each step in the order a night meets it. Rain before the start: the
// night starts parked, and a Ctrl-C ends it with that one park and no goto. Then rain in a dwell parks at once;
// a minute safe, the night goes on with the next target; the weather server killed, it parks after the grace
// time; a Ctrl-C while parked for weather ends the night without a second park. About 2 minutes.
TEST_F(Vantrel, NightsParkForTheWeatherAndGoOn) {
  night.ini.dwellMinutes = 10;
  writeNight(night.line("A   ", 20, 345, 10) + night.line("B   ", 20, 333, 10) + night.line("C   ", 20, 321, 10));
  startMountsim({"--rate", "30"});
  WeatherServer weather{dir};
  ASSERT_TRUE(weather.started() && weather.rain(true)) << readFile(dir / "weather.err");
  const std::vector<std::string> args{"--console", "--weather", weather.address(), "--weather-safe-minutes", "1",
                                      "--weather-grace", "5"};
  auto sent = [&](const char* command) {  // how often the mount read the command
    const std::string serial = readFile(dir / "transcript.bin");
    const std::regex pattern(command);
    return std::distance(std::sregex_iterator(serial.begin(), serial.end(), pattern), std::sregex_iterator());
  };
  auto logs = [&](std::size_t n, std::chrono::seconds timeout) {
    return waitUntil([&] { return records().size() == n; }, timeout);
  };
  const char *park = "B4000,0000", *gotoCommand = "R[0-9A-F]{4},[0-9A-F]{4}";
  vantrel = start(args);
  ASSERT_TRUE(waitForText(dir / "out", "(Precip); resumes after 1 min safe", 30s)) << out() << err();
  vantrel->signal(SIGINT);
  EXPECT_EQ(vantrel->waitForExit(30s), 0) << err();
  EXPECT_THAT(records(), ::testing::ElementsAre(park));
  EXPECT_EQ(sent(park), 1);
  EXPECT_EQ(sent(gotoCommand), 0);
  EXPECT_THAT(out(), HasSubstr(" by a stop request; park command sent, acknowledged; parked for weather once, "));

  ASSERT_TRUE(weather.rain(false));
  // A hook hears each spell of bad weather once: the park, unsafe (with the reason), then safe.
  writeFile(dir / "hook", "#!/bin/sh\necho $VANTREL_EVENT >> events\n");
  chmod((dir / "hook").c_str(), 0755);
  std::vector<std::string> notified = args;
  notified.insert(notified.end(), {"--notify", dir / "hook"});
  vantrel = start(notified);
  ASSERT_TRUE(waitForText(dir / "out", "observing A target", 30s)) << out() << err();
  ASSERT_TRUE(weather.rain(true));
  ASSERT_TRUE(logs(3, 10s)) << log() << err();
  ASSERT_TRUE(weather.rain(false));
  ASSERT_TRUE(logs(4, 150s)) << log() << err();
  weather.server.reset();
  EXPECT_FALSE(logs(5, 2s)) << "parked within the grace time";
  ASSERT_TRUE(logs(5, 20s)) << log() << err();
  vantrel->signal(SIGINT);
  EXPECT_EQ(vantrel->waitForExit(30s), 0) << err();
  EXPECT_THAT(records(), ::testing::ElementsAre(park, HasSubstr(" A   "), park, HasSubstr(" B   "), park));
  EXPECT_EQ(readFile(dir / "events"), "start\ntarget\npark\nunsafe\nsafe\ntarget\npark\nunsafe\nend\n");
  EXPECT_EQ(sent(park), 3);
  EXPECT_EQ(sent(gotoCommand), 2);
  EXPECT_THAT(out(), AllOf(HasSubstr("observing A target"), HasSubstr(" (Precip); resumes after 1 min safe"),
                           HasSubstr(" (no word from the weather device for 5 s); resumes after"),
                           HasSubstr("2 of 3 targets observed; night ended "),
                           HasSubstr(" by a stop request; park command sent, acknowledged; parked for weather 2 times, ")));
}

}  // namespace
}  // namespace vantrel::e2e
