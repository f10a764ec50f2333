// The Qt window: its titles, closing it as a stop request, the status it
// shows during a night, and its picture.
#include "window/qt_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <thread>

#include "night/form1.h"
#include "platform/posix_clock.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "status/night_status.h"
#include "support/night_files.h"
#include "window/qt_sky_chart.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;

QWidget* shownWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isWindow() && w->isVisible()) return w;
  }
  return nullptr;
}

QtSkyChart* chartOf(QWidget* window) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (auto* chart = dynamic_cast<QtSkyChart*>(w)) return chart;
  }
  return nullptr;
}

class QtWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "window_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives to the end of the process
  }
  StopRequest stop;
  StatusBoard board;
};

// During the night a close is a stop request: the window stays to show the
// park, also when it is closed again while the park is under way. After the
// night a close just closes it. The plan gets a tab of its own, only when there is one.
TEST_F(QtWindowTest, TitlesPlanAndClosingWhileTheNightRuns) {
  QtWindow window(stop);
  QWidget* shown = shownWindow();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->windowTitle().toStdString(), "Skerrow, ver 1.30");
  const std::string utf8 = "M42 0532.9 -0525.0 Orion \xE3\x82\xAA";
  window.setTitle("Vantrel v1.10 " + utf8);
  EXPECT_EQ(shown->windowTitle().toStdString(), "Vantrel v1.10 " + utf8);
  QTabWidget* tabs = shown->findChild<QTabWidget*>();
  EXPECT_EQ(tabs->count(), 1);
  window.showPlan("  18:00:05  goto  " + utf8);
  window.showPlan("  18:00:05  goto  " + utf8 + "\n");
  EXPECT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0).toStdString() + "|" + tabs->tabText(1).toStdString() + "|" + window.planText(),
            "Records|Plan|  18:00:05  goto  " + utf8 + "\n");

  shown->close();
  window.processEvents();
  EXPECT_TRUE(stop.raised() && window.closedDuringNight() && shown->isVisible());
  stop.parkBegins();
  shown->close();
  EXPECT_TRUE(shown->isVisible() && stop.count() == 2) << stop.count();
  stop.parkEnds(true);
  window.showStatus("2 of 3 targets observed; night ended by closing the window; park command sent, acknowledged");
  EXPECT_THAT(window.statusText(), HasSubstr("park command sent, acknowledged"));
  window.nightIsOver();
  shown->close();
  EXPECT_TRUE(!shown->isVisible() && stop.count() == 2) << stop.count();
}

// Closed during the night, the window waits with the summary; a stop request
// from the terminal or the service manager then ends the wait.
TEST_F(QtWindowTest, AStopRequestAfterTheNightClosesTheWaitingWindow) {
  QtWindow window(stop);
  stop.request();  // Ctrl-C during the night
  EXPECT_FALSE(window.closedDuringNight());
  window.nightIsOver();
  StopRequest::Then then = StopRequest::Then::endTheNight;
  QObject guard;  // a window that kept waiting fails the test instead of hanging it
  QTimer::singleShot(50, &guard, [&] { then = stop.request(); });
  QTimer::singleShot(5000, &guard, [] { QApplication::exit(99); });
  EXPECT_EQ(window.runUntilClosed(), 0);
  EXPECT_EQ(then, StopRequest::Then::windUp);
  EXPECT_EQ(shownWindow(), nullptr);
}

TEST_F(QtWindowTest, ASecondCloseOutsideTheParkLeavesAtOnceSayingTheMountIsNotParked) {
  // Qt runs threads of its own: the dying copy starts afresh instead of forking.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        QtWindow window(stop);
        stop.request();
        shownWindow()->close();
      },
      ::testing::ExitedWithCode(130), "the mount was NOT parked");
}

// A few seconds of a real night on the real clock: the status moves each
// second of the dwell, and the park is shown at the end.
TEST_F(QtWindowTest, StatusMovesDuringADwellAndTheParkIsShown) {
  testing::NightNow night(PosixClock::civilMs() + 60000);
  night.ini.dwellMinutes = 1;
  testing::MemoryFileStore files = testing::nightStore(night.ini, night.line("WIN ", 20.0, 320.0));
  PosixClock clock;
  SimulatedMount mount;
  QtWindow window(stop, &board);
  // What the window shows is seen at the next status the night publishes.
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> dwell;
  board.setListener([&](const NightStatus&) {
    const std::string text = window.statusText();
    if (text.find("observing WIN target (row 1)") == std::string::npos) return;
    if (dwell.empty() || dwell.back().second != text) dwell.emplace_back(std::chrono::steady_clock::now(), text);
  });
  std::thread stopper([&] { std::this_thread::sleep_for(std::chrono::milliseconds(3500)), stop.raise(); });
  NightOptions options;
  options.statusBoard = &board;
  NightOutcome outcome = Form1(NightSeams{clock, mount, window, files, stop}, options).Form_Load();
  stopper.join();
  EXPECT_EQ(outcome.observedCount, 1);
  ASSERT_GE(dwell.size(), 2u) << "the status never changed during the dwell";
  EXPECT_LT(dwell[1].first - dwell[0].first, std::chrono::seconds(2)) << dwell[0].second << "\n" << dwell[1].second;
  EXPECT_THAT(dwell[0].second + "|" + dwell[1].second, ::testing::MatchesRegex(".*0:00 of 1:00.*\\|.*0:01 of 1:00.*"));
  window.nightIsOver();
  EXPECT_THAT(window.statusText(), HasSubstr("ended, mount parked"));
  EXPECT_TRUE(chartOf(shownWindow())->showsEnd());
}

// Whether the colour at a point of the picture is near `want`.
bool near(QRgb got, QColor want, int tolerance = 40) {
  return std::abs(qRed(got) - want.red()) + std::abs(qGreen(got) - want.green()) +
             std::abs(qBlue(got) - want.blue()) <= tolerance;
}

TEST_F(QtWindowTest, SnapshotShowsFreeObservedAndCurrentRowsWhereTheyStand) {
  QtWindow window(stop, &board);
  const SkyView::Point waiting{300, 50, false}, observed{320, 40, true}, current{330, 65, false}, below{100, -10, false};
  window.showSky({{waiting, observed, current, below}, 2, 30, ""});
  NightStatus status;
  status.phase = NightPhase::observing;
  status.targetName = "M42 0532.9 -0525.0 Orion Nebula 000010000";
  board.publish(status);
  window.processEvents();
  const std::string path = std::filesystem::temp_directory_path().string() + "/vantrel-snapshot-" +
                           std::to_string(QCoreApplication::applicationPid()) + ".png";
  ASSERT_TRUE(window.saveSnapshot(path));
  QImage picture(QString::fromStdString(path));
  std::filesystem::remove(path);
  QWidget* shown = shownWindow();
  QtSkyChart* chart = chartOf(shown);
  ASSERT_TRUE(!picture.isNull() && chart != nullptr);
  auto at = [&](double az, double alt, QPointF offset = {}) {
    return picture.pixel(chart->mapTo(shown, (chart->place(az, alt) + offset).toPoint()));
  };
  EXPECT_TRUE(near(at(300, 50), QColor(235, 235, 245))) << "a waiting row is white";
  EXPECT_TRUE(near(at(320, 40), QColor(110, 110, 120))) << "an observed row is grey";
  EXPECT_TRUE(near(at(330, 65, {6, 0}), QColor(240, 70, 60), 90)) << "the current row is ringed red";
  EXPECT_FALSE(near(at(330, 65, {4, 0}), QColor(240, 70, 60), 90)) << "a ring, not a disc";
  EXPECT_TRUE(near(at(100, 10), QColor(10, 14, 30), 60)) << "a row below the horizon is not drawn";
  EXPECT_FALSE(near(at(100, -10), QColor(235, 235, 245))) << "nor outside it";
}

}  // namespace
}  // namespace vantrel
