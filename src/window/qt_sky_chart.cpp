#include "window/qt_sky_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace vantrel {
namespace {

constexpr double pi = 3.141592653589793;
// Room around the horizon ring for the compass letters.
constexpr double rimMargin = 30;

const QColor background(10, 14, 30);
const QColor freeRow(235, 235, 245);
const QColor observedRow(110, 110, 120);
const QColor currentRing(240, 70, 60);
const QColor mountCross(250, 210, 60);

}  // namespace

QtSkyChart::QtSkyChart(QWidget* parent) : QWidget(parent) { setMinimumSize(300, 300); }

void QtSkyChart::setSky(const SkyView& sky) {
  sky_ = sky;
  update();
}

void QtSkyChart::setStatus(const NightStatus& status) {
  status_ = status;
  hasStatus_ = true;
  update();
}

double QtSkyChart::radius() const { return std::min(width(), height()) / 2.0 - rimMargin; }

QPointF QtSkyChart::place(double azDeg, double altDeg) const {
  double r = (90.0 - altDeg) / 90.0 * radius();
  double a = azDeg * pi / 180.0;
  return {width() / 2.0 + r * std::sin(a), height() / 2.0 + r * std::cos(a)};
}

void QtSkyChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), background);
  drawFrame(p);
  drawPoints(p);
  drawCurrent(p);
}

void QtSkyChart::drawFrame(QPainter& p) const {
  const QPointF centre(width() / 2.0, height() / 2.0);
  // The sector where targets are chosen, down to the minimum altitude.
  double minAlt = std::clamp(sky_.minAltitude, -90.0, 90.0);
  QPainterPath window;
  window.moveTo(centre);
  for (double az = 270.0; az <= 352.5; az += 0.5) window.lineTo(place(az, std::max(minAlt, 0.0)));
  window.closeSubpath();
  p.fillPath(window, QColor(40, 90, 60, 140));

  p.setPen(QPen(QColor(90, 100, 130), 1));
  for (double alt : {0.0, 30.0, 60.0}) {
    double r = (90.0 - alt) / 90.0 * radius();
    p.drawEllipse(centre, r, r);
  }
  p.setPen(QColor(140, 150, 180));
  for (double alt : {30.0, 60.0}) {
    // Labels on the north-east diagonal, where the choice window never is.
    QPointF at = place(225, alt);
    p.drawText(QRectF(at.x() - 14, at.y() - 8, 28, 16), Qt::AlignCenter, QString::number(alt) + QChar(0x00B0));
  }
  p.setPen(QColor(170, 180, 210));
  for (auto [az, label] : {std::pair{180.0, "N"}, {0.0, "S"}, {270.0, "E"}, {90.0, "W"}}) {
    QPointF at = place(az, -9);
    p.drawText(QRectF(at.x() - 10, at.y() - 10, 20, 20), Qt::AlignCenter, label);
  }
  std::string clock = hasStatus_ && status_.nowSeconds > 0 ? clockText(status_.nowSeconds) : sky_.timeText;
  p.drawText(QPointF(6, 16), QString::fromStdString(clock));
}

void QtSkyChart::drawPoints(QPainter& p) const {
  p.setPen(Qt::NoPen);
  for (const SkyView::Point& point : sky_.points) {
    if (point.altDeg < 0) continue;
    p.setBrush(point.observed ? observedRow : freeRow);
    p.drawEllipse(place(point.azDeg, point.altDeg), 2.5, 2.5);
  }
}

void QtSkyChart::drawCurrent(QPainter& p) const {
  if (showsEnd()) {
    p.setPen(status_.parked ? QColor(120, 220, 140) : currentRing);
    QFont big = p.font();
    big.setBold(true);
    p.setFont(big);
    QString text = status_.parked ? QStringLiteral("mount parked") : QStringLiteral("mount NOT parked");
    p.drawText(QRectF(0, height() - 24, width(), 20), Qt::AlignCenter, text);
    return;
  }
  bool observing = !hasStatus_ || status_.phase == NightPhase::observing || status_.phase == NightPhase::choosing;
  if (observing && sky_.chosenIndex >= 0 && static_cast<std::size_t>(sky_.chosenIndex) < sky_.points.size()) {
    const SkyView::Point& chosen = sky_.points[static_cast<std::size_t>(sky_.chosenIndex)];
    QPointF at = place(chosen.azDeg, chosen.altDeg);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(currentRing, 2));
    p.drawEllipse(at, 6, 6);
    if (hasStatus_ && !status_.targetName.empty()) {
      p.drawText(QPointF(at.x() + 9, at.y() - 7), QString::fromStdString(targetLabel(status_.targetName)));
    }
  }
  if (hasStatus_ && status_.reported && status_.phase == NightPhase::observing && status_.mountAltDeg >= 0) {
    QPointF at = place(status_.mountAzDeg, status_.mountAltDeg);
    p.setPen(QPen(mountCross, 1.5));
    p.drawLine(at + QPointF(-5, -5), at + QPointF(5, 5));
    p.drawLine(at + QPointF(-5, 5), at + QPointF(5, -5));
  }
}

}  // namespace vantrel
