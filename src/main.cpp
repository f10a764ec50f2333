// vantrel - an unattended observing-night controller for a small telescope.
//
// Reads "vantrel.ini" and "vantrel.adf" from the working directory and runs
// the night against the mount on the serial line, or rehearses it on a
// simulated clock. See --help.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <QApplication>

#include "app/check_mode.h"
#include "app/command_line.h"
#include "app/guarded_mount_link.h"
#include "app/park_now.h"
#include "app/plan_mode.h"
#include "indi/indi_client.h"
#include "indi/indi_mirror.h"
#include "indi/indi_mount_link.h"
#include "inputs/text_lines.h"
#include "mount/protocol.h"
#include "night/form1.h"
#include "night/night_plan.h"
#include "night/preflight.h"
#include "night/rehearsal.h"
#include "platform/console_window.h"
#include "platform/fault.h"
#include "platform/folder_lock.h"
#include "platform/night_guard.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"
#include "platform/stop_request.h"
#include "platform/stop_signals.h"
#include "web/status_server.h"
#include "web/web_feed.h"
#include "web/web_settings.h"
#include "window/qt_window.h"

namespace {

using namespace vantrel;

// With a window on the screen the rehearsal still prints what it does.
class TeeWindow : public Window {
 public:
  TeeWindow(Window& a, Window& b) : a_(a), b_(b) {}
  void setTitle(const std::string& t) override { a_.setTitle(t), b_.setTitle(t); }
  void processEvents() override { a_.processEvents(), b_.processEvents(); }
  void showStatus(const std::string& l) override { a_.showStatus(l), b_.showStatus(l); }
  bool wantsSky() const override { return a_.wantsSky() || b_.wantsSky(); }
  void showSky(const SkyView& sky) override { a_.showSky(sky), b_.showSky(sky); }

 private:
  Window& a_;
  Window& b_;
};

// The summary of the night goes into the status too, for the window.
void publishSummary(StatusBoard& board, const std::string& summary) {
  NightStatus status = board.snapshot();
  status.message = summary;
  board.publish(status);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args = parseArguments(argc, argv);
  if (args.plan) return printPlan(rehearsalStart(args), args);
  if (args.park) return parkNow(args.indi);
  if (args.check) {
    return printCheck(args.start ? rehearsalStart(args) : PosixClock::civilMs(), args.askMount, args.noDeviceClaim,
                      args.indi, args.sun);
  }
  // Every usage error is found before a window exists.
  const std::int64_t startCivilMs = args.rehearse ? rehearsalStart(args) : 0;
  // One night per folder: taken before anything is read, held to the end.
  std::unique_ptr<FolderLock> folderLock;
  if (!args.rehearse) {
    try {
      folderLock = std::make_unique<FolderLock>(".");
    } catch (const Fault& fault) {
      std::fprintf(stderr, "vantrel: %s\n", fault.what());
      return static_cast<int>(fault.status());
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

  StatusBoard board;
  PosixFileStore files(".");
  // A snapshot's name must lead to a file of its own, before the night: a
  // FIFO there would hang the end of the night. A folder that is not there
  // is reported when the snapshot is written.
  if (args.snapshot) {
    try {
      files.createKeeping(*args.snapshot);
    } catch (const Fault& fault) {
      if (fault.status() == ExitStatus::inputFile) {
        std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
        return static_cast<int>(fault.status());
      }
    }
  }
  const bool onScreen = !args.console && hasDisplay();
  // Tonight's plan, made once for the views that show it: a bad input file
  // is the night's to report.
  std::shared_ptr<const NightPlan> plan;
  if (!args.webAddress.empty() || onScreen || args.snapshot) {
    try {
      plan = std::make_shared<const NightPlan>(planNight(args.rehearse ? startCivilMs : PosixClock::civilMs(), files, args.sun));
    } catch (const Fault&) {
    }
  }
  // The status server listens before the night starts, so that an address
  // it cannot serve ends the program before the mount is touched.
  std::unique_ptr<WebFeed> webFeed;
  std::unique_ptr<StatusServer> webServer;
  if (!args.webAddress.empty()) {
    try {
      WebSettings settings = webSettingsFor(args.webAddress, args.webTokenFile);
      webFeed = std::make_unique<WebFeed>("", &board, plan);
      webServer = startStatusServer(settings, *webFeed, files);
      std::fprintf(stderr, "vantrel: status at %s\n", webServer->url().c_str());
    } catch (const Fault& fault) {
      std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
      return static_cast<int>(fault.status());
    }
  }

  ConsoleWindow::Options consoleOptions;
  // A rehearsal is over in a blink: its records say what happened.
  if (!args.rehearse) consoleOptions.board = &board;
  consoleOptions.verbose = args.verbose;
  ConsoleWindow console(stdout, consoleOptions);
  std::unique_ptr<QApplication> app;
  std::unique_ptr<QtWindow> qtWindow;
  std::unique_ptr<TeeWindow> tee;
  Window* window = &console;
  // A snapshot needs the window even where nobody sees it: then it is drawn
  // off-screen and the terminal stays the window people read.
  const bool offScreen = !onScreen && args.snapshot;
  if (offScreen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (onScreen || offScreen) {
    app = std::make_unique<QApplication>(argc, argv);
    qtWindow = std::make_unique<QtWindow>(stop, &board);
    if (plan) qtWindow->showPlan(planTable(*plan));
    window = qtWindow.get();
    if (args.rehearse || offScreen) {
      tee = std::make_unique<TeeWindow>(*qtWindow, console);
      window = tee.get();
    }
  }
  if (!onScreen) console.setTitle(initialWindowTitle);
  auto saveSnapshot = [&]() -> bool {
    if (!args.snapshot || !qtWindow) return true;
    qtWindow->nightIsOver();
    if (qtWindow->saveSnapshot(*args.snapshot)) return true;
    std::fprintf(stderr, "vantrel: cannot write the snapshot %s (is the folder there and writable?)\n",
                 args.snapshot->c_str());
    return false;
  };
  std::unique_ptr<TeeWindow> webTee;
  if (webFeed) {
    webTee = std::make_unique<TeeWindow>(*window, *webFeed);
    window = webTee.get();
  }

  // The summary is printed on the terminal whatever the window.
  const bool consoleIsShown = !qtWindow || tee;
  auto showSummary = [&](const std::string& summary) {
    publishSummary(board, summary);
    window->showStatus(summary);
    if (!consoleIsShown) console.showStatus(summary);
  };
  // While the window waits to be closed, a new night in this folder may start.
  auto waitForTheWindow = [&]() {
    folderLock.reset();
    guard.nightIsOver();
    qtWindow->nightIsOver();
    return qtWindow->runUntilClosed();
  };

  NightOutcome outcome;
  try {
    if (args.rehearse) {
      RehearsalResult result = rehearseNight(startCivilMs, *window, files, stop, &board, nullptr, args.sun);
      outcome = result.outcome;
      showSummary(describeRehearsal(result));
    } else {
      PosixClock clock;
      NightOptions options;
      options.resume = args.resume;
      options.statusBoard = &board;
      options.lookAhead = true;
      options.checkLineAtStart = true;
      options.sun = args.sun;
      options.onWarning = [&](const std::string& warning) {
        std::fprintf(stderr, "vantrel: warning: %s\n", printableForTerminal(warning).c_str());
        if (qtWindow) qtWindow->showStatus("Warning: " + warning);
      };
      DeviceClaimOptions claim;
      claim.required = !args.noDeviceClaim;
      claim.onWarning = options.onWarning;
      PosixSerialPort MSComm1(std::filesystem::current_path().string(), claim);
      NightSeams seams{clock, MSComm1, *window, files, stop};
      seams.wrapMountLink = [&](std::unique_ptr<MountLink> link, const SiteConfig& site) -> std::unique_ptr<MountLink> {
        if (!guard.guarded()) return link;
        return std::make_unique<GuardedMountLink>(
            std::move(link), guard, site.parkEnabled == 1, [&]() -> GuardedMountLink::Device {
              if (args.indi) return {args.indi->describe(), 0, -1};
              return {MSComm1.chosenDevice(), mountPortNumber(site.commPort), MSComm1.claimDescriptor()};
            });
      };
      std::unique_ptr<IndiMirror> indiMirror;
      std::unique_ptr<IndiWire> indiWire;
      if (args.indi) {
        indiMirror = std::make_unique<IndiMirror>(args.indi->device);
        indiWire = makeIndiClient(*args.indi, *indiMirror);
        seams.makeMountLink = [&](const SiteConfig& site) -> std::unique_ptr<MountLink> {
          return std::make_unique<IndiMountLink>(*indiWire, *indiMirror, clock,
                                                 IndiLinkSettings{*args.indi, site.siteLatitude, site.siteLongitude},
                                                 window);
        };
      }
      Form1 night(seams, options);
      outcome = night.Form_Load();
      const bool byWindow = qtWindow && qtWindow->closedDuringNight();
      showSummary(byWindow ? describeNight(outcome, "by closing the window") : describeNight(outcome));
    }
  } catch (const Fault& fault) {
    std::fprintf(stderr, "vantrel: %s\n", escapedForDisplay(fault.what()).c_str());
    if (webFeed) webFeed->showStatus(std::string("Fault: ") + fault.what());
    if (qtWindow) {
      // On a desktop nobody reads standard error: the window keeps the
      // message until it is closed.
      qtWindow->showStatus(std::string("Fault: ") + fault.what());
      saveSnapshot();
      if (onScreen) waitForTheWindow();
    }
    return static_cast<int>(fault.status());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vantrel: internal error: %s\n", error.what());
    return static_cast<int>(ExitStatus::runtimeFault);
  }

  int status = 0;
  if (!saveSnapshot()) status = static_cast<int>(ExitStatus::runtimeFault);
  if (outcome.end == NightEnd::mountSilent) {
    std::fprintf(stderr, "vantrel: %s; %s\n", describeSilentMount(outcome).c_str(),
                 outcome.parked ? "it was parked blind" : "mount not parked (parkEnabled is not 1)");
    status = static_cast<int>(ExitStatus::mountSilent);
  } else if (outcome.parkReply == ParkReply::notConfirmed) {
    std::fprintf(stderr, "vantrel: the mount did not confirm the park; it may still point at the sky\n");
    status = static_cast<int>(ExitStatus::runtimeFault);
  }
  // A window closed during the night stays to show the park and the summary;
  // a stop from the terminal (Ctrl-C, SIGTERM) ends the program with it.
  if (onScreen && (outcome.end != NightEnd::stopRequest || qtWindow->closedDuringNight())) {
    int closed = waitForTheWindow();
    return status != 0 ? status : closed;
  }
  return status;
}
