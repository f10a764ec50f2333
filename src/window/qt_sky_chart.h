// qt_sky_chart.h - a live chart of the sky of the current pass.
//
// Zenith in the centre, the horizon at the rim, north up and east to the
// left, as the sky looks from below; rings at altitudes 30 and 60, labelled.
// The shaded sector is where a target can be chosen: from due east to 7.5
// degrees short of south, above the minimum altitude. Free rows are white,
// observed rows grey, the current target ringed red with its name, and the
// mount's reported position (the goto's right ascension with the reported
// declination) a yellow cross. After the night the ring gives way to the
// word that the mount was parked (or not).
#pragma once

#include <QWidget>

#include "status/night_status.h"

namespace vantrel {

class QtSkyChart : public QWidget {
 public:
  explicit QtSkyChart(QWidget* parent = nullptr);
  void setSky(const SkyView& sky);
  void setStatus(const NightStatus& status);

  // Where an azimuth (from south through west) and altitude are drawn, in
  // the widget's coordinates.
  QPointF place(double azDeg, double altDeg) const;
  // The night is over and the chart says how the mount was left.
  bool showsEnd() const { return hasStatus_ && status_.phase == NightPhase::ended; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double radius() const;
  void drawFrame(QPainter& p) const;
  void drawPoints(QPainter& p) const;
  void drawCurrent(QPainter& p) const;

  SkyView sky_;
  NightStatus status_;
  bool hasStatus_ = false;
};

}  // namespace vantrel
