// The Qt window: its titles, and closing it as a stop request.
#include "window/qt_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "platform/stop_request.h"

namespace vantrel {
namespace {

QWidget* topLevelWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isWindow() && w->isVisible()) return w;
  }
  return nullptr;
}

TEST(QtWindow, TitlesAndClosingWhileTheNightRuns) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int argc = 1;
  char name[] = "window_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  StopRequest stop;
  QtWindow window(stop);
  QWidget* shown = topLevelWindow();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->windowTitle().toStdString(), "Skerrow, ver 1.30");
  window.setTitle("Vantrel v1.10 M42 0532.9 -0525.0 Orion \xE3\x82\xAA");
  EXPECT_EQ(shown->windowTitle().toStdString(), "Vantrel v1.10 M42 0532.9 -0525.0 Orion \xE3\x82\xAA");

  // During the night a close is a stop request: the window stays.
  shown->close();
  window.processEvents();
  EXPECT_TRUE(stop.raised());
  EXPECT_TRUE(shown->isVisible());

  // After the night a close just closes it.
  window.nightIsOver();
  shown->close();
  EXPECT_FALSE(shown->isVisible());
  EXPECT_EQ(stop.count(), 1);
}

}  // namespace
}  // namespace vantrel
