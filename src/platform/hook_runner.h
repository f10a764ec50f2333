// hook_runner.h - the observer's own program, run on the night's events.
//
// A hook is a command the observer gives (a push message, a mail); it runs
// detached from the night: in a process group of its own (Ctrl-C on the
// terminal reaches the night, not a hook sending the news of it), with no
// shell, standard input and output on /dev/null, none of the program's other
// descriptors (the folder lock, the claim of the line) and the stop signals
// back at their defaults. Its standard error is read for the last line it
// wrote, which names what went wrong when it fails. A hook still running
// after its time limit is killed with its whole process group.
//
// Nothing here waits: the runner is stepped by its owner's thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vantrel {

// The words of a command as systemd's ExecStart splits them, without a shell:
// blanks separate words; double and single quotes group (also within a word,
// 'a'"b" is one word); a backslash takes the next character as it is, except
// \n (new line) and \t (tab). Throws a Fault (usage) for a quote left open, a
// backslash at the end or no words at all.
std::vector<std::string> splitCommand(const std::string& text);

// Where a program named as a command's first word is: a name with a '/' as
// it is (made absolute from the working directory), otherwise the first
// match along PATH (/usr/local/bin:/usr/bin:/bin without one). `problem` says
// why there is none ("no such program in PATH (...)", "... is not executable").
struct ProgramLookup {
  std::string path;
  std::string problem;
};
ProgramLookup findProgram(const std::string& name);

class HookRunner {
 public:
  // `program` is an absolute path from findProgram; `words` the command as
  // split; `environment` the "NAME=value" entries every hook gets.
  HookRunner(std::string program, std::vector<std::string> words, std::vector<std::string> environment,
             std::chrono::milliseconds limit = std::chrono::seconds(30));
  ~HookRunner();  // kills a hook still running
  HookRunner(const HookRunner&) = delete;
  HookRunner& operator=(const HookRunner&) = delete;

  // Starts one hook with `extra` added to the environment. When it cannot be
  // started, returns why ("cannot be started: ...").
  std::optional<std::string> start(const std::vector<std::string>& extra);
  bool running() const { return pid_ > 0; }
  // Reads what the hook wrote, reaps it when it ended, kills it once its time
  // is up. Returns how it failed when it just ended badly ("exited with
  // status 3: curl: (6) Could not resolve host", "was killed by signal 9",
  // "was still running after 30 s and was killed").
  std::optional<std::string> poll();
  // Kills the hook still running and its process group, and reaps it.
  void kill();

 private:
  void readErrors();
  void closePipe();

  std::string program_;
  std::vector<std::string> words_;
  std::vector<std::string> environment_;
  std::chrono::milliseconds limit_;
  pid_t pid_ = -1;
  int errors_ = -1;  // the read end of the hook's standard error
  std::string tail_;  // the last bytes it wrote there
  std::chrono::steady_clock::time_point deadline_;
};

}  // namespace vantrel
