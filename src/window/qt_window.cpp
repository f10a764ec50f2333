#include "window/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QFontDatabase>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/stop_signals.h"
#include "status/night_status.h"
#include "window/qt_sky_chart.h"

namespace vantrel {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

class QtWindow::View : public QMainWindow {
 public:
  View(StopRequest& stop, const StatusBoard& board) : stop_(stop), board_(board) {
    auto* central = new QWidget(this);
    auto* rows = new QVBoxLayout(central);
    status_ = new QLabel(QStringLiteral("Starting the night"), central);
    status_->setWordWrap(true);
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);
    status_->setMinimumHeight(2 * status_->fontMetrics().lineSpacing() + 6);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    records_ = new QPlainTextEdit(central);
    records_->setReadOnly(true);
    // Long records wrap at the list's width: no sideways scrolling.
    records_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    records_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    records_->setMaximumBlockCount(5000);
    tabs_ = new QTabWidget(central);
    tabs_->addTab(records_, QStringLiteral("Records"));
    chart = new QtSkyChart(central);
    auto* columns = new QHBoxLayout();
    columns->addWidget(chart, 2);
    columns->addWidget(tabs_, 3);
    rows->addWidget(status_);
    rows->addLayout(columns, 1);
    setCentralWidget(central);
    resize(1100, 520);
  }

  void addLine(const QString& line) { records_->appendPlainText(line); }

  // A real night changes its status about once a second; a rehearsal runs
  // through thousands a second, and redrawing each would slow it down a
  // hundredfold. The window redraws at most every redrawMs of wall time;
  // `force` draws the latest at once.
  void refresh(bool force = false) {
    constexpr qint64 redrawMs = 200;
    if (board_.version() == seenVersion_) return;
    if (!force && sinceRedraw_.isValid() && sinceRedraw_.elapsed() < redrawMs) return;
    sinceRedraw_.start();
    BoardSnapshot board = board_.snapshot();
    seenVersion_ = board.version;
    const NightStatus& status = board.status;
    std::string text = clockText(status.nowSeconds) + "  " + statusLine(status);
    if (!status.message.empty() && status.phase != NightPhase::fault) text += "\n" + status.message;
    status_->setText(fromUtf8(text));
    chart->setStatus(status);
    if (board.hasSky) chart->setSky(board.sky);
    setWindowTitle(fromUtf8(board.text.title));
    for (const NightLine& line : board.text.lines) {
      if (line.number <= lastLine_) continue;
      lastLine_ = line.number;
      addLine(fromUtf8(lineText(line)));
    }
  }

  StopRequest& stop() { return stop_; }
  void showPlan(const QString& text) {
    if (plan_ == nullptr) {
      plan_ = new QPlainTextEdit(tabs_);
      plan_->setReadOnly(true);
      plan_->setLineWrapMode(QPlainTextEdit::NoWrap);
      plan_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
      tabs_->addTab(plan_, QStringLiteral("Plan"));
    }
    plan_->setPlainText(text);
  }

  bool nightRunning = true;
  bool closedDuringNight = false;
  int requestsAtTheEnd = 0;  // stop requests counted when the night was over
  QPlainTextEdit* plan_ = nullptr;
  QtSkyChart* chart = nullptr;
  QLabel* status_ = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (!nightRunning) {
      event->accept();
      return;
    }
    // The night is still running: the first close ends it through the park
    // and the window stays to show how; a second one waits for a park under
    // way and otherwise leaves at once.
    event->ignore();
    switch (requestStop(stop_, 130)) {
      case StopRequest::Then::endTheNight:
        closedDuringNight = true;
        addLine(QStringLiteral("Stop requested: parking the mount and ending the night; "
                               "the window stays until the park is done"));
        return;
      case StopRequest::Then::carryOn:
        addLine(QStringLiteral("The park is under way: the window stays until it is done"));
        return;
      case StopRequest::Then::windUp:
        event->accept();
        return;
      case StopRequest::Then::leaveNow:  // left already, as a Ctrl-C would
        return;
    }
  }

 private:
  StopRequest& stop_;
  const StatusBoard& board_;
  std::uint64_t seenVersion_ = 0;
  std::uint64_t lastLine_ = 0;
  QElapsedTimer sinceRedraw_;
  QPlainTextEdit* records_ = nullptr;
  QTabWidget* tabs_ = nullptr;
};

QtWindow::QtWindow(StopRequest& stop, const StatusBoard& board) : view_(std::make_unique<View>(stop, board)) {
  view_->setWindowTitle(QString::fromUtf8(initialWindowTitle));
  view_->show();
  QCoreApplication::processEvents();
}

QtWindow::~QtWindow() = default;

void QtWindow::processEvents() {
  view_->refresh();
  QCoreApplication::processEvents();
}

void QtWindow::nightIsOver() {
  view_->refresh(true);
  if (!view_->nightRunning) return;
  view_->nightRunning = false;
  // Counted first: a request that comes in between still closes the window.
  view_->requestsAtTheEnd = view_->stop().count();
  view_->stop().nightIsOver();
}

int QtWindow::runUntilClosed() {
  if (!view_->isVisible()) return 0;
  // A stop request after the night (Ctrl-C in the terminal, SIGTERM from the
  // service manager) closes the window as a click would.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, view_.get(), [this] {
    view_->refresh();
    if (view_->stop().count() > view_->requestsAtTheEnd) view_->close();
  });
  watch.start(100);
  return QApplication::exec();
}

bool QtWindow::closedDuringNight() const { return view_->closedDuringNight; }

bool QtWindow::saveSnapshot(const std::string& path) {
  view_->refresh(true);
  QCoreApplication::processEvents();
  return view_->grab().save(QString::fromStdString(path), "PNG");
}

void QtWindow::showPlan(const std::string& planText) { view_->showPlan(fromUtf8(planText)); }

std::string QtWindow::statusText() const { return view_->status_->text().toStdString(); }

std::string QtWindow::planText() const {
  return view_->plan_ == nullptr ? std::string() : view_->plan_->toPlainText().toStdString();
}

}  // namespace vantrel
