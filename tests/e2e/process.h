// Running the real binaries for end-to-end tests: a scratch directory, child
// processes with their output in files or on a pipe, and waits with a deadline.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::e2e {

struct ScratchDir {
  std::string path;
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-e2e-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
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
template <class Done>
bool waitUntil(Done done, std::chrono::seconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The first child of `parent` to show up within the timeout, or 0.
inline pid_t childOf(pid_t parent, std::chrono::seconds timeout) {
  pid_t child = 0;
  waitUntil([&] {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::string stat = readFile(entry.path() / "stat");
      std::size_t end = stat.rfind(')');
      if (end != std::string::npos && std::atoi(stat.c_str() + end + 4) == parent) {
        child = std::atoi(entry.path().filename().c_str());
      }
    }
    return child != 0;
  }, timeout);
  return child;
}

// A child process in `dir` reading /dev/null; stderr goes to the file
// `errPath`, stdout to the file `outPath` or, when that is empty, to a pipe.
class Child {
 public:
  // `inChild` runs in the child just before it starts the program (limits,
  // signal dispositions).
  Child(std::vector<std::string> argv, const std::string& dir, const std::string& outPath, const std::string& errPath,
        const std::function<void()>& inChild = {}) {
    int fds[2] = {-1, -1};
    if (outPath.empty() && pipe2(fds, O_CLOEXEC) != 0) return;
    if ((pid_ = fork()) == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(outPath.empty() ? fds[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      if (inChild) inChild();
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    if (outPath.empty()) close(fds[1]), fcntl(pipe_ = fds[0], F_SETFL, O_NONBLOCK);
  }
  ~Child() {
    if (pid_ > 0 && !status_) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    if (pipe_ >= 0) close(pipe_);
  }

  void signal(int number) const { kill(pid_, number); }
  pid_t pid() const { return pid_; }

  // Reads the piped stdout until a line starting with `prefix` arrives.
  bool waitForLine(const std::string& prefix, std::chrono::seconds timeout) {
    std::string line;
    ssize_t n = -1;
    waitUntil([&] {
      for (char c; (n = read(pipe_, &c, 1)) == 1; line = c == '\n' ? "" : line + c) {
        if (c == '\n' && line.rfind(prefix, 0) == 0) return true;
      }
      return n == 0;  // the end of the output
    }, timeout);
    return n == 1;
  }

  // The exit status, or nothing when the process is still running at the deadline.
  std::optional<int> waitForExit(std::chrono::seconds timeout) {
    waitUntil([&] {
      int raw = 0;
      if (!status_ && pid_ > 0 && waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      }
      return status_.has_value();
    }, timeout);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int pipe_ = -1;
  std::optional<int> status_;
};

}  // namespace vantrel::e2e
