#include "window/qt_sky_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vantrel {
namespace {

constexpr double pi = 3.141592653589793;

// Screen position of an azimuth (from south through west) and altitude on a
// chart of radius `radius` centred at `centre`.
QPointF project(double azDeg, double altDeg, QPointF centre, double radius) {
  double r = (90.0 - altDeg) / 90.0 * radius;
  double a = azDeg * pi / 180.0;
  return {centre.x() + r * std::sin(a), centre.y() + r * std::cos(a)};
}

}  // namespace

QtSkyChart::QtSkyChart(QWidget* parent) : QWidget(parent) { setMinimumSize(260, 260); }

void QtSkyChart::setSky(const SkyView& sky) {
  sky_ = sky;
  update();
}

void QtSkyChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(10, 14, 30));
  const double radius = std::min(width(), height()) / 2.0 - 30;
  const QPointF centre(width() / 2.0, height() / 2.0);

  // The sector where targets are chosen, down to the minimum altitude.
  double minAlt = std::clamp(sky_.minAltitude, -90.0, 90.0);
  QPainterPath window;
  window.moveTo(centre);
  for (double az = 270.0; az <= 352.5; az += 0.5) window.lineTo(project(az, std::max(minAlt, 0.0), centre, radius));
  window.closeSubpath();
  p.fillPath(window, QColor(40, 90, 60, 140));

  p.setPen(QPen(QColor(90, 100, 130), 1));
  for (double alt : {0.0, 30.0, 60.0}) {
    double r = (90.0 - alt) / 90.0 * radius;
    p.drawEllipse(centre, r, r);
  }
  p.setPen(QColor(170, 180, 210));
  for (auto [az, label] : {std::pair{180.0, "N"}, {0.0, "S"}, {270.0, "E"}, {90.0, "W"}}) {
    QPointF at = project(az, -9, centre, radius);
    p.drawText(QRectF(at.x() - 10, at.y() - 10, 20, 20), Qt::AlignCenter, label);
  }
  p.drawText(QPointF(6, 16), QString::fromStdString(sky_.timeText));

  p.setPen(Qt::NoPen);
  for (std::size_t i = 0; i < sky_.points.size(); ++i) {
    const SkyView::Point& point = sky_.points[i];
    if (point.altDeg < 0) continue;
    p.setBrush(point.observed ? QColor(110, 110, 120) : QColor(235, 235, 245));
    p.drawEllipse(project(point.azDeg, point.altDeg, centre, radius), 2.5, 2.5);
  }
  if (sky_.chosenIndex >= 0 && static_cast<std::size_t>(sky_.chosenIndex) < sky_.points.size()) {
    const SkyView::Point& chosen = sky_.points[static_cast<std::size_t>(sky_.chosenIndex)];
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(240, 70, 60), 2));
    p.drawEllipse(project(chosen.azDeg, chosen.altDeg, centre, radius), 6, 6);
  }
}

}  // namespace vantrel
