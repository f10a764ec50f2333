#include "window/qt_window.h"

#include <unistd.h>

#include <cstdio>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/stop_request.h"
#include "window/qt_sky_chart.h"

namespace vantrel {

class QtWindow::View : public QMainWindow {
 public:
  explicit View(StopRequest& stop) : stop_(stop) {
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    auto* text = new QVBoxLayout();
    status_ = new QLabel(QStringLiteral("Starting the night"), central);
    status_->setWordWrap(true);
    records_ = new QPlainTextEdit(central);
    records_->setReadOnly(true);
    records_->setLineWrapMode(QPlainTextEdit::NoWrap);
    records_->setMaximumBlockCount(5000);
    text->addWidget(status_);
    text->addWidget(records_);
    chart = new QtSkyChart(central);
    columns->addWidget(chart, 2);
    columns->addLayout(text, 3);
    setCentralWidget(central);
    resize(1100, 460);
  }

  void addLine(const QString& line) {
    records_->appendPlainText(line);
    status_->setText(line);
  }

  bool nightRunning = true;
  QtSkyChart* chart = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (!nightRunning) {
      event->accept();
      return;
    }
    // The night is still running: the first close ends it through the park,
    // a second one leaves at once, unless the park is under way.
    event->ignore();
    switch (stop_.request()) {
      case StopRequest::Then::endTheNight:
        addLine(QStringLiteral("Stop requested: parking the mount and ending the night"));
        return;
      case StopRequest::Then::carryOn:
        addLine(QStringLiteral("The park is under way; the night ends when it is done"));
        return;
      case StopRequest::Then::leaveNow:
        leaveNow();
    }
  }

 private:
  // Whoever closed the window twice must still learn that the mount may be
  // left pointing at the sky: the box holds the program (nothing more is sent
  // to the mount) until it is read.
  [[noreturn]] void leaveNow() {
    const char* text = stop_.leavingNowText();
    std::fprintf(stderr, "vantrel: %s\n", text);
    std::fflush(stderr);
    addLine(QString::fromUtf8(text));
    QMessageBox::warning(this, QStringLiteral("Vantrel"), QString::fromUtf8(text));
    _exit(130);
  }

  StopRequest& stop_;
  QLabel* status_ = nullptr;
  QPlainTextEdit* records_ = nullptr;
};

QtWindow::QtWindow(StopRequest& stop) : view_(std::make_unique<View>(stop)) {
  view_->setWindowTitle(QString::fromUtf8(initialWindowTitle));
  view_->show();
  QCoreApplication::processEvents();
}

QtWindow::~QtWindow() = default;

void QtWindow::setTitle(const std::string& title) {
  view_->setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
}

void QtWindow::processEvents() { QCoreApplication::processEvents(); }

void QtWindow::showStatus(const std::string& line) {
  view_->addLine(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

void QtWindow::showSky(const SkyView& sky) { view_->chart->setSky(sky); }

void QtWindow::nightIsOver() { view_->nightRunning = false; }

int QtWindow::runUntilClosed() {
  if (!view_->isVisible()) return 0;
  return QApplication::exec();
}

}  // namespace vantrel
