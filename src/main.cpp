// vantrel - an unattended observing-night controller for a small telescope.
//
// Reads "vantrel.ini" and "vantrel.adf" from the working directory and runs
// the night against the mount on the serial line, or rehearses it on a
// simulated clock. See --help.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include <QApplication>

#include "app/guarded_mount_link.h"
#include "app/park_now.h"
#include "indi/indi_address.h"
#include "indi/indi_check.h"
#include "indi/indi_client.h"
#include "indi/indi_mirror.h"
#include "indi/indi_mount_link.h"
#include "inputs/text_lines.h"
#include "mount/line_check.h"
#include "mount/protocol.h"
#include "mount/serial_mount_link.h"
#include "night/form1.h"
#include "night/night_plan.h"
#include "night/nights_plan.h"
#include "night/preflight.h"
#include "night/rehearsal.h"
#include "platform/console_window.h"
#include "platform/device_users.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"
#include "platform/night_guard.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "platform/simulated_clock.h"
#include "platform/stop_request.h"
#include "platform/stop_signals.h"
#include "tzdb/named_zone.h"
#include "web/status_server.h"
#include "web/web_feed.h"
#include "web/web_settings.h"
#include "window/qt_window.h"

namespace {

using namespace vantrel;

// vantrel --check found something to warn about.
constexpr int checkWarningsStatus = 5;

const char* const usageText =
    "usage: vantrel [--console] [--verbose] [--rehearse [START] | --indi DEVICE[@HOST[:PORT]]]\n"
    "               [--resume] [--no-device-claim]\n"
    "               [--snapshot FILE.png]\n"
    "               [--web [ADDR:]PORT [--web-token FILE]]\n"
    "               [--zone ZONE] [--from-dusk [ALT]] [--until-dawn [ALT]]\n"
    "       vantrel --plan [START] [--nights N] [--csv FILE] [--svg FILE.svg] [--zone ZONE] ...\n"
    "       vantrel --check [START] [--mount] [--indi DEVICE[@HOST[:PORT]]] [--zone ZONE] ...\n"
    "       vantrel --park [--indi DEVICE[@HOST[:PORT]]]\n"
    "       vantrel --help | --version\n"
    "\n"
    "Runs an observing night from the files of the working directory:\n"
    "  vantrel.ini   site, serial port, end of night per month, limits, timings\n"
    "  vantrel.adf   targets (1950.0 positions) with their grid masks\n"
    "and writes the night's log to logYYYY-MM-DD.txt (records are appended).\n"
    "\n"
    "  --console          use the terminal as the window even when a display is there;\n"
    "                     the night's status is one line, rewritten in place on a\n"
    "                     terminal, one line per change of phase otherwise\n"
    "  --verbose          print each new title even when the output is not a terminal\n"
    "  --resume           take as observed the rows that tonight's logs (since 12:00\n"
    "                     site time, so also yesterday's file after midnight) record\n"
    "                     with the same row number and target text\n"
    "  --no-device-claim  drive a serial device that cannot be claimed against a copy\n"
    "                     in another folder (claim folder missing or read-only) with\n"
    "                     a warning, instead of stopping with status 1\n"
    "  --snapshot FILE.png  write the window's picture (status, sky chart, records)\n"
    "                     at the end of the night or rehearsal; without a display\n"
    "                     (or with --console) the window is drawn off-screen\n"
    "  --rehearse [START] run the whole night at once on a simulated clock against a\n"
    "                     simulated mount; START is YYYY-MM-DDTHH:MM[:SS] in the\n"
    "                     site's civil time (see --zone), by default 18:00 today. The log\n"
    "                     goes to rehearsal-logYYYY-MM-DD.txt; no port is opened.\n"
    "  --indi DEVICE[@HOST[:PORT]]\n"
    "                     drive the mount DEVICE of the INDI server at HOST:PORT\n"
    "                     (default localhost:7624) instead of the serial port; the\n"
    "                     port number of vantrel.ini is not used\n"
    "  --plan [START]     rehearse the night from START (as --rehearse) and print\n"
    "                     tonight's plan: every pointing with its goto and the end\n"
    "                     of its dwell, and the rows never observed with the reason.\n"
    "                     Writes no file, except with\n"
    "  --svg FILE.svg     with --plan: the plan as a picture (altitude curves, a bar\n"
    "                     per pointing, the rows never observed); one night only\n"
    "  --nights N         with --plan: N nights in a row (1 to 366), each rehearsed\n"
    "                     from START's time of day with every target free; prints\n"
    "                     each night's timeline, then every list line with the\n"
    "                     nights on which each of its pointings is observed, and\n"
    "                     the lines never observed in the period with the reason\n"
    "  --csv FILE         with --plan: also write one record per pointing (the goto\n"
    "                     time on each night, or the reason it is never observed)\n"
    "                     to FILE for a spreadsheet\n"
    "  --check [START]    before a real night: the site configuration, every target\n"
    "                     line as read, every warning about the two files, tonight's\n"
    "                     plan (rehearsed from START, by default now) and the serial\n"
    "                     line (which device, whether it is there and opens). Never\n"
    "                     sends a goto, never writes a log. Exit status 0 when all\n"
    "                     is well, 5 when there are warnings, 3 for refused input\n"
    "  --mount            with --check: also ask the mount for its position (one\n"
    "                     query; it must answer within a second)\n"
    "                     With --indi, --check looks at the INDI server and device\n"
    "                     instead of the serial line; --mount also connects the\n"
    "                     device and reads its position and park state\n"
    "  --web [ADDR:]PORT  serve the night's status read-only over HTTP: a page (/),\n"
    "                     /status.json, /log.txt and /plan.json. A bare PORT serves\n"
    "                     this computer only (127.0.0.1); port 0 picks a free one.\n"
    "                     Any other ADDR (e.g. 0.0.0.0:8080) needs --web-token.\n"
    "  --web-token FILE   the first line of FILE (16 or more of A-Z a-z 0-9 . _ ~ -)\n"
    "                     must come with every request: once as /?token=TOKEN (a\n"
    "                     cookie keeps it) or as \"Authorization: Bearer TOKEN\".\n"
    "  --zone ZONE        the site's civil time for every time the night reads and\n"
    "                     prints (log name and records, START, status, end of the\n"
    "                     night): a zone name (Europe/Berlin, America/New_York),\n"
    "                     a fixed offset (UTC+01:00, UTC-05, UTC+9) or local (the\n"
    "                     computer's zone, TZ or /etc/localtime). Default UT+9\n"
    "  --from-dusk [ALT]  after the start-up wait, wait until the Sun's centre is\n"
    "                     below ALT degrees (default -12, nautical twilight)\n"
    "  --until-dawn [ALT] also end the night (through the park) when the Sun rises\n"
    "                     above ALT degrees (default -12) after it was below it\n"
    "  --park             park the mount now (the port of vantrel.ini, or --indi)\n"
    "                     and say whether it took the park: exit status 0 when it\n"
    "                     did, 4 when it did not answer, 1 when it refused\n"
    "  --help, --version\n"
    "\n"
    "Serial port N is ./COMN when that exists at start-up (a link to /dev/ttyUSB0\n"
    "or to vantrel-mountsim), otherwise /dev/ttyS<N-1>; the choice holds all night.\n"
    "A night locks its folder (vantrel.lock) and, from its first open to its end,\n"
    "its port (a claim file in $VANTREL_LOCK_DIR, by default /run/lock): a second\n"
    "copy in the same folder or on the same port stops with\n"
    "status 1.\n"
    "Ctrl-C (or closing the window) ends the night through the park; a second\n"
    "Ctrl-C leaves at once, unless the park is under way.\n"
    "A real night runs in a child process; when it dies after a goto without\n"
    "a park (a crash, SIGKILL, the out-of-memory killer), its parent parks the\n"
    "mount on the same device and says so.\n"
    "\n"
    "Exit status: 0 the night ended (clock, declination limit or stop request);\n"
    "1 a fault during the night (serial line, INDI, log file, a park the INDI\n"
    "mount did not confirm, a mount that stayed above the declination limit for\n"
    "a whole dwell); 2 bad command line;\n"
    "3 a bad or missing vantrel.ini or vantrel.adf; 4 the mount does not answer at\n"
    "start or stopped answering; 5 --check found something to warn about.\n";

// A year and a day: enough for any season, small enough to print.
constexpr long maxPlanNights = 366;

struct Arguments {
  bool console = false;
  bool verbose = false;
  bool rehearse = false;
  bool resume = false;
  bool noDeviceClaim = false;
  bool plan = false;
  bool check = false;
  bool askMount = false;
  bool park = false;
  std::optional<std::string> snapshot;
  std::optional<std::string> svg;
  std::optional<std::string> start;
  int nights = 1;
  bool nightsGiven = false;
  std::optional<std::string> csvFile;
  std::optional<IndiAddress> indi;
  std::string webAddress;  // empty: no web server
  std::string webTokenFile;
  SunLimits sun;
  bool zoneGiven = false;
};

[[noreturn]] void usageError(const std::string& message) {
  std::fprintf(stderr, "vantrel: %s\n(try vantrel --help)\n", message.c_str());
  std::exit(static_cast<int>(ExitStatus::usage));
}

// The optional ALT of --from-dusk and --until-dawn: a number from -18 to 0
// when the next word is one ("-12", "-6.5"); -12 when it is not.
double sunAltitudeArgument(const std::string& option, int argc, char** argv, int& i) {
  constexpr double nauticalTwilightDeg = -12;
  if (i + 1 >= argc) return nauticalTwilightDeg;
  const std::string text = argv[i + 1];
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  const bool number = !text.empty() && end == text.c_str() + text.size() && errno == 0 &&
                      text.find_first_of("0123456789") != std::string::npos && text.find_first_of("xXpPnN") == std::string::npos;
  if (!number) return nauticalTwilightDeg;
  ++i;
  if (!(value >= -18 && value <= 0)) {
    usageError(option + " " + text + ": the Sun's altitude must be from -18 (astronomical twilight) to 0 (the horizon)");
  }
  return value;
}

Arguments parseArguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto optionalStart = [&] {
      if (i + 1 < argc && argv[i + 1][0] != '-') args.start = argv[++i];
    };
    auto fileName = [&](const char* example) -> std::string {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') usageError(a + " needs a file name, e.g. " + example);
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::fputs(usageText, stdout);
      std::exit(0);
    } else if (a == "--version") {
      std::puts("vantrel 1.10");
      std::exit(0);
    } else if (a == "--console") {
      args.console = true;
    } else if (a == "--verbose") {
      args.verbose = true;
    } else if (a == "--resume") {
      args.resume = true;
    } else if (a == "--no-device-claim") {
      args.noDeviceClaim = true;
    } else if (a == "--rehearse") {
      args.rehearse = true;
      optionalStart();
    } else if (a == "--indi") {
      if (i + 1 >= argc) usageError("--indi needs DEVICE[@HOST[:PORT]], e.g. --indi \"Telescope Simulator\"");
      auto address = parseIndiAddress(argv[++i]);
      if (auto* message = std::get_if<std::string>(&address)) usageError("--indi '" + std::string(argv[i]) + "': " + *message);
      args.indi = std::get<IndiAddress>(address);
    } else if (a == "--snapshot") {
      args.snapshot = fileName("night.png");
    } else if (a == "--svg") {
      args.svg = fileName("plan.svg");
    } else if (a == "--check") {
      args.check = true;
      optionalStart();
    } else if (a == "--mount") {
      args.askMount = true;
    } else if (a == "--park") {
      args.park = true;
    } else if (a == "--plan") {
      args.plan = true;
      optionalStart();
    } else if (a == "--nights") {
      if (i + 1 >= argc) usageError("--nights needs a number of nights (1 to 366)");
      std::string text = argv[++i];
      // Whole digits only: strtol alone would take " 5" and "+5".
      const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
      errno = 0;
      long n = digits ? std::strtol(text.c_str(), nullptr, 10) : 0;
      if (!digits || errno != 0 || n < 1 || n > maxPlanNights) {
        usageError("--nights must be a whole number from 1 to 366, got '" + text + "'");
      }
      args.nights = static_cast<int>(n);
      args.nightsGiven = true;
    } else if (a == "--csv") {
      args.csvFile = fileName("plan.csv");
    } else if (a == "--zone") {
      if (i + 1 >= argc) usageError("--zone needs a zone, e.g. --zone Europe/Berlin, --zone UTC-05 or --zone local");
      try {
        setCivilZone(zoneFromOption(argv[++i]));
        args.zoneGiven = true;
      } catch (const Fault& fault) {
        usageError(escapedForDisplay(fault.what()));
      }
    } else if (a == "--from-dusk" || a == "--until-dawn") {
      (a == "--from-dusk" ? args.sun.duskDeg : args.sun.dawnDeg) = sunAltitudeArgument(a, argc, argv, i);
    } else if (a == "--web" || a == "--web-token") {
      if (i + 1 >= argc) usageError(a + " needs a value");
      (a == "--web" ? args.webAddress : args.webTokenFile) = argv[++i];
    } else {
      usageError("unknown argument '" + a + "'");
    }
  }
  if (args.plan && args.rehearse) usageError("--plan and --rehearse cannot be given together");
  if (args.park && (args.plan || args.rehearse || args.check || args.resume || args.snapshot || args.start ||
                    !args.webAddress.empty() || args.console || args.sun.duskDeg || args.sun.dawnDeg)) {
    usageError("--park goes alone (with --indi for an INDI mount)");
  }
  if ((args.check || args.plan) && !args.webAddress.empty()) {
    usageError(std::string(args.check ? "--check" : "--plan") + " serves no status page; leave out --web");
  }
  if (args.check && (args.plan || args.rehearse || args.resume)) {
    usageError("--check goes alone (with --mount, --indi and START)");
  }
  if (args.askMount && !args.check) usageError("--mount goes with --check");
  if (!args.plan && args.nightsGiven) usageError("--nights goes with --plan");
  if (!args.plan && args.csvFile) usageError("--csv goes with --plan");
  if (args.indi && (args.rehearse || args.plan)) {
    usageError("--rehearse and --plan run on their own simulated mount; leave out --indi");
  }
  if (args.indi && !indiBuiltIn()) {
    usageError("--indi: this vantrel was built without INDI (install libindi-dev and build with -DVANTREL_WITH_INDI=ON)");
  }
  if (args.plan && args.snapshot) usageError("--snapshot is for a night or a rehearsal, not for --plan");
  if (args.svg && !args.plan) usageError("--svg goes with --plan");
  if (args.svg && args.nights != 1) usageError("--svg draws one night; leave out --nights");
  // A rehearsal or a plan is a whole night from its start; it reads no real log.
  if (args.resume && (args.rehearse || args.plan)) {
    usageError(std::string(args.plan ? "--plan" : "--rehearse") + " and --resume cannot be given together");
  }
  if (!args.webTokenFile.empty() && args.webAddress.empty()) usageError("--web-token needs --web");
  if (args.noDeviceClaim && (args.plan || args.rehearse || args.indi || args.park)) {
    usageError("--no-device-claim is for a night or a check on a serial port");
  }
  return args;
}

// A window only where someone can see it and close it: an off-screen Qt
// platform would leave a window that nobody can ever close.
bool hasDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') {
    std::string name = platform;
    return name.rfind("offscreen", 0) != 0 && name.rfind("minimal", 0) != 0;
  }
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// With a window on the screen the rehearsal still prints what it does.
class TeeWindow : public Window {
 public:
  TeeWindow(Window& a, Window& b) : a_(a), b_(b) {}
  void setTitle(const std::string& t) override { a_.setTitle(t), b_.setTitle(t); }
  void processEvents() override { a_.processEvents(), b_.processEvents(); }
  void showStatus(const std::string& l) override { a_.showStatus(l), b_.showStatus(l); }
  bool wantsSky() const override { return a_.wantsSky() || b_.wantsSky(); }
  void showSky(const SkyView& sky) override { a_.showSky(sky), b_.showSky(sky); }

 private:
  Window& a_;
  Window& b_;
};

std::int64_t rehearsalStart(const Arguments& args) {
  if (args.start) {
    std::optional<std::int64_t> start = SimulatedClock::parseCivilTime(*args.start);
    if (!start) usageError(std::string(args.plan ? "--plan" : args.check ? "--check" : "--rehearse") + ": START must be YYYY-MM-DDTHH:MM[:SS], got '" + *args.start + "'");
    return *start;
  }
  constexpr std::int64_t msPerDay = 86400000;
  std::int64_t today = PosixClock::civilMs() / msPerDay * msPerDay;
  return today + 18 * 3600 * 1000LL;
}

// The serial line as the night would find it; each finding that would stop
// or mislead the night counts as a warning.
std::string lineDiagnosis(FileStore& files, bool askMount, bool noDeviceClaim, int& problems) {
  SiteConfig config = loadSiteConfig(files);
  const auto [number, name, device] = serialPortPlace(config.commPort, std::filesystem::current_path().string());
  std::string claimWarning;
  PosixSerialPort port(std::filesystem::current_path().string(),
                       {"", !noDeviceClaim, [&](const std::string& warning) { claimWarning = warning; }});
  std::string out = "Serial line:\n  port " + name + " -> " + device;
  std::error_code error;
  if (std::filesystem::is_symlink(device, error)) {
    out += " (link to " + std::filesystem::read_symlink(device, error).string() + ")";
  } else if (device.rfind("/dev/", 0) == 0) {
    out += " (there is no " + name + " in the working directory)";
  }
  out += "\n";
  if (!std::filesystem::exists(device, error)) {
    ++problems;
    return out + "  the device is not there\n";
  }
  std::vector<std::string> holders = deviceHolders(device);
  // Only noted: vantrel-mountsim keeps its own end open, as may a program
  // that serves the line on purpose.
  if (!holders.empty()) {
    std::string list;
    for (const std::string& h : holders) list += (list.empty() ? "" : ", ") + h;
    out += "  also open in " + list + "\n";
  }
  try {
    port.open(number);
    port.close();
    out += "  it opens (9600 8N1, locked while open)\n";
    if (!claimWarning.empty()) {
      ++problems;
      out += "  " + claimWarning + "\n";
    }
    if (!askMount) return out + "  (vantrel --check --mount also asks the mount for its position)\n";
    SerialMountLink link(port, number, passThroughByte(config.passThroughValue));
    PosixClock clock;
    LineCheck check = checkMountAnswers(link, clock);
    if (check.decDeg) {
      char text[96];
      std::snprintf(text, sizeof text, "  the mount answers: declination %.2f degrees\n", *check.decDeg);
      if (*check.decDeg <= config.decLimit) return out + text;
      ++problems;
      return out + text + "  " + describeAboveLimit(*check.decDeg, config.decLimit, link) + "\n";
    }
    ++problems;
    return out + "  " + describeSilence(check, link) + "\n";
  } catch (const Fault& fault) {
    ++problems;
    return out + "  " + fault.what() + "\n";
  }
}

// Text on standard output, line by line, with target names made safe.
void printLines(const std::string& text) {
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    std::printf("%s\n", printableForTerminal(text.substr(at, end - at)).c_str());
  }
}

// The check before a real night: exit 0, 5 (warnings) or 3 (refused input).
// With --indi the INDI mount takes the place of the serial line.
int printCheck(std::int64_t startCivilMs, bool askMount, bool noDeviceClaim, const std::optional<IndiAddress>& indi,
               const SunLimits& sun) {
  PosixFileStore files(".");
  try {
    PreflightReport report = preflightReport(files, startCivilMs, indi.has_value(), sun);
    int problems = report.warnings;
    PosixClock clock;
    std::string mount =
        indi ? indiDiagnosis(*indi, clock, askMount, problems) : lineDiagnosis(files, askMount, noDeviceClaim, problems);
    printLines(report.text + "\n" + mount);
    return problems == 0 ? 0 : checkWarningsStatus;
  } catch (const Fault& fault) {
    std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
    return static_cast<int>(fault.status());
  }
}

// Tonight's plan in the terminal.
int printPlan(std::int64_t startCivilMs, const Arguments& args) {
  PosixFileStore files(".");
  try {
    NightsPlan plan = planNights(startCivilMs, args.nights, files, 0, args.sun);
    if (args.svg) {
      files.createEmpty(*args.svg);
      files.appendDurably(*args.svg, planSvg(plan.nights.front()));
    }
    printLines(args.nights == 1 ? planTable(plan.nights.front()) : nightsTable(plan));
    if (args.csvFile) {
      files.createEmpty(*args.csvFile);
      files.appendDurably(*args.csvFile, nightsCsv(plan));
    }
  } catch (const Fault& fault) {
    std::fprintf(stderr, "vantrel: %s\n", fault.what());
    return static_cast<int>(fault.status());
  }
  return 0;
}

// The summary of the night goes into the status too, for the window.
void publishSummary(StatusBoard& board, const std::string& summary) {
  NightStatus status = board.snapshot();
  status.message = summary;
  board.publish(status);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args = parseArguments(argc, argv);
  if (args.plan) return printPlan(rehearsalStart(args), args);
  if (args.park) return parkNow(args.indi);
  if (args.check) {
    return printCheck(args.start ? rehearsalStart(args) : PosixClock::civilMs(), args.askMount, args.noDeviceClaim,
                      args.indi, args.sun);
  }
  // Every usage error is found before a window exists.
  const std::int64_t startCivilMs = args.rehearse ? rehearsalStart(args) : 0;
  // One night per folder: taken before anything is read, held to the end.
  std::unique_ptr<FolderLock> folderLock;
  if (!args.rehearse) {
    try {
      folderLock = std::make_unique<FolderLock>(".");
    } catch (const Fault& fault) {
      std::fprintf(stderr, "vantrel: %s\n", fault.what());
      return static_cast<int>(fault.status());
    }
  }
  // From here on a real night runs in a child; this process guards it and
  // parks the mount if it dies unparked.
  GuardLine guard;
  if (!args.rehearse) {
    guard = guardTheNight([&](const GuardedNight& night) { return parkForTheGuard(night, args.indi); },
                          [&] { folderLock.reset(); });
  }
  StopRequest stop;
  installStopSignals(stop);
  if (args.zoneGiven) {
    std::fprintf(stderr, "vantrel: %s\n",
                 zoneLine(args.rehearse ? civilZone().utcMs(startCivilMs) : PosixClock::utcMs()).c_str());
  }

  StatusBoard board;
  PosixFileStore files(".");
  // A snapshot's name must lead to a file of its own, before the night: a
  // FIFO there would hang the end of the night. A folder that is not there
  // is reported when the snapshot is written.
  if (args.snapshot) {
    try {
      files.createKeeping(*args.snapshot);
    } catch (const Fault& fault) {
      if (fault.status() == ExitStatus::inputFile) {
        std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
        return static_cast<int>(fault.status());
      }
    }
  }
  const bool onScreen = !args.console && hasDisplay();
  // Tonight's plan, made once for the views that show it: a bad input file
  // is the night's to report.
  std::shared_ptr<const NightPlan> plan;
  if (!args.webAddress.empty() || onScreen || args.snapshot) {
    try {
      plan = std::make_shared<const NightPlan>(planNight(args.rehearse ? startCivilMs : PosixClock::civilMs(), files, args.sun));
    } catch (const Fault&) {
    }
  }
  // The status server listens before the night starts, so that an address
  // it cannot serve ends the program before the mount is touched.
  std::unique_ptr<WebFeed> webFeed;
  std::unique_ptr<StatusServer> webServer;
  if (!args.webAddress.empty()) {
    try {
      WebSettings settings = webSettingsFor(args.webAddress, args.webTokenFile);
      webFeed = std::make_unique<WebFeed>("", &board, plan);
      webServer = startStatusServer(settings, *webFeed, files);
      std::fprintf(stderr, "vantrel: status at %s\n", webServer->url().c_str());
    } catch (const Fault& fault) {
      std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
      return static_cast<int>(fault.status());
    }
  }

  ConsoleWindow::Options consoleOptions;
  // A rehearsal is over in a blink: its records say what happened.
  if (!args.rehearse) consoleOptions.board = &board;
  consoleOptions.verbose = args.verbose;
  ConsoleWindow console(stdout, consoleOptions);
  std::unique_ptr<QApplication> app;
  std::unique_ptr<QtWindow> qtWindow;
  std::unique_ptr<TeeWindow> tee;
  Window* window = &console;
  // A snapshot needs the window even where nobody sees it: then it is drawn
  // off-screen and the terminal stays the window people read.
  const bool offScreen = !onScreen && args.snapshot;
  if (offScreen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (onScreen || offScreen) {
    app = std::make_unique<QApplication>(argc, argv);
    qtWindow = std::make_unique<QtWindow>(stop, &board);
    if (plan) qtWindow->showPlan(planTable(*plan));
    window = qtWindow.get();
    if (args.rehearse || offScreen) {
      tee = std::make_unique<TeeWindow>(*qtWindow, console);
      window = tee.get();
    }
  }
  if (!onScreen) console.setTitle(initialWindowTitle);
  auto saveSnapshot = [&]() -> bool {
    if (!args.snapshot || !qtWindow) return true;
    qtWindow->nightIsOver();
    if (qtWindow->saveSnapshot(*args.snapshot)) return true;
    std::fprintf(stderr, "vantrel: cannot write the snapshot %s (is the folder there and writable?)\n",
                 args.snapshot->c_str());
    return false;
  };
  std::unique_ptr<TeeWindow> webTee;
  if (webFeed) {
    webTee = std::make_unique<TeeWindow>(*window, *webFeed);
    window = webTee.get();
  }

  // The summary is printed on the terminal whatever the window.
  const bool consoleIsShown = !qtWindow || tee;
  auto showSummary = [&](const std::string& summary) {
    publishSummary(board, summary);
    window->showStatus(summary);
    if (!consoleIsShown) console.showStatus(summary);
  };
  // While the window waits to be closed, a new night in this folder may start.
  auto waitForTheWindow = [&]() {
    folderLock.reset();
    guard.nightIsOver();
    qtWindow->nightIsOver();
    return qtWindow->runUntilClosed();
  };

  NightOutcome outcome;
  try {
    if (args.rehearse) {
      RehearsalResult result = rehearseNight(startCivilMs, *window, files, stop, &board, nullptr, args.sun);
      outcome = result.outcome;
      showSummary(describeRehearsal(result));
    } else {
      PosixClock clock;
      NightOptions options;
      options.resume = args.resume;
      options.statusBoard = &board;
      options.lookAhead = true;
      options.checkLineAtStart = true;
      options.sun = args.sun;
      options.onWarning = [&](const std::string& warning) {
        std::fprintf(stderr, "vantrel: warning: %s\n", printableForTerminal(warning).c_str());
        if (qtWindow) qtWindow->showStatus("Warning: " + warning);
      };
      DeviceClaimOptions claim;
      claim.required = !args.noDeviceClaim;
      claim.onWarning = options.onWarning;
      PosixSerialPort MSComm1(std::filesystem::current_path().string(), claim);
      NightSeams seams{clock, MSComm1, *window, files, stop};
      seams.wrapMountLink = [&](std::unique_ptr<MountLink> link, const SiteConfig& site) -> std::unique_ptr<MountLink> {
        if (!guard.guarded()) return link;
        return std::make_unique<GuardedMountLink>(
            std::move(link), guard, site.parkEnabled == 1, [&]() -> GuardedMountLink::Device {
              if (args.indi) return {args.indi->describe(), 0, -1};
              return {MSComm1.chosenDevice(), mountPortNumber(site.commPort), MSComm1.claimDescriptor()};
            });
      };
      std::unique_ptr<IndiMirror> indiMirror;
      std::unique_ptr<IndiWire> indiWire;
      if (args.indi) {
        indiMirror = std::make_unique<IndiMirror>(args.indi->device);
        indiWire = makeIndiClient(*args.indi, *indiMirror);
        seams.makeMountLink = [&](const SiteConfig& site) -> std::unique_ptr<MountLink> {
          return std::make_unique<IndiMountLink>(*indiWire, *indiMirror, clock,
                                                 IndiLinkSettings{*args.indi, site.siteLatitude, site.siteLongitude},
                                                 window);
        };
      }
      Form1 night(seams, options);
      outcome = night.Form_Load();
      const bool byWindow = qtWindow && qtWindow->closedDuringNight();
      showSummary(byWindow ? describeNight(outcome, "by closing the window") : describeNight(outcome));
    }
  } catch (const Fault& fault) {
    std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
    if (webFeed) webFeed->showStatus(std::string("Fault: ") + fault.what());
    if (qtWindow) {
      // On a desktop nobody reads standard error: the window keeps the
      // message until it is closed.
      qtWindow->showStatus(std::string("Fault: ") + fault.what());
      saveSnapshot();
      if (onScreen) waitForTheWindow();
    }
    return static_cast<int>(fault.status());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vantrel: internal error: %s\n", error.what());
    return static_cast<int>(ExitStatus::runtimeFault);
  }

  int status = 0;
  if (!saveSnapshot()) status = static_cast<int>(ExitStatus::runtimeFault);
  if (outcome.end == NightEnd::mountSilent) {
    std::fprintf(stderr, "vantrel: %s; %s\n", describeSilentMount(outcome).c_str(),
                 outcome.parked ? "it was parked blind" : "mount not parked (parkEnabled is not 1)");
    status = static_cast<int>(ExitStatus::mountSilent);
  } else if (outcome.parkReply == ParkReply::notConfirmed) {
    std::fprintf(stderr, "vantrel: the mount did not confirm the park; it may still point at the sky\n");
    status = static_cast<int>(ExitStatus::runtimeFault);
  }
  // A window closed during the night stays to show the park and the summary;
  // a stop from the terminal (Ctrl-C, SIGTERM) ends the program with it.
  if (onScreen && (outcome.end != NightEnd::stopRequest || qtWindow->closedDuringNight())) {
    int closed = waitForTheWindow();
    return status != 0 ? status : closed;
  }
  return status;
}
