// The Qt window: its titles, closing it as a stop request, and its picture.
#include "window/qt_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTabWidget>
#include <filesystem>

#include "platform/stop_request.h"
#include "status/night_status.h"
#include "window/qt_sky_chart.h"

namespace vantrel {
namespace {

QWidget* shownWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isWindow() && w->isVisible()) return w;
  }
  return nullptr;
}

class QtWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static char name[] = "window_tests";
    static char* argv[] = {name, nullptr};
    static int argc = 1;
    new QApplication(argc, argv);  // lives to the end of the process
  }
  StopRequest stop;
  StatusBoard board;
};

// During the night a close is a stop request: the window stays to show the
// park, also when it is closed again while the park is under way. After the
// night a close just closes it. The plan gets a tab of its own, only when there is one.
TEST_F(QtWindowTest, TitlesPlanAndClosingWhileTheNightRuns) {
  QtWindow window(stop, board);
  QWidget* shown = shownWindow();
  ASSERT_NE(shown, nullptr);
  const std::string utf8 = "M42 0532.9 -0525.0 Orion \xE3\x82\xAA";
  std::string seen = shown->windowTitle().toStdString() + "|";
  board.setTitle("Vantrel v1.10 " + utf8);
  window.processEvents();
  QTabWidget* tabs = shown->findChild<QTabWidget*>();
  seen += shown->windowTitle().toStdString() + "|" + std::to_string(tabs->count()) + "|";
  window.showPlan("  18:00:05  goto  " + utf8);
  window.showPlan("  18:00:05  goto  " + utf8 + "\n");
  seen += tabs->tabText(0).toStdString() + "|" + tabs->tabText(1).toStdString() + "|" + window.planText();
  EXPECT_EQ(seen, "Skerrow, ver 1.30|Vantrel v1.10 " + utf8 + "|1|Records|Plan|  18:00:05  goto  " + utf8 + "\n");
  shown->close();
  window.processEvents();
  EXPECT_TRUE(stop.raised() && window.closedDuringNight() && shown->isVisible());
  stop.parkBegins();
  shown->close();
  EXPECT_TRUE(shown->isVisible() && stop.count() == 2) << stop.count();
  stop.parkEnds(true);
  window.nightIsOver();
  shown->close();
  EXPECT_TRUE(!shown->isVisible() && stop.count() == 2) << stop.count();
}

TEST_F(QtWindowTest, ASecondCloseOutsideTheParkLeavesAtOnceSayingTheMountIsNotParked) {
  // Qt runs threads of its own: the dying copy starts afresh instead of forking.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        QtWindow window(stop, board);
        stop.request();
        shownWindow()->close();
      },
      ::testing::ExitedWithCode(130), "the mount was NOT parked");
}

// The colour of the snapshot at each place, as one of a few names.
TEST_F(QtWindowTest, SnapshotShowsFreeObservedAndCurrentRowsWhereTheyStand) {
  QtWindow window(stop, board);
  board.showSky({{{300, 50, false}, {320, 40, true}, {330, 65, false}, {100, -10, false}}, 2, 30, ""});
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
  QtSkyChart* chart = nullptr;  // a class without Q_OBJECT: qobject_cast cannot find it
  for (QWidget* w : shown->findChildren<QWidget*>()) chart = chart ? chart : dynamic_cast<QtSkyChart*>(w);
  ASSERT_TRUE(!picture.isNull() && chart != nullptr);
  std::string seen;
  for (auto [az, alt, dx] : {std::tuple{300, 50, 0}, {320, 40, 0}, {330, 65, 6}, {330, 65, 4}, {100, 10, 0}}) {
    const QColor c = picture.pixelColor(chart->mapTo(shown, (chart->place(az, alt) + QPointF(dx, 0)).toPoint()));
    seen += c.red() > 200 && c.green() > 200 ? "white " : c.red() > 180 ? "red " : c.red() > 80 ? "grey " : "dark ";
  }
  EXPECT_EQ(seen, "white grey red dark dark ") << "waiting, observed, the current ring (not a disc), nothing below";
}

}  // namespace
}  // namespace vantrel
