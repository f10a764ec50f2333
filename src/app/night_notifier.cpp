#include "app/night_notifier.h"

#include <csignal>
#include <filesystem>

#include "obslog/log_format.h"
#include "platform/hook_runner.h"
#include "platform/posix_clock.h"
#include "platform/stop_request.h"

extern char** environ;

namespace vantrel {
namespace {

// A bound the queue reaches only when the hook is much slower than the
// night (a target every few minutes, a hook of at most 30 s).
constexpr std::size_t waitingLimit = 16;
constexpr auto watchPeriod = std::chrono::milliseconds(20);

// The program's environment, without the variables each event sets.
std::vector<std::string> inheritedEnvironment() {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool own = false;
    for (const char* name : {"VANTREL_EVENT=", "VANTREL_TEXT=", "VANTREL_LOG=", "VANTREL_EXIT="})
      own = own || text.rfind(name, 0) == 0;
    if (!own) entries.push_back(text);
  }
  return entries;
}

bool waitsForWeather(const NightStatus& status) { return status.phase == NightPhase::parkedForWeather; }

}  // namespace

NightNotifier::NightNotifier(const std::vector<std::string>& command, StatusBoard& board,
                             std::chrono::milliseconds limit)
    : board_(board),
      name_(command.front()),
      folder_(std::filesystem::current_path().string()),
      logToday_(logFileNameFor(PosixClock().now().dateText)) {
  const ProgramLookup program = findProgram(command.front());
  if (!program.problem.empty()) {
    board_.addLine(LineKind::warning, "--notify: " + program.problem + "; the night goes on without notices");
    return;
  }
  runner_ = std::make_unique<HookRunner>(program.path, command, inheritedEnvironment(), limit);
  // The thread leaves the stop signals to the night.
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  thread_ = std::thread([this] { run(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

NightNotifier::~NightNotifier() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    closing_ = aborting_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void NightNotifier::processEvents() {
  std::vector<std::string> warnings;
  {
    // Never wait for the notifier's thread: the next yield takes them.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    warnings.swap(warnings_);
  }
  for (const std::string& warning : warnings) board_.addLine(LineKind::warning, warning);
}

void NightNotifier::nightEnded(int exitStatus) {
  if (!thread_.joinable()) return;
  std::lock_guard lock(mutex_);
  watch();
  ended_ = true;
  const NightStatus status = board_.status();
  Event event = eventOf(exitStatus == 0 ? "end" : "fault", status);
  event.exitStatus = std::to_string(exitStatus);
  if (exitStatus != 0) {
    const NightText text = board_.text();
    for (auto line = text.lines.rbegin(); line != text.lines.rend(); ++line) {
      if (line->kind != LineKind::fault) continue;
      event.text = line->text;
      break;
    }
  } else if (!status.message.empty()) {
    event.text = status.message;
  }
  queue(std::move(event));
  changed_.notify_all();
}

void NightNotifier::finish(const StopRequest& stop) {
  if (!thread_.joinable()) return;
  const int requests = stop.count();
  {
    std::unique_lock lock(mutex_);
    closing_ = true;
    changed_.notify_all();
    while (!done_) {
      changed_.wait_for(lock, std::chrono::milliseconds(100));
      if (stop.count() != requests) aborting_ = true;
    }
  }
  thread_.join();
  processEvents();
}

void NightNotifier::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    watch();
    if (aborting_) {
      // Said even after a failure: these events were cut short or never tried.
      std::string untold;
      for (const Event& event : waiting_) untold += (untold.empty() ? "; not told: '" : ", '") + event.name + "'";
      if (runner_->running() || !untold.empty()) {
        warnings_.push_back("--notify: a stop request ended the wait for " + name_ +
                            (runner_->running() ? ": the run for '" + running_ + "' was killed" : "") + untold);
      }
      runner_->kill();
      waiting_.clear();
      break;
    }
    if (runner_->running()) {
      if (auto how = runner_->poll()) failed(running_, *how);
    }
    if (!runner_->running() && !waiting_.empty()) {
      Event event = std::move(waiting_.front());
      waiting_.pop_front();
      running_ = event.name;
      std::vector<std::string> extra = {"VANTREL_EVENT=" + event.name, "VANTREL_TEXT=" + event.text,
                                        "VANTREL_LOG=" + event.log};
      if (!event.exitStatus.empty()) extra.push_back("VANTREL_EXIT=" + event.exitStatus);
      if (auto how = runner_->start(extra)) failed(event.name, *how);
      continue;
    }
    if (closing_ && waiting_.empty() && !runner_->running()) break;
    changed_.wait_for(lock, watchPeriod);
  }
  done_ = true;
  changed_.notify_all();
}

// What a new status of the night tells, in the order it happened.
void NightNotifier::watch() {
  const std::uint64_t version = board_.statusVersion();
  if (ended_ || version == seenVersion_) return;
  seenVersion_ = version;
  const NightStatus now = board_.status();
  const NightStatus before = seen_;
  seen_ = now;
  const bool over = now.phase == NightPhase::parking || now.phase == NightPhase::ended || now.phase == NightPhase::fault;
  if (!started_ && now.phase != NightPhase::starting && now.phase != NightPhase::fault) {
    started_ = true;
    queue(eventOf("start", now));
  }
  // A park on the way into or out of the wait (parking, then waiting) is
  // still the one spell of bad weather.
  if (weather_ && !waitsForWeather(now) && !over) {
    weather_ = false;
    queue(eventOf("safe", now));
  }
  if (now.phase == NightPhase::observing && now.row != 0 &&
      (now.row != before.row || now.observedCount != before.observedCount)) {
    queue(eventOf("target", now));
  }
  if (!weather_ && waitsForWeather(now)) {
    weather_ = true;
    queue(eventOf("unsafe", now));
  }
  if (now.phase == NightPhase::parking && before.phase != NightPhase::parking) queue(eventOf("park", now));
}

NightNotifier::Event NightNotifier::eventOf(const char* name, const NightStatus& status) const {
  return Event{name, statusLine(status), folder_ + "/" + (status.logFileName.empty() ? logToday_ : status.logFileName),
               ""};
}

void NightNotifier::queue(Event event) {
  if (waiting_.size() >= waitingLimit) {
    failed(waiting_.front().name, "was dropped: the events came faster than the command ran");
    waiting_.pop_front();
  }
  waiting_.push_back(std::move(event));
}

void NightNotifier::failed(const std::string& event, const std::string& how) {
  if (reported_) return;
  reported_ = true;
  warnings_.push_back("--notify: " + name_ + " for the event '" + event + "' " + how +
                      " (further failures are not reported)");
}

}  // namespace vantrel
