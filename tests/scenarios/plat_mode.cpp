// "mode: platform": the pieces between the night and the machine, one case a
// line. Each key names a kind of case and its value is the input; what came
// out goes to "expect results:", the input first. Scratch folders, the
// pseudo-terminal and this process's id are shown as <dir>, <pty> and <pid>.
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <regex>
#include <thread>

#include "e2e/process.h"
#include "night/form1.h"
#include "night/scripted_weather.h"
#include "console/console_view.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"
#include "platform/hook_runner.h"
#include "platform/night_guard.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "simulation/simulated_mount.h"
#include "platform/stop_request.h"
#include "scenarios/scenario.h"
#include "status/night_status.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string faultOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Fault& f) {
    return std::string(f.what()) + " (status " + std::to_string(static_cast<int>(f.status())) + ")";
  }
  return "no fault";
}

// A second copy in a folder whose vantrel.lock holds this.
Lines folderLock(const std::string& content) {
  e2e::ScratchDir dir;
  FolderLock first(dir.path);
  e2e::writeFile(dir / "vantrel.lock", unescape(content));
  return {faultOf([&] { FolderLock second(dir.path); })};
}

// "exit 129" or "signal 9": how the guard takes the night's ending.
Lines nightEnding(const std::string& how) {
  const int number = std::stoi(how.substr(how.find(' ') + 1));
  const ChildEnding e = childEnding(how.rfind("exit", 0) == 0 ? number << 8 : number);
  return {"status " + std::to_string(e.status) + (e.leftOnPurpose ? ", left on purpose" : "")};
}

// "read fifo zero": one file store operation on names that stand in a prepared folder.
Lines fileStore(const std::string& value) {
  e2e::ScratchDir dir;
  ::mkfifo((dir / "fifo").c_str(), 0644);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "loop", dir / "loop");
  e2e::writeFile(dir / "huge", "");
  fs::resize_file(dir / "huge", FileStore::maxReadBytes + 1);  // sparse
  e2e::writeFile(dir / "outside", "kept");
  fs::create_symlink(dir / "outside", dir / "link");
  PosixFileStore store(dir.path);
  const std::map<std::string, std::function<void(const std::string&)>> operations = {
      {"read", [&](const std::string& n) { store.readAll(n); }},
      {"createKeeping", [&](const std::string& n) { store.createKeeping(n); }},
      {"append", [&](const std::string& n) { store.appendDurably(n, "x\r\n"); }},
      {"readPieces", [&](const std::string& n) { store.readPieces(n, [](std::string_view) { return true; }); }},
  };
  std::istringstream words(value);
  std::string operation, name;
  Lines out;
  for (words >> operation; words >> name;) out.push_back(faultOf([&] { operations.at(operation)(name); }));
  out.push_back("outside: " + store.readAll("outside").value_or("gone"));
  return out;
}

// A rehearsed-clock night of the examples with the look-ahead on: the first and the
// last status of every phase and row, with where the mount stood; a dwell that does
// not count up by one second is said.
// "START; STEP; ...; TIME stop": with a weather device that follows the steps (scripted_weather.h).
Lines statusOfANight(const std::string& value, bool everyStatus) {
  MemoryFileStore files = examplesStore();
  std::vector<std::string> parts;
  std::istringstream in(value);
  for (std::string part; std::getline(in >> std::ws, part, ';');) parts.push_back(part);
  SimulatedClock clock(civil(parts[0]));
  SimulatedMount mount;
  NoEvents events;
  StopRequest stop;
  std::vector<WeatherStep> steps;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (auto step = parseWeatherStep(parts[i])) steps.push_back(*step);
    else clock.raiseStopAt(civil(parts[i].substr(0, 16)), stop);
  }
  ScriptedWeather weather(clock, steps);
  StatusBoard board;
  std::vector<NightStatus> seen;
  board.setListener([&](StatusBoard::Change c) {
    if (c == StatusBoard::Change::status) seen.push_back(board.status());
  });
  NightOptions options;
  options.lookAhead = true;
  options.weatherSafeMinutes = 10;
  Form1(NightSeams{clock, mount, events, files, stop, &board, {}, {}, steps.empty() ? nullptr : &weather}, options)
      .Form_Load();
  Lines out = {"log: '" + seen.front().logFileName + "' then '" + seen.back().logFileName + "'; files:"};
  for (const auto& [name, text] : files.files) out.back() += " " + name;
  char where[48];
  for (std::size_t i = 0; everyStatus && i < seen.size(); ++i) {
    const NightStatus& s = seen[i];
    const bool first = i == 0 || seen[i - 1].phase != s.phase || seen[i - 1].row != s.row;
    const bool last = i + 1 == seen.size() || seen[i + 1].phase != s.phase || seen[i + 1].row != s.row;
    if (!first && s.dwellElapsedSeconds != seen[i - 1].dwellElapsedSeconds + (s.phase == NightPhase::observing))
      out.push_back("the dwell jumped from " + std::to_string(seen[i - 1].dwellElapsedSeconds));
    if (!first && !last) continue;
    std::snprintf(where, sizeof where, " [alt %.0f az %.0f]", s.mountAltDeg, static_cast<double>(s.mountAzDeg));
    out.push_back(clockText(s.nowSeconds) + " " + statusLine(s) + (s.phase == NightPhase::observing ? where : ""));
  }
  return out;
}

// Runs `action` on a thread of its own, without CAP_SYS_ADMIN and the file mode overrides when `unprivileged`
// (capset changes only the calling thread): then TIOCEXCL and file modes hold even as root.
void onThread(bool unprivileged, const std::function<void()>& action) {
  std::exception_ptr thrown;
  std::thread([&] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ::syscall(SYS_capget, &header, data);
    for (int c : {CAP_SYS_ADMIN, CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
      if (unprivileged) data[c / 32].effective &= ~(1u << (c % 32));
    ::syscall(SYS_capset, &header, data);
    try {
      action();
    } catch (...) {
      thrown = std::current_exception();
    }
  }).join();
  if (thrown) std::rethrow_exception(thrown);
}

// What comes out of `fd` until `count` bytes, or nothing came for 5 s (a hang guard no case waits for).
std::string received(int fd, std::size_t count) {
  std::string got;
  char buffer[512];
  for (pollfd ready{fd, POLLIN, 0}; got.size() < count && ::poll(&ready, 1, 5000) > 0;) {
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

// "A open; A close; G takes A; G send E": ports on a pseudo-terminal that they open
// through a "COM1" link in a scratch folder, with their claims in a folder of the case's own.
Lines serialLine(const std::string& script) {
  e2e::ScratchDir dir;
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) throw std::runtime_error("no pty");
  const std::string device = ::ptsname(master), locks = dir / "locks";
  fs::create_symlink(device, dir / "COM1");
  fs::create_directory(locks);
  setenv("VANTREL_LOCK_DIR", locks.c_str(), 1);
  struct stat info {};
  ::stat(device.c_str(), &info);
  const std::string claim = locks + "/vantrel-tty-" + std::to_string(major(info.st_rdev)) + "-" +
                            std::to_string(minor(info.st_rdev)) + ".lock";
  std::map<std::string, std::unique_ptr<PosixSerialPort>> ports;
  Lines out;
  pid_t holder = 0;
  std::istringstream steps(script);
  for (std::string step; std::getline(steps, step, ';');) {
    std::smatch m;
    step = trim(step);
    std::regex_match(step, m, std::regex(R"((\w+) (.*?)( unprivileged)?)"));
    const std::string who = m[1], what = m[2];
    auto& made = ports[who];
    if (!made) made = std::make_unique<PosixSerialPort>(dir.path);
    PosixSerialPort& port = *made;
    std::string result = faultOf([&] {
      onThread(m[3].matched, [&] {
        if (what == "open") port.open(1);
        else if (what == "close") port.close();
        else if (what == "drop") ports.erase(who);
        else if (what == "open twice, not required") {
          auto warn = [&](const std::string& w) { out.push_back("warning: " + w); };
          PosixSerialPort optional(dir.path, {"", false, warn});
          optional.open(1), optional.close(), optional.open(1);
        } else if (what.rfind("takes ", 0) == 0) {
          const PosixSerialPort& from = *ports.at(what.substr(6));
          port.takeOver(from.chosenDevice(), 1, ::dup(from.claimDescriptor()));
        } else if (what == "send E") {
          port.sendCommand("E");
          out.push_back("came: " + received(master, 1));
        } else if (what == "send 1 MiB") {
          port.sendCommand(std::string(1 << 20, 'E'));
        } else if (what == "read") {
          out.push_back("read: '" + port.readReceived() + "'");
        } else if (what == "settings") {
          termios line{};
          ::tcgetattr(master, &line);  // a pty master reports its slave's settings
          const bool b9600 = ::cfgetospeed(&line) == B9600;
          out.push_back(b9600 && (line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) == CS8 ? "9600 8N1" : "no 8N1");
        } else if (what == "gone") {
          ::close(std::exchange(master, -1));
        } else if (what == "has no folder") {
          fs::remove(locks);
        } else if (what == "is a FIFO") {
          ::mkfifo(claim.c_str(), 0644);
        } else if (what == "is a link") {
          fs::create_symlink(dir / "elsewhere", claim);
        } else if (what == "folder is read-only") {
          fs::permissions(locks, fs::perms::owner_read | fs::perms::owner_exec);
        } else if (what == "belongs to group dialout") {
          if (::chown(device.c_str(), static_cast<uid_t>(-1), ::getgrnam("dialout")->gr_gid) != 0) throw Fault("root");
          ::chmod(device.c_str(), 0060);
        } else if (what == "is held by minicom") {
          int ready[2];
          if (::pipe(ready) != 0 || (holder = ::fork()) < 0) throw std::runtime_error("no holder");
          if (holder == 0) {
            ::prctl(PR_SET_NAME, "minicom");
            int fd = ::open(claim.c_str(), O_RDONLY | O_CREAT, 0644);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1) _exit(1);
            ::pause();
          }
          received(ready[0], 1);
          ::close(ready[0]), ::close(ready[1]);
        } else {
          throw std::runtime_error("unknown step " + step);
        }
      });
    });
    out.push_back(step + ": " + result);
  }
  ports.clear();
  if (holder > 0) ::kill(holder, SIGKILL), ::waitpid(holder, nullptr, 0);
  if (master >= 0) ::close(master);
  unsetenv("VANTREL_LOCK_DIR");
  for (std::string& l : out) {
    l = replaced(replaced(replaced(l, claim, "<claim>"), device + ")", "<pty>)"), dir.path, "<dir>");
    l = replaced(l, "pid " + std::to_string(::getpid()), "pid <pid>");
    if (holder > 0) l = replaced(l, "pid " + std::to_string(holder), "pid <holder>");
  }
  return out;
}

// A civil time as the simulated clock reads it (ms since 1970), -1 when there is no such time.
std::int64_t civilOrRefused(const std::string& text) { return SimulatedClock::parseCivilTime(text).value_or(-1); }

Outcome runPlatform(const Scenario& s) {
  const std::map<std::string, std::function<Lines(const std::string&)>> kinds = {
      {"parse", [](const std::string& v) { return Lines{std::to_string(civilOrRefused(v))}; }},
      {"terminal", [](const std::string& v) { return Lines{printableForTerminal(unescape(v))}; }},
      {"lock", folderLock},
      {"ending", nightEnding},
      {"files", fileStore},
      {"serial", serialLine},
      {"label", [](const std::string& v) { return Lines{targetLabel(unescape(v))}; }},
      {"civil seconds", [](const std::string& v) {
         return Lines{std::to_string(civilSeconds(v.substr(0, v.find(' ')), v.substr(v.find(' ') + 1)))};
       }},
      {"duration", [](const std::string& v) { return Lines{durationText(std::stoll(v))}; }},
      {"command", [](const std::string& v) {
         std::string words;
         try {
           for (const std::string& w : splitCommand(v))
             words += (words.empty() ? "[" : " [") + replaced(replaced(w, "\n", "\\n"), "\t", "\\t") + "]";
         } catch (const Fault& fault) {
           return Lines{std::string("refused: ") + fault.what()};
         }
         return Lines{words};
       }},
      {"status of a night", [](const std::string& v) { return statusOfANight(v, true); }},
      {"log of a night", [](const std::string& v) { return statusOfANight(v, false); }},
  };
  Outcome out;
  Lines& results = out.blocks["results"];
  for (const Section& c : s.sections) {
    if (c.key == "mode" || c.key.rfind("expect", 0) == 0) continue;
    const Lines got = kinds.at(c.key)(c.value);
    results.push_back(c.key + ": " + c.value + (got.size() == 1 ? " => " + got[0] : ""));
    for (std::size_t i = 0; got.size() > 1 && i < got.size(); ++i) results.push_back("  " + got[i]);
  }
  return out;
}

static const bool added = addMode("platform", runPlatform);

}  // namespace
}  // namespace vantrel::testing
