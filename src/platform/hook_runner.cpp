#include "platform/hook_runner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "inputs/text_lines.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

// The last words a hook wrote: enough for a line of curl or sendmail.
constexpr std::size_t tailBytes = 4096;
constexpr std::size_t lastLineChars = 160;

std::string lastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  std::string line = text.substr(text.find_last_of('\n') == std::string::npos ? 0 : text.find_last_of('\n') + 1);
  if (line.size() > lastLineChars) line = line.substr(0, lastLineChars) + "...";
  return escapedForDisplay(line);
}

// Why `path` cannot be run, or "" when it can.
std::string whyNotRunnable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "is a folder, not a program";
  if (::access(path.c_str(), X_OK) != 0) return "is not executable (chmod +x " + path + ")";
  return "";
}

std::string absolute(const std::string& path) {
  std::error_code error;
  std::filesystem::path made = std::filesystem::absolute(path, error);
  return error ? path : made.lexically_normal().string();
}

}  // namespace

std::vector<std::string> splitCommand(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  std::size_t quoteColumn = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      if (i + 1 == text.size()) throw Fault("the command ends in a lone backslash", ExitStatus::usage);
      const char next = text[++i];
      word += next == 'n' ? '\n' : next == 't' ? '\t' : next;
      inWord = true;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
      else word += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      quoteColumn = i + 1;
      inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quote != 0) {
    throw Fault(std::string("the ") + (quote == '"' ? "double" : "single") + " quote at column " +
                    std::to_string(quoteColumn) + " is never closed",
                ExitStatus::usage);
  }
  if (inWord) words.push_back(word);
  if (words.empty()) throw Fault("the command is empty", ExitStatus::usage);
  return words;
}

ProgramLookup findProgram(const std::string& name) {
  if (name.empty()) return {"", "the program's name (the command's first word) is empty"};
  if (name.find('/') != std::string::npos) {
    const std::string path = absolute(name);
    std::string problem = whyNotRunnable(path);
    if (problem.empty()) return {path, ""};
    return {"", "'" + name + "' " + (problem.rfind("is ", 0) == 0 ? problem : ": " + problem)};
  }
  const char* variable = std::getenv("PATH");
  const std::string searched = variable != nullptr && *variable != '\0' ? variable : "/usr/local/bin:/usr/bin:/bin";
  std::string notRunnable;
  for (std::size_t from = 0; from <= searched.size();) {
    std::size_t to = searched.find(':', from);
    if (to == std::string::npos) to = searched.size();
    const std::string folder = to > from ? searched.substr(from, to - from) : ".";
    const std::string path = absolute(folder + "/" + name);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      const std::string problem = whyNotRunnable(path);
      if (problem.empty()) return {path, ""};
      if (notRunnable.empty()) notRunnable = "'" + path + "' " + problem;
    }
    from = to + 1;
  }
  if (!notRunnable.empty()) return {"", notRunnable};
  return {"", "no program '" + name + "' in PATH (" + searched + ")"};
}

HookRunner::HookRunner(std::string program, std::vector<std::string> words, std::vector<std::string> environment,
                       std::chrono::milliseconds limit)
    : program_(std::move(program)), words_(std::move(words)), environment_(std::move(environment)), limit_(limit) {}

HookRunner::~HookRunner() { kill(); }

std::optional<std::string> HookRunner::start(const std::vector<std::string>& extra) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::string("cannot be started: ") + std::strerror(errno);
  // Only our end waits for nobody; the hook's writes block as on any pipe.
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&files, fds[1], 2);
  // The lock of the folder, the claim of the line, the guard's socket: a
  // hook left running must not keep the next night out.
  posix_spawn_file_actions_addclosefrom_np(&files, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  // The night ignores SIGPIPE and catches the stop signals; the hook gets
  // them as any program started from a shell.
  sigfillset(&defaults);
  sigdelset(&defaults, SIGKILL);
  sigdelset(&defaults, SIGSTOP);
  posix_spawnattr_setsigdefault(&attributes, &defaults);

  std::vector<char*> argv, envp;
  for (std::string& word : words_) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = environment_;
  environment.insert(environment.end(), extra.begin(), extra.end());
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t pid = -1;
  const int error = posix_spawn(&pid, program_.c_str(), &files, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&files);
  ::close(fds[1]);
  if (error != 0) {
    ::close(fds[0]);
    return std::string("cannot be started: ") + std::strerror(error);
  }
  pid_ = pid;
  errors_ = fds[0];
  tail_.clear();
  deadline_ = std::chrono::steady_clock::now() + limit_;
  return std::nullopt;
}

void HookRunner::readErrors() {
  char buffer[4096];
  while (errors_ >= 0) {
    const ssize_t got = ::read(errors_, buffer, sizeof buffer);
    if (got > 0) {
      tail_.append(buffer, static_cast<std::size_t>(got));
      if (tail_.size() > tailBytes) tail_.erase(0, tail_.size() - tailBytes);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    // The end of its standard error (it may run on), or nothing more now.
    if (got == 0) closePipe();
    return;
  }
}

void HookRunner::closePipe() {
  if (errors_ >= 0) ::close(errors_);
  errors_ = -1;
}

std::optional<std::string> HookRunner::poll() {
  if (pid_ <= 0) return std::nullopt;
  readErrors();
  int status = 0;
  const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
  if (ended == pid_ || (ended < 0 && errno == ECHILD)) {
    readErrors();
    closePipe();
    pid_ = -1;
    if (ended < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) return std::nullopt;
    const std::string said = lastLine(tail_);
    const char* name = WIFSIGNALED(status) ? sigabbrev_np(WTERMSIG(status)) : nullptr;
    std::string how = WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                                        : "was killed by signal " + std::to_string(WTERMSIG(status)) +
                                              (name != nullptr ? std::string(" (SIG") + name + ")" : "");
    return said.empty() ? how : how + ": " + said;
  }
  if (std::chrono::steady_clock::now() < deadline_) return std::nullopt;
  kill();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit_).count();
  return "was still running after " + std::to_string(seconds) + " s and was killed";
}

void HookRunner::kill() {
  if (pid_ <= 0) return;
  // Its whole group: a shell script's curl goes with the script.
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  closePipe();
  pid_ = -1;
}

}  // namespace vantrel
