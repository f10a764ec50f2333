// Running the real binaries for end-to-end tests: a scratch directory, child
// processes with their output in files or on a pipe, and waits with a deadline.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::e2e {

struct ScratchDir {
  std::string path = (std::filesystem::temp_directory_path() / "vantrel-e2e-XXXXXX").string();
  ScratchDir() { mkdtemp(path.data()); }
  ~ScratchDir() { std::error_code ignored; std::filesystem::remove_all(path, ignored); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::string readFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}
inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Asks `done` every 20 ms until it holds (true) or the time is up (false).
inline bool waitUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() >= deadline) return false;
  return true;
}

// Whether `text` shows up in the file (no text: the file is there) within the timeout.
inline bool waitForText(const std::string& path, const std::string& text, std::chrono::seconds timeout) {
  return waitUntil([&] { return std::filesystem::exists(path) && readFile(path).find(text) != std::string::npos; },
                   timeout);
}

// The first child of `parent` to show up within the timeout, or 0.
inline pid_t childOf(pid_t parent, std::chrono::seconds timeout) {
  const std::string children = "/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children";
  pid_t child = 0;
  waitUntil([&] { return (child = std::atoi(readFile(children).c_str())) != 0; }, timeout);
  return child;
}

// A child process in `dir` reading /dev/null, writing to the files (or terminal) `outPath` and `errPath`, which
// may be the same file. `inChild` runs in the child just before the program starts (limits, environment).
// It and what it started are killed by their group's id when this ends.
class Child {
 public:
  Child(std::vector<std::string> argv, const std::string& dir, const std::string& outPath, const std::string& errPath,
        const std::function<void()>& inChild = {}) {
    if ((pid_ = fork()) != 0) return;
    if (chdir(dir.c_str()) != 0) _exit(126);
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    dup2(outPath == errPath ? 2 : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    if (inChild) inChild();
    if (getpgrp() != getpid()) setpgid(0, 0);  // a group of its own, so that what it starts ends with it
    std::vector<char*> args(argv.size() + 1, nullptr);
    std::transform(argv.begin(), argv.end(), args.begin(), [](std::string& a) { return a.data(); });
    execv(args[0], args.data());
    _exit(127);
  }
  // The whole group goes: a night whose guard was killed must not outlive the test.
  ~Child() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    if (!status_) waitpid(pid_, nullptr, 0);
  }
  void signal(int number) const { kill(pid_, number); }
  pid_t pid() const { return pid_; }

  // The exit status (128 + N for signal N), or nothing when the process is still running at the deadline.
  std::optional<int> waitForExit(std::chrono::seconds timeout) {
    waitUntil([&] {
      int raw = 0;
      if (!status_ && pid_ > 0 && waitpid(pid_, &raw, WNOHANG) == pid_)
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return status_.has_value();
    }, timeout);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

}  // namespace vantrel::e2e
