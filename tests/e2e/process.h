// Running the real binaries for end-to-end tests: a scratch directory, child
// processes with their output in files, and waiting with a deadline.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::e2e {

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-e2e-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A child process; its stdout and stderr go to files, or stdout to a pipe.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::string& workDir, const std::string& stdoutPath,
        const std::string& stderrPath, bool stdoutPipe = false) {
    int pipeFds[2] = {-1, -1};
    if (stdoutPipe && pipe(pipeFds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(workDir.c_str()) != 0) _exit(126);
      int in = open("/dev/null", O_RDONLY);
      dup2(in, 0);
      if (stdoutPipe) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
      } else {
        dup2(open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      }
      dup2(open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    if (stdoutPipe) {
      close(pipeFds[1]);
      stdoutFd_ = pipeFds[0];
    }
  }
  ~Child() {
    if (running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdoutFd_ >= 0) close(stdoutFd_);
  }

  bool running() const { return pid_ > 0 && !status_; }
  void signal(int number) const { kill(pid_, number); }

  // Reads the piped stdout until a line starting with `prefix` arrives.
  std::optional<std::string> waitForLine(const std::string& prefix, std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string buffer;
    fcntl(stdoutFd_, F_SETFL, O_NONBLOCK);
    while (std::chrono::steady_clock::now() < deadline) {
      char c;
      ssize_t n = read(stdoutFd_, &c, 1);
      if (n == 1) {
        if (c == '\n') {
          if (buffer.rfind(prefix, 0) == 0) return buffer;
          buffer.clear();
        } else {
          buffer += c;
        }
      } else if (n == 0) {
        return std::nullopt;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return std::nullopt;
  }

  // The exit status, or nothing when the process is still running at the deadline.
  std::optional<int> waitForExit(std::chrono::seconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
      int raw = 0;
      pid_t done = waitpid(pid_, &raw, WNOHANG);
      if (done == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  std::optional<int> status_;
};

// Waits until `done()` holds or the time is up.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace vantrel::e2e
