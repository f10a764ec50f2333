#include "app/command_line.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <variant>

#include "indi/indi_client.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/hook_runner.h"
#include "platform/posix_clock.h"
#include "simulation/simulated_clock.h"
#include "tzdb/named_zone.h"
#include "zone/civil_zone.h"

namespace vantrel {
namespace {

const char* const usageHead =
    "usage: vantrel [--console] [--verbose] [--rehearse [START] | --indi DEVICE[@HOST[:PORT]]]\n"
    "               [--resume] [--no-device-claim]\n"
    "               [--weather DEVICE[@HOST[:PORT]] [--weather-safe-minutes M]\n"
    "                [--weather-grace SECONDS]]\n"
    "               [--snapshot FILE.png]\n"
    "               [--web [ADDR:]PORT [--web-token FILE] [--web-linger MINUTES]]\n"
    "               [--zone ZONE] [--from-dusk [ALT]] [--until-dawn [ALT]]\n"
    "               [--notify COMMAND]\n"
    "       vantrel --plan [START] [--nights N] [--csv FILE] [--svg FILE.svg] [--zone ZONE] ...\n"
    "       vantrel --check [START] [--mount] [--indi DEVICE[@HOST[:PORT]]]\n"
    "                       [--weather DEVICE[@HOST[:PORT]]] [--zone ZONE] ...\n"
    "       vantrel --park [--indi DEVICE[@HOST[:PORT]]]\n"
    "       vantrel --help | --version\n"
    "\n"
    "Runs an observing night from the files of the working directory:\n"
    "  vantrel.ini   site, serial port, end of night per month, limits, timings\n"
    "  vantrel.adf   targets (1950.0 positions) with their grid masks\n"
    "and writes the night's log to logYYYY-MM-DD.txt (records are appended).\n"
    "\n";

const char* const usageTail =
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

// The column where an option's help starts.
constexpr std::size_t helpColumn = 21;

[[noreturn]] void usageError(const std::string& message) {
  std::fprintf(stderr, "vantrel: %s\n(try vantrel --help)\n", escapedForDisplay(message).c_str());
  std::exit(static_cast<int>(ExitStatus::usage));
}

// START of --rehearse, --plan and --check: the next word, unless it is an option.
void optionalStart(Arguments& args, CommandWords& w) {
  if (w.more() && w.peek()[0] != '-') args.start = w.next();
}

std::string fileName(CommandWords& w, const char* example) {
  if (!w.more() || w.peek()[0] == '\0') usageError(std::string(w.argv[w.at]) + " needs a file name, e.g. " + example);
  return w.next();
}

// A whole number from min to max as the next word.
int wholeNumber(CommandWords& w, const char* unit, long min, long max) {
  const std::string name = w.argv[w.at], range = std::to_string(min) + " to " + std::to_string(max);
  if (!w.more()) usageError(name + " needs a number of " + unit + " (" + range + ")");
  const std::string text = w.next();
  // Whole digits only: strtol alone would take " 5" and "+5".
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  errno = 0;
  const long n = digits ? std::strtol(text.c_str(), nullptr, 10) : 0;
  if (!digits || errno != 0 || n < min || n > max) {
    usageError(name + " must be a whole number from " + range + ", got '" + text + "'");
  }
  return static_cast<int>(n);
}

// The optional ALT of --from-dusk and --until-dawn: a number from -18 to 0
// when the next word is one ("-12", "-6.5"); -12 when it is not.
double sunAltitudeArgument(CommandWords& w) {
  constexpr double nauticalTwilightDeg = -12;
  if (!w.more()) return nauticalTwilightDeg;
  const std::string text = w.peek();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  const bool number = !text.empty() && end == text.c_str() + text.size() && errno == 0 &&
                      text.find_first_of("0123456789") != std::string::npos && text.find_first_of("xXpPnN") == std::string::npos;
  if (!number) return nauticalTwilightDeg;
  const std::string option = w.argv[w.at];
  w.next();
  if (!(value >= -18 && value <= 0)) {
    usageError(option + " " + text + ": the Sun's altitude must be from -18 (astronomical twilight) to 0 (the horizon)");
  }
  return value;
}

void takeWebValue(std::string& value, CommandWords& w) {
  if (!w.more()) usageError(std::string(w.argv[w.at]) + " needs a value");
  value = w.next();
}

constexpr unsigned everyRun = nightRun | rehearseRun | planRun | checkRun | parkRun;
constexpr unsigned anyNight = nightRun | rehearseRun;

// The option that selects a way of running, for "--mount goes with --check".
const char* runOption(unsigned mode) {
  return mode == planRun ? "--plan" : mode == checkRun ? "--check" : mode == parkRun ? "--park" : "--rehearse";
}

unsigned runOf(const Arguments& a) {
  return a.plan ? planRun : a.check ? checkRun : a.park ? parkRun : a.rehearse ? rehearseRun : nightRun;
}

}  // namespace

const std::vector<Option>& options() {
  using A = Arguments;
  using W = CommandWords;
  static const std::vector<Option> table = {
      {"--console", "",
       "use the terminal as the window even when a display is there;\n"
       "the night's status is one line, rewritten in place on a\n"
       "terminal, one line per change of phase otherwise",
       anyNight, [](A& a, W&) { a.console = true; }},
      {"--verbose", "", "print each new title even when the output is not a terminal", anyNight,
       [](A& a, W&) { a.verbose = true; }},
      {"--resume", "",
       "take as observed the rows that tonight's logs (since 12:00\n"
       "site time, so also yesterday's file after midnight) record\n"
       "with the same row number and target text",
       nightRun, [](A& a, W&) { a.resume = true; }},
      {"--no-device-claim", "",
       "drive a serial device that cannot be claimed against a copy\n"
       "in another folder (claim folder missing or read-only) with\n"
       "a warning, instead of stopping with status 1",
       nightRun | checkRun, [](A& a, W&) { a.noDeviceClaim = true; }},
      {"--snapshot", "FILE.png",
       "write the window's picture (status, sky chart, records)\n"
       "at the end of the night or rehearsal; without a display\n"
       "(or with --console) the window is drawn off-screen",
       anyNight, [](A& a, W& w) { a.snapshot = fileName(w, "night.png"); }},
      {"--rehearse", "[START]",
       "run the whole night at once on a simulated clock against a\n"
       "simulated mount; START is YYYY-MM-DDTHH:MM[:SS] in the\n"
       "site's civil time (see --zone), by default 18:00 today. The log\n"
       "goes to rehearsal-logYYYY-MM-DD.txt; no port is opened.",
       rehearseRun, [](A& a, W& w) {
         a.rehearse = true;
         optionalStart(a, w);
       }},
      {"--indi", "DEVICE[@HOST[:PORT]]",
       "drive the mount DEVICE of the INDI server at HOST:PORT\n"
       "(default localhost:7624) instead of the serial port; the\n"
       "port number of vantrel.ini is not used",
       nightRun | checkRun | parkRun,
       [](A& a, W& w) {
         if (!w.more()) usageError("--indi needs DEVICE[@HOST[:PORT]], e.g. --indi \"Telescope Simulator\"");
         const std::string text = w.next();
         auto address = parseIndiAddress(text);
         if (auto* message = std::get_if<std::string>(&address)) usageError("--indi '" + text + "': " + *message);
         a.indi = std::get<IndiAddress>(address);
       }},
      {"--weather", "DEVICE[@HOST[:PORT]]",
       "watch the INDI weather device DEVICE (its WEATHER_STATUS\n"
       "lights; server as for --indi): when it turns unsafe, or is\n"
       "not heard for --weather-grace, end the dwell, park\n"
       "(parkEnabled 1) and wait; go on once it has been safe for\n"
       "--weather-safe-minutes. With --check: show its state",
       nightRun | checkRun,
       [](A& a, W& w) {
         if (!w.more() || w.peek()[0] == '-') {
           usageError("--weather needs DEVICE[@HOST[:PORT]], e.g. --weather \"Weather Simulator\"");
         }
         const std::string text = w.next();
         auto address = parseIndiAddress(text);
         if (auto* message = std::get_if<std::string>(&address)) usageError("--weather '" + text + "': " + *message);
         a.weather = std::get<IndiAddress>(address);
       }},
      {"--weather-safe-minutes", "M",
       "with --weather: how long the weather must stay safe, without\n"
       "a break, before a night parked for it goes on (1 to 720,\n"
       "default 30)",
       nightRun,
       // Half a day: a longer wait would outlast any night.
       [](A& a, W& w) { a.weatherSafeMinutes = wholeNumber(w, "minutes", 1, 720); }, "--weather"},
      {"--weather-grace", "SECONDS",
       "with --weather: how long a weather device that cannot be\n"
       "heard (its server or the device gone) is trusted before\n"
       "the night counts it unsafe (5 to 3600, default 60)",
       nightRun,
       // Under 5 s a server restarted, or a slow reconnect, would park the
       // mount; an hour of rain unheard is more than any mount should bear.
       [](A& a, W& w) { a.weatherGraceSeconds = wholeNumber(w, "seconds", 5, 3600); }, "--weather"},
      {"--plan", "[START]",
       "rehearse the night from START (as --rehearse) and print\n"
       "tonight's plan: every pointing with its goto and the end\n"
       "of its dwell, and the rows never observed with the reason.\n"
       "Writes no file, except with",
       planRun, [](A& a, W& w) {
         a.plan = true;
         optionalStart(a, w);
       }},
      {"--svg", "FILE.svg",
       "with --plan: the plan as a picture (altitude curves, a bar\n"
       "per pointing, the rows never observed); one night only",
       planRun, [](A& a, W& w) { a.svg = fileName(w, "plan.svg"); }},
      {"--nights", "N",
       "with --plan: N nights in a row (1 to 366), each rehearsed\n"
       "from START's time of day with every target free; prints\n"
       "each night's timeline, then every list line with the\n"
       "nights on which each of its pointings is observed, and\n"
       "the lines never observed in the period with the reason",
       planRun,
       // A year and a day: enough for any season, small enough to print.
       [](A& a, W& w) {
         a.nights = wholeNumber(w, "nights", 1, 366);
         a.nightsGiven = true;
       }},
      {"--csv", "FILE",
       "with --plan: also write one record per pointing (the goto\n"
       "time on each night, or the reason it is never observed)\n"
       "to FILE for a spreadsheet",
       planRun, [](A& a, W& w) { a.csvFile = fileName(w, "plan.csv"); }},
      {"--check", "[START]",
       "before a real night: the site configuration, every target\n"
       "line as read, every warning about the two files, tonight's\n"
       "plan (rehearsed from START, by default now) and the serial\n"
       "line (which device, whether it is there and opens). Never\n"
       "sends a goto, never writes a log. Exit status 0 when all\n"
       "is well, 5 when there are warnings, 3 for refused input",
       checkRun, [](A& a, W& w) {
         a.check = true;
         optionalStart(a, w);
       }},
      {"--mount", "",
       "with --check: also ask the mount for its position (one\n"
       "query; it must answer within a second)\n"
       "With --indi, --check looks at the INDI server and device\n"
       "instead of the serial line; --mount also connects the\n"
       "device and reads its position and park state",
       checkRun, [](A& a, W&) { a.askMount = true; }},
      {"--web", "[ADDR:]PORT",
       "serve the night's status over HTTP: a page (/),\n"
       "/status.json, /log.txt and /plan.json. A bare PORT serves\n"
       "this computer only (127.0.0.1); port 0 picks a free one.\n"
       "Any other ADDR (e.g. 0.0.0.0:8080) needs --web-token.",
       anyNight, [](A& a, W& w) { takeWebValue(a.webAddress, w); }},
      {"--web-token", "FILE",
       "the first line of FILE (16 or more of A-Z a-z 0-9 . _ ~ -)\n"
       "must come with every request: once as /?token=TOKEN (a\n"
       "cookie keeps it) or as \"Authorization: Bearer TOKEN\".\n"
       "With it the page has a button that stops the night and\n"
       "parks, as a first Ctrl-C does.",
       anyNight, [](A& a, W& w) { takeWebValue(a.webTokenFile, w); }, "--web", "needs"},
      {"--web-linger", "MINUTES",
       "with --web: keep serving the ended night's status, summary\n"
       "and log for MINUTES after the night (default 15; Ctrl-C or\n"
       "SIGTERM ends it at once)",
       anyNight,
       // A day at most: the page of a night is of no use the next evening.
       [](A& a, W& w) { a.webLingerMinutes = wholeNumber(w, "minutes", 0, 1440); },
       "--web"},
      {"--notify", "COMMAND",
       "run COMMAND at each event of the night (start, target,\n"
       "unsafe, safe, park, end, fault), one at a time and never\n"
       "waited for, with VANTREL_EVENT, VANTREL_TEXT (the line a\n"
       "person reads), VANTREL_LOG and VANTREL_EXIT (end, fault)\n"
       "set; no shell: split into words as systemd's ExecStart\n"
       "does (quotes group, backslash escapes). A hook is killed\n"
       "after 30 s; the first failure is one warning",
       nightRun,
       [](A& a, W& w) {
         if (!w.more()) usageError("--notify needs a command, e.g. --notify /usr/share/doc/vantrel/examples/notify-ntfy.sh");
         const std::string text = w.next();
         try {
           a.notify = splitCommand(text);
         } catch (const Fault& fault) {
           usageError("--notify '" + text + "': " + fault.what());
         }
       }},
      {"--zone", "ZONE",
       "the site's civil time for every time the night reads and\n"
       "prints (log name and records, START, status, end of the\n"
       "night): a zone name (Europe/Berlin, America/New_York),\n"
       "a fixed offset (UTC+01:00, UTC-05, UTC+9) or local (the\n"
       "computer's zone, TZ or /etc/localtime). Default UT+9",
       everyRun,
       [](A& a, W& w) {
         if (!w.more()) usageError("--zone needs a zone, e.g. --zone Europe/Berlin, --zone UTC-05 or --zone local");
         try {
           setCivilZone(zoneFromOption(w.next()));
           a.zoneGiven = true;
         } catch (const Fault& fault) {
           usageError(fault.what());
         }
       }},
      {"--from-dusk", "[ALT]",
       "after the start-up wait, wait until the Sun's centre is\n"
       "below ALT degrees (default -12, nautical twilight)",
       everyRun & ~parkRun, [](A& a, W& w) { a.sun.duskDeg = sunAltitudeArgument(w); }},
      {"--until-dawn", "[ALT]",
       "also end the night (through the park) when the Sun rises\n"
       "above ALT degrees (default -12) after it was below it",
       everyRun & ~parkRun, [](A& a, W& w) { a.sun.dawnDeg = sunAltitudeArgument(w); }},
      {"--park", "",
       "park the mount now (the port of vantrel.ini, or --indi)\n"
       "and say whether it took the park: exit status 0 when it\n"
       "did, 4 when it did not answer, 1 when it refused",
       parkRun, [](A& a, W&) { a.park = true; }},
      {"--help", "", "print this text and exit (also -h)", everyRun,
       [](A&, W&) {
         std::fputs(usageText().c_str(), stdout);
         std::exit(0);
       }},
      {"--version", "", "print the version and exit", everyRun,
       [](A&, W&) {
         std::puts("vantrel 1.10");
         std::exit(0);
       }},
  };
  return table;
}

std::string usageText() {
  std::string text = usageHead;
  const std::string indent(helpColumn, ' ');
  for (const Option& o : options()) {
    std::string head = std::string("  ") + o.name + (*o.value ? " " : "") + o.value;
    text += head.size() < helpColumn ? head + std::string(helpColumn - head.size(), ' ') : head + "\n" + indent;
    for (const char* c = o.help; *c; ++c) text += *c == '\n' ? "\n" + indent : std::string(1, *c);
    text += "\n";
  }
  return text + usageTail;
}

Arguments parseArguments(int argc, char** argv) {
  Arguments args;
  std::set<std::string> given;
  CommandWords w{argc, argv, 1};
  for (; w.at < argc; ++w.at) {
    const std::string a = argv[w.at] == std::string("-h") ? "--help" : argv[w.at];
    const Option* option = nullptr;
    for (const Option& o : options())
      if (a == o.name) option = &o;
    if (option == nullptr) usageError("unknown argument '" + a + "'");
    option->take(args, w);
    given.insert(a);
  }
  // An empty address serves nothing.
  if (args.webAddress.empty()) given.erase("--web");
  if (args.plan && args.rehearse) usageError("--plan and --rehearse cannot be given together");
  if (args.park && (args.plan || args.rehearse || args.check || args.resume || args.snapshot || args.start ||
                    !args.webAddress.empty() || args.console || args.sun.duskDeg || args.sun.dawnDeg)) {
    usageError("--park goes alone (with --indi for an INDI mount)");
  }
  if ((args.check || args.plan) && !args.webAddress.empty()) {
    usageError(std::string(args.check ? "--check" : "--plan") + " serves no status page; leave out --web");
  }
  if (args.check && (args.plan || args.rehearse || args.resume)) {
    usageError("--check goes alone (with --mount, --indi, --weather and START)");
  }
  // What the table can say: an option of one way of running, or one that needs another option.
  for (const Option& o : options()) {
    if (!given.count(o.name)) continue;
    if (std::has_single_bit(o.modes) && o.modes != nightRun && !(o.modes & runOf(args))) {
      usageError(std::string(o.name) + " goes with " + runOption(o.modes));
    }
    if (o.with && !given.count(o.with)) usageError(std::string(o.name) + " " + o.withVerb + " " + o.with);
  }
  if (args.indi && (args.rehearse || args.plan)) {
    usageError("--rehearse and --plan run on their own simulated mount; leave out --indi");
  }
  if (args.indi && !indiBuiltIn()) {
    usageError("--indi: this vantrel was built without INDI (install libindi-dev and build with -DVANTREL_WITH_INDI=ON)");
  }
  if (args.weather && (args.rehearse || args.plan || args.park)) {
    usageError("--weather watches the sky of a real night or of --check; leave it out of --rehearse, --plan and --park");
  }
  if (args.weather && !indiBuiltIn()) {
    usageError("--weather: this vantrel was built without INDI (install libindi-dev and build with -DVANTREL_WITH_INDI=ON)");
  }
  if (args.check && given.count("--weather-safe-minutes")) usageError("--weather-safe-minutes goes with a night, not --check");
  // --check reads the device once, with a wait of its own: nothing to trust it for.
  if (args.check && given.count("--weather-grace")) usageError("--weather-grace goes with a night, not --check");
  if (args.plan && args.snapshot) usageError("--snapshot is for a night or a rehearsal, not for --plan");
  if (args.svg && args.nights != 1) usageError("--svg draws one night; leave out --nights");
  // A rehearsal or a plan is a whole night from its start; it reads no real log.
  if (args.resume && (args.rehearse || args.plan)) {
    usageError(std::string(args.plan ? "--plan" : "--rehearse") + " and --resume cannot be given together");
  }
  if (!args.notify.empty() && runOf(args) != nightRun) {
    usageError("--notify is for a real night; leave it out of --rehearse, --plan, --check and --park");
  }
  if (args.noDeviceClaim && (args.plan || args.rehearse || args.indi || args.park)) {
    usageError("--no-device-claim is for a night or a check on a serial port");
  }
  return args;
}

std::int64_t rehearsalStart(const Arguments& args) {
  if (args.start) {
    std::optional<std::int64_t> start = SimulatedClock::parseCivilTime(*args.start);
    if (!start) {
      usageError(std::string(args.plan ? "--plan" : args.check ? "--check" : "--rehearse") +
                 ": START must be YYYY-MM-DDTHH:MM[:SS], got '" + *args.start + "'");
    }
    return *start;
  }
  constexpr std::int64_t msPerDay = 86400000;
  std::int64_t today = PosixClock::civilMs() / msPerDay * msPerDay;
  return today + 18 * 3600 * 1000LL;
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

}  // namespace vantrel
