#include "app/night_mode.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include <QApplication>

#include "app/guarded_mount_link.h"
#include "app/night_notifier.h"
#include "app/park_now.h"
#include "app/report_fault.h"
#include "console/console_view.h"
#include "indi/indi_client.h"
#include "indi/indi_mirror.h"
#include "indi/indi_mount_link.h"
#include "indi/indi_weather_watch.h"
#include "mount/protocol.h"
#include "night/form1.h"
#include "night/night_plan.h"
#include "night/preflight.h"
#include "night/rehearsal.h"
#include "platform/folder_lock.h"
#include "platform/night_guard.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "platform/stop_request.h"
#include "platform/stop_signals.h"
#include "web/status_server.h"
#include "web/web_settings.h"
#include "web/web_source.h"
#include "window/qt_window.h"

namespace vantrel {
namespace {

// Everything people watch the night through: one status board, and the
// views that read it. The console and the window live on the night's thread
// and draw at its yields (`events`); the status server reads from threads of
// its own.
class NightViews {
 public:
  // Throws a Fault when the status server cannot serve its address: before
  // the night, so that the mount is never touched.
  NightViews(const Arguments& args, std::int64_t startCivilMs, FileStore& files, StopRequest& stop, int argc,
             char** argv)
      : onScreen_(!args.console && hasDisplay()),
        // A snapshot needs the window even where nobody sees it: then it is
        // drawn off-screen and the terminal stays the view people read.
        offScreen_(!onScreen_ && args.snapshot.has_value()),
        board(/*keepsSky=*/!args.webAddress.empty() || onScreen_ || offScreen_),
        console_(stdout, board, consoleOptions(args, onScreen_)) {
    // Tonight's plan, made once for the views that show it: a bad input file
    // is the night's to report.
    std::shared_ptr<const NightPlan> plan;
    if (board.keepsSky()) {
      try {
        plan = std::make_shared<const NightPlan>(
            planNight(args.rehearse ? startCivilMs : PosixClock::civilMs(), files, args.sun));
      } catch (const Fault&) {
      }
    }
    if (!args.webAddress.empty()) {
      WebSettings settings = webSettingsFor(args.webAddress, args.webTokenFile);
      webSource_ = std::make_unique<WebSource>(board, plan);
      webServer_ = startStatusServer(settings, *webSource_, files, {}, [this, &stop](const std::string& who) {
        // Under the lock, so that the night, which reads the address after it
        // has seen the request, reads it whole.
        std::lock_guard<std::mutex> lock(webStopMutex_);
        switch (stop.requestFirst()) {
          case StopRequest::Then::endTheNight:
            webStoppedBy_ = who;
            return WebStop::stopping;
          case StopRequest::Then::windUp:
            return WebStop::nightOver;
          default:
            return WebStop::alreadyStopping;
        }
      });
      // A wildcard address is served at each of the host's addresses: those
      // are what a phone can open.
      std::string at;
      for (const std::string& url : webServer_->urls()) at += (at.empty() ? "" : ", ") + url;
      std::fprintf(stderr, "vantrel: status at %s\n", at.c_str());
    }
    events.add(console_);
    if (!onScreen_ && !offScreen_) return;
    if (offScreen_) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_ = std::make_unique<QApplication>(argc, argv);
    window = std::make_unique<QtWindow>(stop, board);
    if (plan) window->showPlan(planTable(*plan));
    events.add(*window);
  }

  bool onScreen() const { return onScreen_; }
  const StatusServer* webServer() const { return webServer_.get(); }
  // The address of the page whose button stopped the night; empty when none did.
  std::string webStoppedBy() {
    std::lock_guard<std::mutex> lock(webStopMutex_);
    return webStoppedBy_;
  }

  // The summary goes into the status (the window's status line, the page's
  // heading) and is the night's last line.
  void showSummary(const std::string& summary) {
    NightStatus status = board.status();
    status.message = summary;
    board.publish(status);
    board.addLine(LineKind::summary, summary);
  }

 private:
  // On a desktop the window shows the night; the terminal then prints only
  // the warnings, faults and the summary. A rehearsal prints what it does
  // anyway, and is over in a blink: its records say what happened, with no
  // status line.
  static ConsoleView::Options consoleOptions(const Arguments& args, bool onScreen) {
    ConsoleView::Options options;
    options.statusLine = !args.rehearse && !onScreen;
    options.nightLines = !onScreen || args.rehearse;
    options.verbose = args.verbose;
    return options;
  }

  // Declared in the order they are made; the window goes before its
  // application, the server before the source it reads, all before the board.
  const bool onScreen_;
  const bool offScreen_;

 public:
  StatusBoard board;
  EventPumps events;

 private:
  std::unique_ptr<QApplication> app_;
  std::mutex webStopMutex_;
  std::string webStoppedBy_;
  std::unique_ptr<WebSource> webSource_;
  std::unique_ptr<StatusServer> webServer_;
  ConsoleView console_;

 public:
  std::unique_ptr<QtWindow> window;
};

// The mount link of a real night, made in one place: the serial line, or an
// INDI device when asked; either is wrapped so that the guard hears of the
// gotos and the park.
class MountLinks {
 public:
  MountLinks(const Arguments& args, GuardLine& guard, Clock& clock, EventPump& events, StatusBoard& board)
      : args_(args),
        guard_(guard),
        clock_(clock),
        events_(events),
        port_(std::filesystem::current_path().string(), claimOptions(args, board)) {}

  SerialPort& serialPort() { return port_; }

  void wire(NightSeams& seams) {
    seams.wrapMountLink = [this](std::unique_ptr<MountLink> link, const SiteConfig& site) -> std::unique_ptr<MountLink> {
      if (!guard_.guarded()) return link;
      const int portNumber = mountPortNumber(site.commPort);
      return std::make_unique<GuardedMountLink>(std::move(link), guard_, site.parkEnabled == 1,
                                                [this, portNumber]() -> GuardedMountLink::Device {
                                                  if (args_.indi) return {args_.indi->describe(), 0, -1};
                                                  return {port_.chosenDevice(), portNumber, port_.claimDescriptor()};
                                                });
    };
    if (!args_.indi) return;
    indiMirror_ = std::make_unique<IndiMirror>(args_.indi->device);
    indiWire_ = makeIndiClient(*args_.indi, *indiMirror_);
    seams.makeMountLink = [this](const SiteConfig& site) -> std::unique_ptr<MountLink> {
      return std::make_unique<IndiMountLink>(*indiWire_, *indiMirror_, clock_,
                                             IndiLinkSettings{*args_.indi, site.siteLatitude, site.siteLongitude},
                                             &events_);
    };
  }

 private:
  static DeviceClaimOptions claimOptions(const Arguments& args, StatusBoard& board) {
    DeviceClaimOptions claim;
    claim.required = !args.noDeviceClaim;
    claim.onWarning = [&board](const std::string& warning) { board.addLine(LineKind::warning, warning); };
    return claim;
  }

  const Arguments& args_;
  GuardLine& guard_;
  Clock& clock_;
  EventPump& events_;
  PosixSerialPort port_;
  std::unique_ptr<IndiMirror> indiMirror_;
  std::unique_ptr<IndiWire> indiWire_;
};

// The real night on the real clock; its summary goes to the views.
NightOutcome runRealNight(const Arguments& args, FileStore& files, StopRequest& stop, GuardLine& guard,
                          NightViews& views) {
  PosixClock clock;
  NightOptions options;
  options.resume = args.resume;
  options.lookAhead = true;
  options.checkLineAtStart = true;
  options.sun = args.sun;
  options.onWarning = [&views](const std::string& warning) { views.board.addLine(LineKind::warning, warning); };
  options.weatherSafeMinutes = args.weatherSafeMinutes;
  MountLinks links(args, guard, clock, views.events, views.board);
  NightSeams seams{clock, links.serialPort(), views.events, files, stop, &views.board};
  links.wire(seams);
  // Heard from a thread of its own, so that the night's questions are
  // answered at once; ends with the night.
  std::unique_ptr<WeatherWatch> weather =
      args.weather ? watchIndiWeather(*args.weather, clock, std::chrono::seconds(args.weatherGraceSeconds)) : nullptr;
  seams.weather = weather.get();
  NightOutcome outcome = Form1(seams, options).Form_Load();
  const bool byWindow = views.window && views.window->closedDuringNight();
  const std::string byWeb = views.webStoppedBy();
  views.showSummary(byWindow          ? describeNight(outcome, "by closing the window")
                    : !byWeb.empty() ? describeNight(outcome, "when stopped from the web page by " + byWeb)
                                     : describeNight(outcome));
  return outcome;
}

// The exit status of a night that ran to its end, and what people must be
// told of an end that is not a clean park.
int exitStatusOf(const NightOutcome& outcome, StatusBoard& board) {
  if (outcome.end == NightEnd::mountSilent) {
    const char* parked = outcome.parked ? "it was parked blind" : "mount not parked (parkEnabled is not 1)";
    board.addLine(LineKind::fault, describeSilentMount(outcome) + "; " + parked);
    return static_cast<int>(ExitStatus::mountSilent);
  }
  if (outcome.parkReply == ParkReply::notConfirmed) {
    board.addLine(LineKind::fault, "the mount did not confirm the park; it may still point at the sky");
    return static_cast<int>(ExitStatus::runtimeFault);
  }
  return 0;
}

// The ended night stays on the status page for a while; a Ctrl-C or SIGTERM
// ends the wait at once.
void lingerOnTheWeb(const StatusServer& server, int minutes, const StopRequest& stop) {
  const int requestsAtTheEnd = stop.count();
  std::fprintf(stderr, "vantrel: the ended night stays at %s for %d min (Ctrl-C ends it)\n", server.url().c_str(),
               minutes);
  PosixClock clock;
  const std::int64_t until = PosixClock::utcMs() + minutes * 60000LL;
  while (stop.count() == requestsAtTheEnd && PosixClock::utcMs() < until) clock.pause(std::chrono::milliseconds(100));
}

}  // namespace

int runNight(const Arguments& args, int argc, char** argv) {
  const std::int64_t startCivilMs = args.rehearse ? rehearsalStart(args) : 0;
  // One night per folder: taken before anything is read, held to the end.
  std::unique_ptr<FolderLock> folderLock;
  if (!args.rehearse) {
    try {
      folderLock = std::make_unique<FolderLock>(".");
    } catch (const Fault& fault) {
      return reportFault(fault);
    }
  }
  // From here on a real night runs in a child; this process guards it and
  // parks the mount if it dies unparked.
  GuardLine guard;
  if (!args.rehearse) {
    guard = guardTheNight([&](const GuardedNight& night) { return parkForTheGuard(night, args.indi); },
                          [&] { folderLock.reset(); });
  }
  StopRequest stop;
  installStopSignals(stop);
  if (args.zoneGiven) {
    std::fprintf(stderr, "vantrel: %s\n",
                 zoneLine(args.rehearse ? civilZone().utcMs(startCivilMs) : PosixClock::utcMs()).c_str());
  }
  PosixFileStore files(".");
  // A snapshot's name must lead to a file of its own, before the night: a
  // FIFO there would hang the end of the night. A folder that is not there
  // is reported when the snapshot is written.
  if (args.snapshot) {
    try {
      files.createKeeping(*args.snapshot);
    } catch (const Fault& fault) {
      if (fault.status() == ExitStatus::inputFile) return reportFault(fault);
    }
  }
  std::unique_ptr<NightViews> made;
  try {
    made = std::make_unique<NightViews>(args, startCivilMs, files, stop, argc, argv);
  } catch (const Fault& fault) {
    return reportFault(fault);
  }
  NightViews& views = *made;
  // The observer's hook hears the night from its board; its program is
  // looked for now, before the night.
  std::unique_ptr<NightNotifier> notifier;
  if (!args.notify.empty()) {
    notifier = std::make_unique<NightNotifier>(args.notify, views.board);
    views.events.add(*notifier);
  }
  // The end goes to the hook before the window or the page keep the ended
  // night; the program leaves once the hooks queued have run.
  auto notifyEnd = [&](int status) {
    if (notifier) notifier->nightEnded(status);
  };
  // A stop request while they run ends the wait, not the program at once:
  // nothing of the night is left to cut short.
  auto afterHooks = [&](int status) {
    if (!notifier) return status;
    stop.nightIsOver();
    notifier->finish(stop);
    return status;
  };

  auto saveSnapshot = [&]() -> int {
    if (!args.snapshot || !views.window) return 0;
    views.window->nightIsOver();
    if (views.window->saveSnapshot(*args.snapshot)) return 0;
    views.board.addLine(LineKind::fault,
                        "cannot write the snapshot " + *args.snapshot + " (is the folder there and writable?)");
    return static_cast<int>(ExitStatus::runtimeFault);
  };
  // Over: a new night in this folder may start while the window or the
  // status page still shows this one.
  auto nightIsOver = [&]() {
    folderLock.reset();
    guard.nightIsOver();
    if (views.window) views.window->nightIsOver();
    stop.nightIsOver();
  };
  // A window closed during the night stays to show the park and the summary;
  // a stop from the terminal (Ctrl-C, SIGTERM) ends the program with it.
  auto showTheEnd = [&](int status, bool keepWindow) {
    if (views.onScreen() && keepWindow) {
      nightIsOver();
      const int closed = views.window->runUntilClosed();
      return status != 0 ? status : closed;
    }
    if (views.webServer() && args.webLingerMinutes > 0) {
      nightIsOver();
      lingerOnTheWeb(*views.webServer(), args.webLingerMinutes, stop);
    }
    return status;
  };

  NightOutcome outcome;
  try {
    if (args.rehearse) {
      RehearsalResult result = rehearseNight(startCivilMs, views.events, files, stop, &views.board, nullptr, args.sun);
      outcome = result.outcome;
      views.showSummary(describeRehearsal(result));
    } else {
      outcome = runRealNight(args, files, stop, guard, views);
    }
  } catch (const Fault& fault) {
    // On a desktop nobody reads standard error: the window keeps the
    // message until it is closed.
    views.board.addLine(LineKind::fault, fault.what());
    saveSnapshot();
    notifyEnd(static_cast<int>(fault.status()));
    return afterHooks(showTheEnd(static_cast<int>(fault.status()), true));
  } catch (const std::exception& error) {
    views.board.addLine(LineKind::fault, std::string("internal error: ") + error.what());
    notifyEnd(static_cast<int>(ExitStatus::runtimeFault));
    return afterHooks(static_cast<int>(ExitStatus::runtimeFault));
  }
  const int snapshotStatus = saveSnapshot();
  const int status = exitStatusOf(outcome, views.board);
  const bool keepWindow = outcome.end != NightEnd::stopRequest || (views.window && views.window->closedDuringNight());
  notifyEnd(status != 0 ? status : snapshotStatus);
  return afterHooks(showTheEnd(status != 0 ? status : snapshotStatus, keepWindow));
}

}  // namespace vantrel
