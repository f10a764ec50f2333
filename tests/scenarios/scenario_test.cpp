// The runner of the night scenarios: each tests/scenarios/*.night file is one
// whole night told as a story (the site, the targets, the start, how the
// mount behaves, when a stop comes) with what must come out of it (exit
// status, summary, log records, serial commands, console lines). A night runs
// in-process on the simulated clock against the simulated mount, as a real
// night (the line checked at start, the status on the console) or as a
// rehearsal; or as the real program against the mount simulator.
//
//   scenario_tests                      run every scenario (one test each)
//   scenario_tests --update             rewrite the expected blocks of the
//                                       scenarios from what came out, for
//                                       review in git diff (never in CI)
//
// The syntax is in tests/scenarios/README.md.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include <sys/ioctl.h>
#include <sys/resource.h>

#include "console/console_view.h"
#include "e2e/vantrel_fixture.h"
#include "inputs/text_lines.h"
#include "night/form1.h"
#include "night/rehearsal.h"
#include "night/scripted_weather.h"
#include "platform/posix_clock.h"
#include "platform/stop_request.h"
#include "simulation/simulated_mount.h"
#include "scenarios/scenario.h"
#include "support/full_table.h"
#include "tzdb/named_zone.h"

namespace vantrel::testing {

using namespace std::chrono_literals;
const std::string folder = VANTREL_SOURCE_DIR "/tests/scenarios";
static bool updating = false;

std::string trim(const std::string& s) {
  return std::regex_replace(s, std::regex("^ +| +$"), "");
}

// "\r", "\n", "\t", "\\" and "\xNN" in a scenario's quoted text.
std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) { out += s[i]; continue; }
    char c = s[++i];
    if (c == 'x') out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)), i += 2;
    else out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

std::string faultLine(const Fault& fault) {
  return "fault " + std::to_string(static_cast<int>(fault.status())) + ": " + fault.what();
}

// The words of a value (escapes undone) after `first`: a program and its arguments.
static std::vector<std::string> words(const std::string& text, std::vector<std::string> first = {}) {
  std::istringstream in(text);
  for (std::string w; in >> w;) first.push_back(unescape(w));
  return first;
}

// What a scenario's phrase does: the action of the first pattern that matches
// the whole phrase; a phrase no pattern knows is a mistake of the scenario.
using Actions = std::vector<std::pair<std::string, std::function<void(const std::smatch&)>>>;
static void act(const Actions& actions, const std::string& phrase, const std::string& kind) {
  std::smatch m;
  for (const auto& [pattern, action] : actions)
    if (std::regex_match(phrase, m, std::regex(pattern))) return action(m);
  throw std::runtime_error("unknown " + kind + " '" + phrase + "'");
}

static Scenario readScenario(const std::string& name) {
  Scenario scenario{name, {}, {}};
  std::ifstream in(folder + "/" + name + ".night");
  for (std::string line; std::getline(in, line);) scenario.lines.push_back(line);
  for (std::size_t i = 0; i < scenario.lines.size(); ++i) {
    const std::string& line = scenario.lines[i];
    if (line.empty() || line[0] == '#' || line[0] == ' ') continue;
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) throw std::runtime_error(name + " line " + std::to_string(i + 1) + ": no key");
    Section s{trim(line.substr(0, colon)), trim(line.substr(colon + 1)), {}, i + 1, i + 1};
    while (s.endLine < scenario.lines.size() && scenario.lines[s.endLine].rfind("  ", 0) == 0)
      s.block.push_back(scenario.lines[s.endLine++].substr(2));
    scenario.sections.push_back(s);
  }
  return scenario;
}

// "decLimit 10, dwellMinutes 5" onto the base site.
void applySite(IniValues& ini, const std::string& settings) {
  std::map<std::string, double*> fields = {
      {"longitude", &ini.longitude}, {"latitude", &ini.latitude}, {"minAltitude", &ini.minAltitude},
      {"decLimit", &ini.decLimit}, {"parkEnabled", &ini.parkEnabled}, {"dwellMinutes", &ini.dwellMinutes},
      {"gridStep", &ini.gridStep}, {"passThroughValue", &ini.passThroughValue},
      {"startDelaySeconds", &ini.startDelaySeconds}, {"raOffset", &ini.raOffset}, {"decOffset", &ini.decOffset}};
  std::istringstream in(settings);
  for (std::string item; std::getline(in, item, ',');) {
    const std::vector<std::string> pair = words(item);
    const std::string key = pair.at(0);
    const double v = std::stod(pair.at(1));
    if (key == "nightEnd") ini.nightEnd.assign(12, v);
    else if (key.rfind("nightEnd.", 0) == 0) ini.nightEnd.at(std::stoul(key.substr(9)) - 1) = v;
    else if (key == "port") ini.port = v;
    else if (fields.count(key)) *fields[key] = v;
    else throw std::runtime_error("unknown site setting '" + key + "'");
  }
}

// A rule of the mount's position replies: queries from-to (inclusive) get
// the whole reply text, where "$RA" and "$DEC" stand for the goto's fields
// ("": no reply at all).
using Reply = std::tuple<int, int, std::string>;

static void applyMount(SimulatedMount& mount, std::vector<Reply>& replies, const std::string& rule) {
  // The queries "N", "N-M" or "N-" (no end) of a rule, in groups i, i+1 (the dash) and i+2.
  const std::string queries = R"(quer(?:y|ies) (\d+)(-?)(\d*))";
  auto reply = [&](const std::smatch& m, int i, const std::string& text) {
    const int from = std::stoi(m[i]);
    replies.emplace_back(from, m[i + 2].length() ? std::stoi(m[i + 2]) : m[i + 1].length() ? INT32_MAX : from, text);
  };
  act({{"silent", [&](auto&) { mount.setSilent(true); }},
       {"refuses to open", [&](auto&) { mount.refuseOpen(true); }},
       {"answers " + queries + R"re( with "(.*)")re", [&](auto& m) { reply(m, 1, unescape(m[4])); }},
       {R"(reports declination (\S+) for )" + queries, [&](auto& m) {
          // The declination field a hand controller reports.
          char field[8];
          const long steps = static_cast<long>(std::nearbyint(std::stod(m[1]) * 65536 / 360));
          std::snprintf(field, sizeof field, "%04lX", steps & 0xFFFF);
          reply(m, 2, "$RA," + std::string(field) + "#");
        }}},
      rule, "mount behaviour");
}

// A mount event as the simulated mount tells it: "open(1)", "bytes "E"", ...
static std::string shown(const MountEvent& e) {
  std::ostringstream text;
  text << e;
  return text.str();
}

// Runs of the same line as one line "LINE (xN)".
std::vector<std::string> folded(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (std::size_t i = 0, j = 0; i < lines.size(); i = j) {
    while (j < lines.size() && lines[j] == lines[i]) ++j;
    out.push_back(j - i > 1 ? lines[i] + " (x" + std::to_string(j - i) + ")" : lines[i]);
  }
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line); lines.push_back(line))
    if (!line.empty() && line.back() == '\r') line.pop_back();
  return lines;
}

// The records of a log, one a line, control characters as \xNN escapes
// (\n as \n); a last piece without its CR LF is marked so.
std::vector<std::string> records(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0, end; at < text.size(); at = end == std::string::npos ? text.size() : end + 2) {
    end = text.find("\r\n", at);
    std::string shown;
    for (unsigned char c : text.substr(at, end == std::string::npos ? std::string::npos : end - at)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += c == '\n' ? "\\n" : c < 0x20 || c == 0x7F ? std::string(hex) : std::string(1, static_cast<char>(c));
    }
    out.push_back(end == std::string::npos ? shown + " (no CR LF)" : shown);
  }
  return out;
}

// The target list: "target: NAME dec D at azimuth A" placed for `start`
// (YYYY-MM-DDTHH:MM), and "line:" as it stands.
std::string targetList(const Scenario& s, const std::string& start, double longitude) {
  std::string adf;
  for (const Section* t : s.all("target")) {
    std::smatch m;
    if (!std::regex_match(t->value, m, std::regex(R"((.{1,4}) dec (\S+) at azimuth (\S+))")))
      throw std::runtime_error("target: NAME dec D at azimuth A, got '" + t->value + "'");
    const double dec = std::stod(m[2]);
    const double ra = raHoursAtAzimuth(start.substr(0, 10), start.substr(11, 5), dec, std::stod(m[3]), longitude);
    adf += targetLine(std::string(m[1]) + "    ", ra, dec) + "\r\n";
  }
  for (const Section* l : s.all("line")) adf += unescape(l->value) + "\r\n";
  return adf;
}

// The files a scenario adds to the folder, by name ("files: examples" puts
// the shipped examples in place of the two inputs); "file: NAME" with its
// lines below, or "file: NAME "BYTES"" as it stands.
std::map<std::string, std::string> extraFiles(const Scenario& s) {
  std::map<std::string, std::string> files;
  if (s.value("files") == "examples") files = examplesStore().files;
  if (s.value("files") == "full table") files["vantrel.adf"] = fullTargetList();
  if (s.value("files") == "example targets") files["vantrel.adf"] = examplesStore().files["vantrel.adf"];
  for (const Section* f : s.all("file")) {
    std::smatch m;
    const bool quoted = std::regex_match(f->value, m, std::regex(R"re((\S+) "(.*)")re"));
    std::string& text = files[quoted ? std::string(m[1]) : f->value] = quoted ? unescape(m[2]) : "";
    for (const std::string& line : f->block) text += unescape(line) + "\r\n";
  }
  return files;
}

// Every file a night starts with: the site's settings on `ini`, the target
// list placed for `start`, and the scenario's own files.
static std::map<std::string, std::string> inputFiles(const Scenario& s, IniValues ini, const std::string& start) {
  applySite(ini, s.value("site"));
  std::map<std::string, std::string> files = {{"vantrel.ini", iniText(ini)}};
  files["vantrel.adf"] = targetList(s, start, ini.longitude);
  for (const auto& [name, text] : extraFiles(s)) files[name] = text;
  return files;
}

// The bytes the mount received, one command a line ("E", "R027D,071C", the
// pass-throughs, "T\x00", "B4000,0000"), runs folded.
static std::vector<std::string> commands(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, size; at < bytes.size(); at += size) {
    size = bytes[at] == 'P' ? 8 : bytes[at] == 'T' ? 2 : bytes[at] == 'R' || bytes[at] == 'B' ? 10 : 1;
    lines.push_back(shown(MountEvent{MountEvent::Kind::bytes, 0, bytes.substr(at, size)}).substr(6));  // "bytes "
  }
  return folded(lines);
}

// "mode: night" (the default) and "mode: rehearse": in-process on the simulated clock.
static Outcome runInProcess(const Scenario& s) {
  const std::string start = s.value("start", "2026-12-06T18:00:00");
  MemoryFileStore files;
  files.files = inputFiles(s, {}, start);
  files.failAppends = s.value("disk") == "full";
  SimulatedClock clock;
  // "2026-12-06T18:00:00 +400 ms": started that far into the second.
  const std::size_t plus = start.find(" +");
  clock.setCivilMs(civil(start.substr(0, plus)) + (plus == std::string::npos ? 0 : std::stoi(start.substr(plus + 2))));
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  std::vector<Reply> replies;
  for (const Section* rule : s.all("mount")) applyMount(mount, replies, rule->value);
  if (!replies.empty()) {
    mount.setPositionScript([&](int query, const std::string& ra, const std::string& dec) {
      for (const auto& [from, to, text] : replies) {
        if (query >= from && query <= to) return replaced(replaced(text, "$RA", ra), "$DEC", dec);
      }
      return ra + "," + dec + "#";
    });
  }
  StopRequest stop;
  const std::string logName = "log" + start.substr(0, 10) + ".txt";
  // "when: TIME WHAT" and "stop at: TIME", each once, at the first move of the clock to TIME or later.
  std::vector<std::string> events;
  for (const Section* w : s.all("when")) events.push_back(w->value);
  for (const Section* w : s.all("stop at")) events.push_back(w->value + " stop");
  const Actions happenings = {
      {"stop", [&](auto&) { stop.raise(); }},
      {"the mount vanishes", [&](auto&) { mount.vanish(); }},
      {"the log fails", [&](auto&) { files.failAppends = true, throw Fault(logName + ": cannot write: EIO"); }},
      {"an internal error", [](auto&) { throw std::runtime_error("vector::at"); }}};
  clock.onAdvance = [&](std::int64_t ms) {
    for (std::string& e : events) {
      const std::size_t blank = e.find(' ');
      if (!e.empty() && ms >= civil(e.substr(0, blank)))
        act(happenings, std::exchange(e, "").substr(blank + 1), "event");
    }
  };

  // "expect sky:": each pass's chart as a window draws it, the chosen row and the observed ones (runs folded).
  // Every pass begins with a yield, so each sky is seen before the next one.
  struct SkyCharts : EventPump {
    const StatusBoard& board;
    std::vector<std::string>& passes;
    std::uint64_t seen = 0;
    SkyCharts(const StatusBoard& b, std::vector<std::string>& p) : board(b), passes(p) {}
    void processEvents() override {
      if (board.skyCount() == seen) return;
      seen = board.skyCount();
      SkyView sky = board.sky();
      passes.push_back("chosen " + std::to_string(sky.chosenIndex + 1) + ", above " + shortNumber(sky.minAltitude) +
                       ", observed");
      for (std::size_t i = 0; i < sky.points.size(); ++i)
        if (sky.points[i].observed) passes.back() += " " + std::to_string(i + 1);
    }
  };
  char* consoleText = nullptr;
  std::size_t consoleSize = 0;
  std::FILE* console = open_memstream(&consoleText, &consoleSize);
  StatusBoard board(!s.all("expect sky").empty());
  const bool rehearse = s.value("mode") == "rehearse";
  // "options: from dusk, until dawn": both at -12 degrees.
  auto asked = [&](const char* what) { return s.value("options").find(what) != std::string::npos; };
  const SunLimits sun{asked("from dusk") ? -12.0 : std::optional<double>(), asked("until dawn") ? -12.0 : std::optional<double>()};
  // No warnings and no files but the inputs are answers too.
  Outcome out{{{"warnings", {}}, {"files", {}}}, {}};
  std::string logFile = logName;
  {
    ConsoleView view(console, board, {!rehearse, true, s.value("console") == "verbose", 0, stderr});
    SkyCharts charts(board, out.blocks["sky"]);
    EventPumps window;
    window.add(view);
    window.add(charts);
    try {
      if (rehearse) {
        RehearsalResult result = rehearseNight(civil(start), window, files, stop, &board, nullptr, sun);
        logFile = result.logFileName;
        out.values = {{"summary", describeRehearsal(result)}, {"exit", "0"}};
      } else {
        NightOptions night;
        night.checkLineAtStart = true;
        night.resume = s.value("options").find("resume") != std::string::npos;
        night.sun = sun;
        night.onWarning = [&](const std::string& w) { out.blocks["warnings"].push_back(w); };
        // "weather: 2026-12-06T22:14 unsafe rain": a weather device that says so from then on.
        std::vector<WeatherStep> steps;
        for (const Section* w : s.all("weather")) steps.push_back(parseWeatherStep(w->value).value());
        ScriptedWeather weather(clock, steps);
        NightSeams seams{clock, mount, window, files, stop, &board};
        if (!steps.empty()) seams.weather = &weather;
        NightOutcome outcome = Form1(seams, night).Form_Load();
        out.values["summary"] = describeNight(outcome);
        const bool unconfirmed = outcome.parkReply == ParkReply::notConfirmed;
        out.values["exit"] = outcome.end == NightEnd::mountSilent ? "4" : unconfirmed ? "1" : "0";
      }
    } catch (const Fault& fault) {
      out.values["exit"] = std::to_string(static_cast<int>(fault.status()));
      out.values["summary"] = std::string("fault: ") + fault.what();
    }
    charts.processEvents();
  }
  std::fclose(console);
  out.blocks["console"] = splitLines(std::string(consoleText, consoleSize));
  std::free(consoleText);
  out.blocks["log"] = files.files.count(logFile) ? records(files.files[logFile]) : std::vector<std::string>{};
  for (const MountEvent& e : mount.transcript()) out.blocks["serial"].push_back(shown(e));
  out.blocks["serial"] = folded(out.blocks["serial"]);
  out.blocks["sky"] = folded(out.blocks["sky"]);
  for (const auto& [name, text] : files.files)
    if (name != "vantrel.ini" && name != "vantrel.adf") out.blocks["files"].push_back(name);
  return out;
}

// The names in a folder, in order.
static std::set<std::string> names(const std::string& dir) {
  std::set<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) found.insert(entry.path().filename());
  return found;
}

// "do: run a second copy" (in the same folder) and "do: run a copy in another
// folder" (whose COM1 leads to the same device): each must stop at once; its
// exit status, standard error and files go to the "copies" block, with the
// process ids of the night under test as $PID (the one started) and $NIGHT.
static void runCopy(const std::string& what, const std::string& dir, pid_t first, std::vector<std::string>& copies) {
  e2e::ScratchDir other;
  const std::string where = what == "run a second copy" ? dir : other.path;
  if (where != dir) {
    for (std::string name : {"vantrel.ini", "vantrel.adf"}) std::filesystem::copy_file(dir + "/" + name, other / name);
    std::filesystem::create_symlink(std::filesystem::read_symlink(dir + "/COM1"), other / "COM1");
  }
  e2e::Child copy({VANTREL_BINARY, "--console"}, where, where + "/copy.out", where + "/copy.err");
  std::optional<int> status = copy.waitForExit(20s);
  copies.push_back(what + ": exit " + (status ? std::to_string(*status) : "still running"));
  std::string err = replaced(e2e::readFile(where + "/copy.err"), " " + std::to_string(first) + ")", " $PID)");
  err = replaced(err, " " + std::to_string(e2e::childOf(first, 5s)) + ")", " $NIGHT)");
  for (const std::string& line : splitLines(replaced(err, other.path, "$OTHER"))) copies.push_back("  " + line);
  for (std::string name : {"/copy.out", "/copy.err"}) std::filesystem::remove(where + name);
  if (where == dir) return;
  for (const std::string& name : names(other.path)) copies.push_back("  file " + name);
}

// A real night: the program against vantrel-mountsim on a pseudo-terminal,
// in a scratch folder, at a site where it is night now; "do:" lines act on it
// in order, and it must end within a minute.
static Outcome runReal(const Scenario& s) {
  e2e::NightFolder folder;
  const e2e::ScratchDir& dir = folder.dir;
  // Targets placed by azimuth stand there now, at a site where it is night now.
  NightNow now(PosixClock::civilMs());
  const std::string logName = "log" + now.now.dateText + ".txt", transcript = dir / "transcript.bin";
  const IniValues site = s.all("target").empty() ? IniValues{} : now.ini;
  for (const auto& [name, text] : inputFiles(s, site, now.now.dateText + "T" + now.now.timeText))
    e2e::writeFile(dir / (name == "log of today" ? logName : name), text);
  if (s.value("mountsim") != "none") folder.startMountsim(words(s.value("mountsim")));
  // "mode: command lines": the program once for each "run: ARGS", each a line of the "runs" block with its
  // exit status and the first line it printed (on standard error, else on output).
  std::vector<std::string> runs;
  for (const Section* run : s.all("run")) {
    e2e::Child child(words(run->value, {VANTREL_BINARY}), dir.path, dir / "out", dir / "err");
    std::optional<int> status = child.waitForExit(20s);
    std::vector<std::string> err = splitLines(e2e::readFile(dir / "err"));
    std::vector<std::string> out = splitLines(e2e::readFile(dir / "out"));
    runs.push_back(run->value + " => " + (status ? std::to_string(*status) : "still running") + ": " +
                   (!err.empty() ? err[0] : !out.empty() ? out[0] : ""));
  }
  if (!runs.empty()) return Outcome{{{"runs", runs}}, {}};

  // The program with its test-only fault switches (VANTREL_FAULT_...) when asked.
  const bool faults = s.value("binary") == "with faults";
  std::vector<std::string> args =
      words(s.value("args", "--console"), {faults ? VANTREL_WITH_FAULTS_BINARY : VANTREL_BINARY});
  if (!s.value("zone").empty()) args.insert(args.end(), {"--zone", s.value("zone")});
  // In a zone of its own the records are shown with the hour of the clock at the start as $HOUR.
  const std::string hour = civilReading(PosixClock::civilMs()).dateText + " " + PosixClock().now().timeText.substr(0, 3);
  // "held: COM1": the line held by another program (here the test) with TIOCEXCL alone, as a terminal program
  // holds it; root passes that lock only with CAP_SYS_ADMIN, so then the program runs without it.
  const std::string line = s.all("held").empty() ? "" : dir / s.value("held");
  const int holder = line.empty() ? -1 : ::open(line.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (!line.empty() && (holder < 0 || ::ioctl(holder, TIOCEXCL) != 0)) throw std::runtime_error("cannot hold " + line);
  if (holder >= 0 && geteuid() == 0) args.insert(args.begin(), {"/usr/bin/setpriv", "--bounding-set", "-sys_admin"});
  // "console: terminal": a pseudo-terminal, whose output cat copies to "out" as it comes (its
  // read fails once the night has closed the terminal).
  const int master = s.value("console") == "terminal" ? posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
  winsize size{24, 200, 0, 0};
  if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0 || ioctl(master, TIOCSWINSZ, &size) != 0))
    throw std::runtime_error("no pseudo-terminal");
  std::optional<e2e::Child> copier;
  const std::vector<std::string> cat = {"/bin/cat"};
  if (master >= 0) copier.emplace(cat, dir.path, dir / "out", "/dev/null", [&] { dup2(master, 0); });
  // "file size limit: N" fails every write past N bytes of a file, as a full disk does.
  const rlim_t sizeLimit = std::stoul(s.value("file size limit", "0"));
  // On a terminal both outputs go there, as for a person at it.
  const std::string terminal = master >= 0 ? ptsname(master) : "";
  e2e::Child night(args, dir.path, master >= 0 ? terminal : dir / "out", master >= 0 ? terminal : dir / "err", [&] {
    for (const Section* e : s.all("env")) putenv(const_cast<char*>(e->value.c_str()));  // the child execs at once
    if (sizeLimit == 0) return;
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{sizeLimit, sizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
  });

  std::vector<std::string> copies;
  // Until the text shows in the file (or, for no text, the file is there).
  auto waitFor = [&](const std::smatch& step, const std::string& path, const std::string& text) {
    if (!e2e::waitForText(path, text, 30s)) ADD_FAILURE() << s.name << ": never came: " << step[0];
  };
  const std::map<std::string, int> signals = {{"TERM", SIGTERM}, {"INT", SIGINT},   {"HUP", SIGHUP},
                                              {"KILL", SIGKILL}, {"STOP", SIGSTOP}, {"CONT", SIGCONT}};
  const Actions steps = {
      {"wait for the dwell", [&](auto& m) { waitFor(m, transcript, "EEE"); }},
      {R"re(wait for "(.*)" in the (transcript|console|errors))re",
       [&](auto& m) {
         waitFor(m, m[2] == "console" ? dir / "out" : m[2] == "errors" ? dir / "err" : transcript, unescape(m[1]));
       }},
      {R"(wait for the file (\S+))", [&](auto& m) { waitFor(m, dir / m[1], ""); }},
      {R"(wait (\d+) ms)", [](auto& m) { std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(m[1]))); }},
      {R"(signal (TERM|INT|HUP|KILL|STOP|CONT)( to the night)?)",
       [&](auto& m) { kill(m[2].matched ? e2e::childOf(night.pid(), 10s) : night.pid(), signals.at(m[1])); }},
      {"run a second copy|run a copy in another folder",
       [&](auto& m) { runCopy(m[0], dir.path, night.pid(), copies); }},
      {R"(remove (\S+))", [&](auto& m) { std::filesystem::remove(dir / m[1]); }}};
  for (const Section* step : s.all("do")) act(steps, step->value, "step");

  Outcome out;
  std::optional<int> status = night.waitForExit(60s);
  out.values["exit"] = status ? std::to_string(*status) : "still running after a minute";
  // The simulator writes what it read a moment after the program sent it.
  std::this_thread::sleep_for(200ms);
  if (copier) copier->waitForExit(5s);
  for (int fd : {holder, master})
    if (fd >= 0) close(fd);
  auto lines = [&](const std::string& name) {
    const std::string held = "held by " + std::to_string(getpid()) + " ";
    return splitLines(replaced(replaced(e2e::readFile(dir / name), dir.path, "$DIR"), held, "held by $TEST "));
  };
  out.blocks["console"] = master >= 0 ? records(e2e::readFile(dir / "out")) : lines("out");
  out.blocks["stderr"] = lines("err");
  out.blocks["copies"] = copies;
  // Whether the Sun is up at the site, and how far its longitude (chosen where it is night now) lies from
  // the zone's, depend on when the suite runs: those warnings are left out.
  for (const char* block : {"console", "stderr", "copies"}) {
    std::erase_if(out.blocks[block], [](const std::string& l) {
      return l.find("warning: the Sun stands") != l.npos || l.find("warning: your site's noon") != l.npos;
    });
  }
  out.blocks["log"] = records(e2e::readFile(dir / logName));
  if (!s.value("zone").empty())
    for (std::string& record : out.blocks["log"]) record = replaced(record, hour, "$HOUR:");
  out.blocks["serial"] = commands(e2e::readFile(transcript));
  const std::set<std::string> own = {"vantrel.ini", "vantrel.adf", "out", "err", "mountsim.err", "COM1", "claims"};
  for (const std::string& name : names(dir.path)) {
    if (own.count(name) || name.find("transcript") != std::string::npos) continue;
    const bool png = e2e::readFile(dir / name).find("PNG") == 1;
    out.blocks["files"].push_back(name.rfind("log", 0) == 0 ? "log of today" : png ? name + " (a PNG picture)" : name);
  }
  std::sort(out.blocks["files"].begin(), out.blocks["files"].end());
  for (const Section& e : s.sections)
    if (e.key.rfind("expect file ", 0) == 0)
      out.blocks[e.key.substr(7)] = splitLines(e2e::readFile(dir / e.key.substr(12)));
  return out;
}

// An expected line against one that came out: exact, but for "{{regex}}"
// parts and the shorthands for what a real night cannot fix in advance.
static bool lineMatches(const std::string& want, const std::string& got) {
  static const std::map<std::string, std::string> named = {
      {"DATE", R"(\d{4}-\d\d-\d\d)"}, {"TIME", R"(\d\d:\d\d:\d\d)"}, {"HM", R"(\d\d:\d\d)"},
      {"N", R"(\d+)"}, {"HEX", "[0-9A-F]{4}"}, {"X", R"(-?\d+\.\d+)"}, {"ANY", ".*"}};
  if (want.find("{{") == std::string::npos) return want == got;
  // Literal text and parts by turns: the text before each part, the part, ..., the text after the last.
  static const std::regex parts(R"(\{\{(.*?)\}\})");
  std::sregex_token_iterator piece(want.begin(), want.end(), parts, {-1, 1}), end;
  std::string pattern;
  for (bool literal = true; piece != end; ++piece, literal = !literal) {
    const std::string part = *piece;
    if (literal) pattern += std::regex_replace(part, std::regex(R"([.^$|()\[\]{}*+?\\])"), "\\$&");
    else pattern += "(?:" + (named.count(part) ? named.at(part) : part) + ")";
  }
  return std::regex_match(got, std::regex(pattern));
}

static bool blockMatches(const std::vector<std::string>& want, const std::vector<std::string>& got) {
  return want.size() == got.size() && std::equal(want.begin(), want.end(), got.begin(), lineMatches);
}

// Every "expect KEY:" of the scenario against what came out; with --update
// what came out is written back, keeping each expected line that still matches.
static void check(Scenario& s, const Outcome& got) {
  for (auto e = s.sections.rbegin(); e != s.sections.rend(); ++e) {
    if (e->key.rfind("expect ", 0) != 0) continue;
    const std::string what = e->key.substr(7), where = s.name + " line " + std::to_string(e->firstLine) + ": " + e->key;
    const bool value = got.values.count(what) > 0;
    EXPECT_TRUE(value || got.blocks.count(what)) << where << ": nothing to compare with";
    if (!value && !got.blocks.count(what)) continue;
    const std::vector<std::string> want = value ? std::vector{e->value} : e->block;
    const std::vector<std::string> came = value ? std::vector{got.values.at(what)} : got.blocks.at(what);
    if (!updating) {
      EXPECT_PRED2(blockMatches, want, came) << where;
      continue;
    }
    // A value stands on the key's line, a block on the lines below it.
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < came.size(); ++i) {
      const bool still = i < want.size() && lineMatches(want[i], came[i]);
      kept.push_back((value ? e->key + ": " : "  ") + (still ? want[i] : came[i]));
    }
    const auto from = s.lines.begin() + static_cast<long>(e->firstLine - value);
    const auto to = s.lines.begin() + static_cast<long>(value ? e->firstLine : e->endLine);
    s.lines.insert(s.lines.erase(from, to), kept.begin(), kept.end());
  }
  if (!updating) return;
  std::ofstream out(folder + "/" + s.name + ".night");
  for (const std::string& l : s.lines) out << l << "\n";
}

std::map<std::string, ModeRunner>& modes() {
  static std::map<std::string, ModeRunner> all;
  return all;
}

bool addMode(const std::string& name, ModeRunner run) { return modes().emplace(name, std::move(run)).second; }

namespace {

const bool added = addMode("night", runInProcess) && addMode("rehearse", runInProcess) &&
                   addMode("real", runReal) && addMode("command lines", runReal);

class Night : public ::testing::TestWithParam<std::string> {};

TEST_P(Night, TurnsOutAsTold) {
  Scenario scenario = readScenario(GetParam());
  ASSERT_FALSE(scenario.sections.empty()) << "an empty scenario";
  const std::string mode = scenario.value("mode", "night");
  ASSERT_TRUE(modes().count(mode)) << "no mode '" << mode << "'";
  // "zone: Europe/Berlin": the night's civil time, as --zone gives it.
  auto inZone = [&](const std::string& zone) {
    const std::shared_ptr<const CivilZone> before = sharedCivilZone();
    if (!zone.empty()) setCivilZone(zoneFromOption(zone));
    Outcome got = modes().at(mode)(scenario);
    setCivilZone(before);
    return got;
  };
  const Outcome got = inZone(scenario.value("zone"));
  check(scenario, got);
  // The design's zone by offset or by name changes no byte of a night.
  for (const char* same : {"UTC+9", "Asia/Tokyo"}) {
    if ((mode != "night" && mode != "rehearse") || !scenario.value("zone").empty() || updating) break;
    Outcome again = inZone(same);
    // Only the zone's name in the warnings differs.
    for (std::string& w : again.blocks["warnings"]) w = replaced(replaced(w, "Asia/Tokyo", "UT+9"), "UTC+09:00", "UT+9");
    EXPECT_EQ(again.blocks, got.blocks) << "in " << same;
    EXPECT_EQ(again.values, got.values) << "in " << same;
  }
}

std::vector<std::string> scenarioNames() {
  std::vector<std::string> found;
  for (const std::filesystem::path name : names(folder))
    if (name.extension() == ".night") found.push_back(name.stem());
  return found;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Night, ::testing::ValuesIn(scenarioNames()), [](const auto& info) {
  return std::regex_replace(info.param, std::regex("[^A-Za-z0-9]"), "_");
});

}  // namespace
}  // namespace vantrel::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) vantrel::testing::updating |= std::string(argv[i]) == "--update";
  return RUN_ALL_TESTS();
}
