// night_notifier.h - the night's events, told to the observer's --notify command.
//
// The events come from the status board, read by a thread of the notifier's
// own every 20 ms (the serial park lasts 200 ms and serves no events, so the
// night's yields alone would miss it):
//   start   the night's first status other than "starting" (a night refused
//           before its start-up wait tells only its fault)
//   target  each row chosen for observing
//   unsafe  the night begins to wait, parked, for the weather; safe when it
//           goes on from that wait (not when it ends or parks from it)
//   park    the phase becomes parking
//   end     the program's end with status 0; fault with any other status
// Each runs the command once, in order, one at a time, with VANTREL_EVENT,
// VANTREL_TEXT (the status line; the summary at the end; the fault line),
// VANTREL_LOG (the log's absolute path; before the night opens its log, the
// name it takes today) and, at end and fault, VANTREL_EXIT.
//
// The night never waits for a hook: the thread starts and watches them
// (platform/hook_runner.h). Events wait in a queue of 16; when it is full the
// oldest waiting one is dropped. The first failure (a hook that cannot start,
// fails, is killed after 30 s, or an event dropped) becomes one warning on
// the board, at the night's next yield; later ones are not reported. A
// program that cannot be run is said at once, and then nothing is run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_pump.h"
#include "status/night_status.h"

namespace vantrel {

class HookRunner;
class StopRequest;

class NightNotifier : public EventPump {
 public:
  // `command`: the words of --notify. Before the night: a program that
  // cannot be run is said on the board.
  NightNotifier(const std::vector<std::string>& command, StatusBoard& board,
                std::chrono::milliseconds limit = std::chrono::seconds(30));
  ~NightNotifier() override;
  NightNotifier(const NightNotifier&) = delete;
  NightNotifier& operator=(const NightNotifier&) = delete;

  // On the night's thread: a failure of a hook becomes a warning on the board.
  void processEvents() override;
  // The program ends with `exitStatus`: the board's last statuses are taken,
  // then end (with the summary) or fault (with the last fault line).
  void nightEnded(int exitStatus);
  // Waits until the hooks queued have run (each within its limit). A stop
  // request made meanwhile kills the one running and drops the rest.
  void finish(const StopRequest& stop);

 private:
  struct Event {
    std::string name;
    std::string text;
    std::string log;
    std::string exitStatus;  // at end and fault
  };
  void run();
  void watch();
  void queue(Event event);
  Event eventOf(const char* name, const NightStatus& status) const;
  void failed(const std::string& event, const std::string& how);

  StatusBoard& board_;
  std::string name_;          // the program as given, for messages
  std::string folder_;        // the working directory, where the log is
  std::string logToday_;      // the log's name before the night names it
  std::unique_ptr<HookRunner> runner_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Event> waiting_;
  std::string running_;  // the event whose hook runs
  std::uint64_t seenVersion_ = 0;
  NightStatus seen_;
  bool started_ = false;
  bool weather_ = false;  // told unsafe, not yet safe
  bool ended_ = false;
  bool closing_ = false;
  bool aborting_ = false;
  bool done_ = false;
  bool reported_ = false;
  std::vector<std::string> warnings_;  // for the board, at the next yield
  std::thread thread_;
};

}  // namespace vantrel
