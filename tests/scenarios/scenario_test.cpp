// The runner of the night scenarios: each tests/scenarios/*.night file is one
// whole night told as a story (the site, the targets, the start, how the
// mount behaves, when a stop comes) with what must come out of it (exit
// status, summary, log records, serial commands, console lines). Each runs
// in-process on the simulated clock against the simulated mount, as a real
// night (the line checked at start, the status on the console) or as a
// rehearsal.
//
//   scenario_tests                      run every scenario (one test each)
//   scenario_tests --update [NAME...]   rewrite the expected blocks of the
//                                       scenarios from what came out, for
//                                       review in git diff (never in CI)
//
// The syntax is in tests/scenarios/README.md.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>

#include "e2e/process.h"
#include "night/form1.h"
#include "night/rehearsal.h"
#include "platform/console_window.h"
#include "platform/fault.h"
#include "platform/posix_clock.h"
#include "platform/simulated_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/full_table.h"
#include "support/night_files.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {

const std::string folder = VANTREL_SOURCE_DIR "/tests/scenarios";
bool updating = false;

std::string trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// "\r", "\n", "\t", "\\" and "\xNN" in a scenario's quoted text.
std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) { out += s[i]; continue; }
    char c = s[++i];
    if (c == 'x' && i + 2 < s.size() + 1) out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)), i += 2;
    else out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}



Scenario readScenario(const std::string& name) {
  Scenario scenario{name, {}, {}};
  std::ifstream in(folder + "/" + name + ".night");
  for (std::string line; std::getline(in, line);) scenario.lines.push_back(line);
  for (std::size_t i = 0; i < scenario.lines.size(); ++i) {
    const std::string& line = scenario.lines[i];
    if (line.empty() || line[0] == '#' || line[0] == ' ') continue;
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) throw std::runtime_error(name + " line " + std::to_string(i + 1) + ": no key");
    Section s{trim(line.substr(0, colon)), trim(line.substr(colon + 1)), {}, i + 1, i + 1};
    while (s.endLine < scenario.lines.size() && scenario.lines[s.endLine].rfind("  ", 0) == 0) {
      s.block.push_back(scenario.lines[s.endLine++].substr(2));
    }
    scenario.sections.push_back(s);
  }
  return scenario;
}

// "decLimit 10, dwellMinutes 5" onto the base site.
void applySite(IniValues& ini, const std::string& settings) {
  std::istringstream in(settings);
  for (std::string item; std::getline(in, item, ',');) {
    std::istringstream words(item);
    std::string key;
    double v = 0;
    words >> key >> v;
    std::map<std::string, double*> fields = {
        {"longitude", &ini.longitude}, {"latitude", &ini.latitude}, {"minAltitude", &ini.minAltitude},
        {"decLimit", &ini.decLimit}, {"parkEnabled", &ini.parkEnabled}, {"dwellMinutes", &ini.dwellMinutes},
        {"gridStep", &ini.gridStep}, {"passThroughValue", &ini.passThroughValue},
        {"startDelaySeconds", &ini.startDelaySeconds}, {"raOffset", &ini.raOffset}, {"decOffset", &ini.decOffset}};
    if (key == "nightEnd") ini.nightEnd.assign(12, v);
    else if (key.rfind("nightEnd.", 0) == 0) ini.nightEnd.at(std::stoul(key.substr(9)) - 1) = v;
    else if (key == "port") ini.port = static_cast<int>(v);
    else if (fields.count(key)) *fields[key] = v;
    else throw std::runtime_error("unknown site setting '" + key + "'");
  }
}

// The declination field a hand controller reports for `deg`.
std::string decField(double deg) {
  char text[8];
  std::snprintf(text, sizeof text, "%04lX", static_cast<long>(std::nearbyint(deg * 65536 / 360)) & 0xFFFF);
  return text;
}

// A rule of the mount's position replies: queries `from` to `to` (inclusive).
struct Reply {
  int from = 1, to = INT32_MAX;
  std::string text;  // the whole reply; "$RA" and "$DEC" stand for the goto's fields
};

// "silent", "refuses to open", "vanishes at query N", "answers queries N-M with "TEXT"",
// "reports declination D for queries N-M" (a range "N-" has no end).
void applyMount(SimulatedMount& mount, std::vector<Reply>& replies, int& vanishAt, const std::string& rule) {
  std::smatch m;
  auto range = [](const std::string& from, const std::string& to, const std::string& dash, const std::string& text) {
    const int first = std::stoi(from);
    return Reply{first, !to.empty() ? std::stoi(to) : dash.empty() ? first : INT32_MAX, text};
  };
  if (rule == "silent") {
    mount.setSilent(true);
  } else if (rule == "refuses to open") {
    mount.refuseOpen(true);
  } else if (std::regex_match(rule, m, std::regex(R"(vanishes at query (\d+))"))) {
    vanishAt = std::stoi(m[1]);
  } else if (std::regex_match(rule, m, std::regex(R"re(answers quer(?:y|ies) (\d+)(-?)(\d*) with "(.*)")re"))) {
    replies.push_back(range(m[1], m[3], m[2], unescape(m[4])));
  } else if (std::regex_match(rule, m, std::regex(R"(reports declination (\S+) for quer(?:y|ies) (\d+)(-?)(\d*))"))) {
    replies.push_back(range(m[2], m[4], m[3], "$RA," + decField(std::stod(m[1])) + "#"));
  } else {
    throw std::runtime_error("unknown mount behaviour '" + rule + "'");
  }
}

// A mount event as the simulated mount tells it: "open(1)", "bytes "E"", ...
std::string shown(const MountEvent& e) {
  std::ostringstream text;
  text << e;
  return text.str();
}

// Runs of the same line as one line "LINE (xN)".
std::vector<std::string> folded(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t j = i;
    while (j < lines.size() && lines[j] == lines[i]) ++j;
    out.push_back(j - i > 1 ? lines[i] + " (x" + std::to_string(j - i) + ")" : lines[i]);
    i = j;
  }
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The records of a log, one a line, control characters as \xNN escapes
// (\n as \n); a last piece without its CR LF is marked so.
std::vector<std::string> records(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find("\r\n", at);
    std::string record = text.substr(at, end == std::string::npos ? std::string::npos : end - at), shown;
    for (unsigned char c : record) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += c == '\n' ? std::string("\\n") : c < 0x20 || c == 0x7F ? std::string(hex) : std::string(1, static_cast<char>(c));
    }
    out.push_back(end == std::string::npos ? shown + " (no CR LF)" : shown);
    at = end == std::string::npos ? text.size() : end + 2;
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
    double dec = std::stod(m[2]);
    adf += targetLine(std::string(m[1]) + "    ",
                      raHoursAtAzimuth(start.substr(0, 10), start.substr(11, 5), dec, std::stod(m[3]), longitude),
                      dec) + "\r\n";
  }
  for (const Section* l : s.all("line")) adf += unescape(l->value) + "\r\n";
  return adf;
}

// The files a scenario adds to the folder, by name ("files: examples" puts
// the shipped examples in place of the two inputs).
std::map<std::string, std::string> extraFiles(const Scenario& s) {
  std::map<std::string, std::string> files;
  if (s.value("files") == "examples") {
    for (std::string name : {"vantrel.ini", "vantrel.adf"})
      files[name] = readFile(VANTREL_SOURCE_DIR "/examples/" + name);
  }
  if (s.value("files") == "full table") files["vantrel.adf"] = fullTargetList();
  for (const Section* f : s.all("file")) {
    // "file: NAME" with its lines below, or "file: NAME "BYTES"" as it stands.
    std::smatch m;
    if (std::regex_match(f->value, m, std::regex(R"re((\S+) "(.*)")re"))) {
      files[m[1]] = unescape(m[2]);
      continue;
    }
    std::string text;
    for (const std::string& line : f->block) text += unescape(line) + "\r\n";
    files[f->value] = text;
  }
  return files;
}

// The bytes the mount received, one command a line ("E", "R027D,071C", the
// pass-throughs, "T\x00", "B4000,0000"), runs folded.
std::vector<std::string> commands(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t size = std::string("RPTB").find(bytes[at]) == std::string::npos ? 1
                       : bytes[at] == 'P' ? 8 : bytes[at] == 'T' ? 2 : 10;
    std::string line = shown(MountEvent{MountEvent::Kind::bytes, 0, bytes.substr(at, size)});
    lines.push_back(line.substr(line.find(' ') + 1));
    at += size;
  }
  return folded(lines);
}

Outcome runReal(const Scenario& s);

Outcome runScenario(const Scenario& s) {
  if (s.value("mode") == "real") return runReal(s);
  if (modes().count(s.value("mode"))) return modes().at(s.value("mode"))(s);
  IniValues ini;
  applySite(ini, s.value("site"));
  const std::string start = s.value("start", "2026-12-06T18:00:00");
  MemoryFileStore files = nightStore(ini, targetList(s, start, ini.longitude));
  for (const auto& [name, text] : extraFiles(s)) files.files[name] = text;

  SimulatedClock clock;
  // "2026-12-06T18:00:00 +400 ms": started that far into the second.
  std::smatch startParts;
  std::regex_match(start, startParts, std::regex(R"((\S+)(?: \+(\d+) ms)?)"));
  clock.setCivilMs(civil(startParts[1]) + (startParts[2].matched ? std::stoi(startParts[2]) : 0));
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  std::vector<Reply> replies;
  int vanishAt = 0;
  for (const Section* rule : s.all("mount")) applyMount(mount, replies, vanishAt, rule->value);
  if (!replies.empty() || vanishAt > 0) {
    mount.setPositionScript([&](int query, const std::string& ra, const std::string& dec) -> std::string {
      if (vanishAt > 0 && query >= vanishAt) mount.vanish();
      for (const Reply& r : replies) {
        if (query < r.from || query > r.to) continue;
        return std::regex_replace(std::regex_replace(r.text, std::regex("\\$RA"), ra), std::regex("\\$DEC"), dec);
      }
      return ra + "," + dec + "#";
    });
  }
  StopRequest stop;
  const std::string logName = "log" + start.substr(0, 10) + ".txt";
  if (s.value("disk") == "full") files.failAppends = true;
  // "when: TIME EVENT", each once, at the first move of the clock to TIME or
  // later: "stop" (a stop request), "the mount vanishes", "the log fails"
  // (and every write after it), "an internal error".
  struct Event {
    std::int64_t atMs;
    std::string what;
    bool done = false;
  };
  std::vector<Event> events;
  for (const Section* w : s.all("when")) {
    std::size_t blank = w->value.find(' ');
    events.push_back({civil(w->value.substr(0, blank)), w->value.substr(blank + 1)});
  }
  if (!s.value("stop at").empty()) events.push_back({civil(s.value("stop at")), "stop"});
  if (!events.empty()) {
    clock.onAdvance = [&](std::int64_t ms) {
      for (Event& e : events) {
        if (e.done || ms < e.atMs) continue;
        e.done = true;
        if (e.what == "stop") stop.raise();
        else if (e.what == "the mount vanishes") mount.vanish();
        else if (e.what == "the log fails") files.failAppends = true, throw Fault(logName + ": cannot write: EIO");
        else if (e.what == "an internal error") throw std::runtime_error("vector::at");
        else throw std::logic_error("unknown event '" + e.what + "'");
      }
    };
  }

  char* consoleText = nullptr;
  std::size_t consoleSize = 0;
  std::FILE* console = open_memstream(&consoleText, &consoleSize);
  StatusBoard board;
  const std::string mode = s.value("mode", "night");
  ConsoleWindow::Options options;
  options.forceTerminal = 0;
  options.verbose = s.value("console") == "verbose";
  if (mode == "night") options.board = &board;

  Outcome out;
  std::vector<std::string> warnings;
  std::string logFile = logName;
  {
    ConsoleWindow window(console, options);
    try {
      if (mode == "rehearse") {
        RehearsalResult result = rehearseNight(civil(start), window, files, stop);
        logFile = result.logFileName;
        out.values["summary"] = describeRehearsal(result);
        out.values["exit"] = "0";
      } else {
        NightOptions night;
        night.statusBoard = &board;
        night.checkLineAtStart = true;
        night.resume = s.value("options").find("resume") != std::string::npos;
        night.onWarning = [&](const std::string& w) { warnings.push_back(w); };
        NightOutcome outcome = Form1(NightSeams{clock, mount, window, files, stop}, night).Form_Load();
        out.values["summary"] = describeNight(outcome);
        out.values["exit"] = outcome.end == NightEnd::mountSilent ? "4"
                             : outcome.parkReply == ParkReply::notConfirmed ? "1" : "0";
      }
    } catch (const Fault& fault) {
      out.values["exit"] = std::to_string(static_cast<int>(fault.status()));
      out.values["summary"] = std::string("fault: ") + fault.what();
    }
  }
  std::fclose(console);
  out.blocks["console"] = splitLines(std::string(consoleText, consoleSize));
  std::free(consoleText);
  out.blocks["warnings"] = warnings;
  out.blocks["log"] = files.files.count(logFile) ? records(files.files[logFile]) : std::vector<std::string>{};
  std::vector<std::string> serial;
  for (const MountEvent& e : mount.transcript()) serial.push_back(shown(e));
  out.blocks["serial"] = folded(serial);
  out.blocks["files"];  // none but the inputs is an answer too
  for (const auto& [name, text] : files.files) {
    if (name != "vantrel.ini" && name != "vantrel.adf") out.blocks["files"].push_back(name);
  }
  return out;
}

// A pseudo-terminal for the program's standard output ("console: terminal"):
// what it shows is copied to `copyPath` as it comes, for the "wait for"
// steps, and read back with its control characters escaped.
struct TerminalConsole {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  std::string slave;
  std::atomic<bool> done{false};
  std::thread copier;
  explicit TerminalConsole(const std::string& copyPath) {
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pseudo-terminal");
    slave = ptsname(master);
    winsize size{};
    size.ws_row = 24, size.ws_col = 200;
    ioctl(master, TIOCSWINSZ, &size);
    fcntl(master, F_SETFL, O_NONBLOCK);
    copier = std::thread([this, copyPath] {
      std::ofstream copy(copyPath, std::ios::binary);
      for (char buffer[4096]; !done;) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) copy.write(buffer, n).flush();
        else std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~TerminalConsole() {
    done = true;
    copier.join();
    close(master);
  }
};

// "do: run a second copy" (in the same folder) and "do: run a copy in another
// folder" (whose COM1 leads to the same device): each must stop at once; its
// exit status, standard error and files go to the "copies" block, with the
// process ids of the night under test as $PID (the one started) and $NIGHT.
void runCopy(const std::string& what, const std::string& dir, pid_t first, std::vector<std::string>& copies) {
  e2e::ScratchDir other;
  std::string where = what == "run a second copy" ? dir : other.path;
  if (where != dir) {
    for (std::string name : {"vantrel.ini", "vantrel.adf"})
      e2e::writeFile(other / name, e2e::readFile(dir + "/" + name));
    std::filesystem::create_symlink(std::filesystem::read_symlink(dir + "/COM1"), other / "COM1");
  }
  e2e::Child copy({VANTREL_BINARY, "--console"}, where, where + "/copy.out", where + "/copy.err");
  std::optional<int> status = copy.waitForExit(std::chrono::seconds(20));
  copies.push_back(what + ": exit " + (status ? std::to_string(*status) : "still running"));
  const std::map<std::string, std::string> pids = {{" " + std::to_string(first) + ")", " $PID)"},
      {" " + std::to_string(e2e::childOf(first, std::chrono::seconds(5))) + ")", " $NIGHT)"}, {other.path, "$OTHER"}};
  std::string err = e2e::readFile(where + "/copy.err");
  for (const auto& [from, to] : pids)
    for (std::size_t at; (at = err.find(from)) != std::string::npos;) err.replace(at, from.size(), to);
  for (const std::string& line : splitLines(err)) copies.push_back("  " + line);
  std::filesystem::remove(where + "/copy.out");
  std::filesystem::remove(where + "/copy.err");
  if (where == dir) return;
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(other.path)) names.insert(entry.path().filename());
  for (const std::string& name : names) copies.push_back("  file " + name);
}

// "mode: command lines": the program once for each "run: ARGS" in the folder
// of the scenario, no mount; each run a line of the "runs" block with its exit
// status and the first line it printed (on standard error, else on output).
std::vector<std::string> runEach(const Scenario& s, const std::string& dir) {
  std::vector<std::string> runs;
  for (const Section* run : s.all("run")) {
    std::vector<std::string> args = {VANTREL_BINARY};
    std::istringstream words(run->value);
    for (std::string w; words >> w;) args.push_back(unescape(w));
    e2e::Child child(args, dir, dir + "/out", dir + "/err");
    std::optional<int> status = child.waitForExit(std::chrono::seconds(20));
    std::vector<std::string> err = splitLines(e2e::readFile(dir + "/err"));
    std::vector<std::string> out = splitLines(e2e::readFile(dir + "/out"));
    runs.push_back(run->value + " => " + (status ? std::to_string(*status) : "still running") + ": " +
                   (!err.empty() ? err[0] : !out.empty() ? out[0] : ""));
  }
  return runs;
}

// "held: COM1": the line is held by another program (here the test) with
// TIOCEXCL alone, as a terminal program holds it; root passes that lock only
// with CAP_SYS_ADMIN, so then the program runs without it.
int holdLine(const std::string& path, std::vector<std::string>& args) {
  int holder = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (holder < 0 || ::ioctl(holder, TIOCEXCL) != 0) throw std::runtime_error("cannot hold " + path);
  if (geteuid() == 0) args.insert(args.begin(), {"/usr/bin/setpriv", "--bounding-set", "-sys_admin"});
  return holder;
}

// A real night: the program against vantrel-mountsim on a pseudo-terminal,
// in a scratch folder, at a site where it is night now; "do:" lines act on it
// in order, and it must end within a minute.
Outcome runReal(const Scenario& s) {
  using namespace std::chrono_literals;
  e2e::ScratchDir dir;
  // Targets placed by azimuth stand there now, at a site where it is night now.
  NightNow now(PosixClock::civilMs());
  IniValues ini = s.all("target").empty() ? IniValues{} : now.ini;
  applySite(ini, s.value("site"));
  e2e::writeFile(dir / "vantrel.ini", iniText(ini));
  e2e::writeFile(dir / "vantrel.adf", targetList(s, now.now.dateText + "T" + now.now.timeText, ini.longitude));
  for (const auto& [name, text] : extraFiles(s))
    e2e::writeFile(dir / (name == "log of today" ? "log" + now.now.dateText + ".txt" : name), text);
  // Device claims in a folder of this test's own, never the machine's.
  std::filesystem::create_directory(dir / "claims");
  setenv("VANTREL_LOCK_DIR", (dir / "claims").c_str(), 1);

  std::vector<std::string> simArgs = {MOUNTSIM_BINARY, "--dir", dir.path, "--transcript", dir / "transcript.bin"};
  std::istringstream simWords(s.value("mountsim"));
  for (std::string w; simWords >> w;) simArgs.push_back(w);
  std::optional<e2e::Child> mountsim;
  if (s.value("mountsim") != "none") {
    mountsim.emplace(simArgs, dir.path, dir / "mountsim.err", dir / "mountsim.err");
    if (!e2e::waitForText(dir / "mountsim.err", "vantrel-mountsim: COM1 -> ", 20s))
      throw std::runtime_error("no mountsim");
  }

  // The program with its test-only fault switches (VANTREL_FAULT_...) when asked.
  if (!s.all("run").empty()) return Outcome{{{"runs", runEach(s, dir.path)}}, {}};
  std::vector<std::string> args = {s.value("binary") == "with faults" ? VANTREL_WITH_FAULTS_BINARY : VANTREL_BINARY};
  std::istringstream words(s.value("args", "--console"));
  for (std::string w; words >> w;) args.push_back(w);
  std::vector<std::string> environment;
  for (const Section* e : s.all("env")) environment.push_back(e->value);
  const int holder = !s.all("held").empty() ? holdLine(dir / s.value("held"), args) : -1;
  std::optional<TerminalConsole> terminal;
  if (s.value("console") == "terminal") terminal.emplace(dir / "out");
  // "file size limit: N" fails every write past N bytes of a file, as a full disk does.
  const rlim_t sizeLimit = std::stoul(s.value("file size limit", "0"));
  e2e::Child night(args, dir.path, terminal ? terminal->slave : dir / "out", dir / "err", [&] {
    for (std::string& variable : environment) putenv(variable.data());
    if (sizeLimit == 0) return;
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{sizeLimit, sizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  std::vector<std::string> copies;
  auto transcript = [&] { return e2e::readFile(dir / "transcript.bin"); };
  for (const Section* step : s.all("do")) {
    std::smatch m;
    const std::string& what = step->value;
    auto waitFor = [&](const std::function<bool()>& came) {
      if (!e2e::waitUntil(came, 30s)) ADD_FAILURE() << s.name << ": never came: " << what;
    };
    if (what == "wait for the dwell") {
      waitFor([&] { return transcript().find("EEE") != std::string::npos; });
    } else if (std::regex_match(what, m, std::regex(R"re(wait for "(.*)" in the (transcript|console))re"))) {
      const std::string text = unescape(m[1]), file = m[2] == "console" ? dir / "out" : dir / "transcript.bin";
      waitFor([&] { return e2e::readFile(file).find(text) != std::string::npos; });
    } else if (std::regex_match(what, m, std::regex(R"(wait for the file (\S+))"))) {
      waitFor([&] { return std::filesystem::exists(dir / m[1]); });
    } else if (std::regex_match(what, m, std::regex(R"(wait (\d+) ms)"))) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(m[1])));
    } else if (std::regex_match(what, m, std::regex(R"(signal (\w+)( to the night)?)"))) {
      const std::map<std::string, int> numbers = {{"TERM", SIGTERM}, {"INT", SIGINT}, {"HUP", SIGHUP},
                                                  {"KILL", SIGKILL}, {"STOP", SIGSTOP}, {"CONT", SIGCONT}};
      if (!numbers.count(m[1])) throw std::runtime_error("unknown signal " + std::string(m[1]));
      kill(m[2].matched ? e2e::childOf(night.pid(), 10s) : night.pid(), numbers.at(m[1]));
    } else if (what.rfind("run a ", 0) == 0) {
      runCopy(what, dir.path, night.pid(), copies);
    } else if (std::regex_match(what, m, std::regex(R"(remove (\S+))"))) {
      std::filesystem::remove(dir / m[1]);
    } else {
      throw std::runtime_error("unknown step '" + what + "'");
    }
  }
  Outcome out;
  std::optional<int> status = night.waitForExit(60s);
  out.values["exit"] = status ? std::to_string(*status) : "still running after a minute";
  // The simulator writes what it read a moment after the program sent it.
  std::this_thread::sleep_for(200ms);
  auto lines = [&](const std::string& text) {
    std::vector<std::string> found = splitLines(text);
    for (std::string& line : found) {
      for (std::size_t at; (at = line.find(dir.path)) != std::string::npos;) line.replace(at, dir.path.size(), "$DIR");
    }
    return found;
  };
  out.blocks["console"] = lines(e2e::readFile(dir / "out"));
  out.blocks["stderr"] = lines(e2e::readFile(dir / "err"));
  out.blocks["copies"] = copies;
  if (terminal) {
    terminal.reset();
    out.blocks["console"] = records(e2e::readFile(dir / "out"));
  }
  if (holder >= 0) {
    close(holder);
    for (std::string& line : out.blocks["stderr"])
      line = std::regex_replace(line, std::regex("held by " + std::to_string(getpid()) + " "), "held by $$TEST ");
  }
  out.blocks["log"] = records(e2e::readFile(dir / ("log" + now.now.dateText + ".txt")));
  out.blocks["serial"] = commands(transcript());
  const std::set<std::string> own = {"vantrel.ini", "vantrel.adf", "out", "err", "mountsim.err", "COM1", "claims"};
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    std::string name = entry.path().filename().string();
    if (own.count(name) || name.find("transcript") != std::string::npos) continue;
    out.blocks["files"].push_back(name.rfind("log", 0) == 0                              ? "log of today"
                                  : e2e::readFile(entry.path()).substr(1, 3) == "PNG" ? name + " (a PNG picture)"
                                                                                      : name);
  }
  std::sort(out.blocks["files"].begin(), out.blocks["files"].end());
  for (const Section& e : s.sections) {
    if (e.key.rfind("expect file ", 0) == 0) out.blocks[e.key.substr(7)] = splitLines(e2e::readFile(dir / e.key.substr(12)));
  }
  return out;
}

// An expected line against one that came out: exact, but for "{{regex}}"
// parts.
bool lineMatches(const std::string& want, const std::string& got) {
  if (want.find("{{") == std::string::npos) return want == got;
  std::string pattern;
  for (std::size_t at = 0; at < want.size();) {
    std::size_t open = want.find("{{", at);
    std::string literal = want.substr(at, open == std::string::npos ? std::string::npos : open - at);
    pattern += std::regex_replace(literal, std::regex(R"([.^$|()\[\]{}*+?\\])"), "\\$&");
    if (open == std::string::npos) break;
    std::size_t close = want.find("}}", open);
    std::string part = want.substr(open + 2, close - open - 2);
    // Shorthands for what a real night cannot fix in advance.
    const std::map<std::string, std::string> named = {
        {"DATE", R"(\d{4}-\d\d-\d\d)"}, {"TIME", R"(\d\d:\d\d:\d\d)"}, {"HM", R"(\d\d:\d\d)"},
        {"N", R"(\d+)"}, {"HEX", "[0-9A-F]{4}"}, {"X", R"(-?\d+\.\d+)"}, {"ANY", ".*"}};
    pattern += "(?:" + (named.count(part) ? named.at(part) : part) + ")";
    at = close + 2;
  }
  return std::regex_match(got, std::regex(pattern));
}

bool blockMatches(const std::vector<std::string>& want, const std::vector<std::string>& got) {
  if (want.size() != got.size()) return false;
  for (std::size_t i = 0; i < want.size(); ++i)
    if (!lineMatches(want[i], got[i])) return false;
  return true;
}

// Every "expect KEY:" of the scenario against what came out; with --update the
// blocks are written back instead.
void check(Scenario& s, const Outcome& got) {
  std::vector<std::string> lines = s.lines;
  for (auto it = s.sections.rbegin(); it != s.sections.rend(); ++it) {
    const Section& e = *it;
    if (e.key.rfind("expect ", 0) != 0) continue;
    const std::string what = e.key.substr(7);
    if (got.values.count(what)) {
      if (updating && !lineMatches(e.value, got.values.at(what))) lines[e.firstLine - 1] = e.key + ": " + got.values.at(what);
      else EXPECT_PRED2(lineMatches, e.value, got.values.at(what)) << s.name << " line " << e.firstLine << ": " << e.key;
    } else if (got.blocks.count(what)) {
      const std::vector<std::string>& want = got.blocks.at(what);
      if (updating && !blockMatches(e.block, want)) {
        lines.erase(lines.begin() + static_cast<long>(e.firstLine), lines.begin() + static_cast<long>(e.endLine));
        std::vector<std::string> indented;
        for (const std::string& l : want) indented.push_back("  " + l);
        lines.insert(lines.begin() + static_cast<long>(e.firstLine), indented.begin(), indented.end());
      } else if (!updating) {
        EXPECT_PRED2(blockMatches, e.block, want) << s.name << " line " << e.firstLine << ": " << e.key;
      }
    } else {
      ADD_FAILURE() << s.name << " line " << e.firstLine << ": nothing to compare with '" << e.key << "'";
    }
  }
  if (updating) {
    std::ofstream out(folder + "/" + s.name + ".night");
    for (const std::string& l : lines) out << l << "\n";
  }
}

std::map<std::string, ModeRunner>& modes() {
  static std::map<std::string, ModeRunner> all;
  return all;
}

bool addMode(const std::string& name, ModeRunner run) {
  return modes().emplace(name, std::move(run)).second;
}

namespace {

class Night : public ::testing::TestWithParam<std::string> {};

TEST_P(Night, TurnsOutAsTold) {
  Scenario scenario = readScenario(GetParam());
  ASSERT_FALSE(scenario.sections.empty()) << "an empty scenario";
  check(scenario, runScenario(scenario));
}

std::vector<std::string> scenarioNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".night") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Night, ::testing::ValuesIn(scenarioNames()), [](const auto& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

}  // namespace
}  // namespace vantrel::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--update") vantrel::testing::updating = true;
  }
  return RUN_ALL_TESTS();
}
