// qt_sky_chart.h - a live chart of the sky of the current pass.
//
// Zenith in the centre, the horizon at the rim, north up and east to the
// left, as the sky looks from below. The shaded sector is where a target can
// be chosen: from due east to 7.5 degrees short of south, above the minimum
// altitude. Free rows are white, observed rows grey, the current target red.
#pragma once

#include <QWidget>

#include "platform/window.h"

namespace vantrel {

class QtSkyChart : public QWidget {
 public:
  explicit QtSkyChart(QWidget* parent = nullptr);
  void setSky(const SkyView& sky);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SkyView sky_;
};

}  // namespace vantrel
