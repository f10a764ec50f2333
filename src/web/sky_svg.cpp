// The sky chart as inline SVG: the same picture as the window's chart.
#include <cmath>
#include <cstdio>

#include "web/json_text.h"
#include "web/web_pages.h"

namespace vantrel {
namespace {

// The chart is drawn around (0, 0); the horizon has this radius.
constexpr double horizonRadius = 100;
constexpr double degToRad = 3.14159265358979323846 / 180;
// Targets are chosen from due east (270) to 7.5 degrees short of south.
constexpr double windowStartAz = 270;
constexpr double windowEndAz = 352.5;

double radiusAt(double altDeg) { return (90 - altDeg) / 90 * horizonRadius; }

// Azimuth from south through west: south down, west right, north up, east left.
void place(double azDeg, double altDeg, double& x, double& y) {
  double r = radiusAt(altDeg);
  x = r * std::sin(azDeg * degToRad);
  y = r * std::cos(azDeg * degToRad);
}

// A coordinate with two decimals: a hundredth of a degree of altitude is
// finer than the dots. No "-0.00": a rounded zero is written as zero.
std::string n(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::round(v * 100) / 100 + 0.0);
  return text;
}

}  // namespace

std::string skySvg(const SkyView& sky, const NightStatus* mount) {
  std::string svg =
      "<svg id=\"sky\" viewBox=\"-112 -112 224 224\" role=\"img\" "
      "aria-label=\"sky chart\"><circle class=\"horizon\" r=\"100\"/>";
  // A minimum altitude below the horizon chooses down to the horizon only as
  // far as the chart can show.
  double minAlt = std::isfinite(sky.minAltitude) ? std::fmax(0.0, std::fmin(90.0, sky.minAltitude)) : 0;
  double rMin = radiusAt(minAlt);
  double x0, y0, x1, y1;
  place(windowStartAz, minAlt, x0, y0);
  place(windowEndAz, minAlt, x1, y1);
  svg += "<path class=\"window\" d=\"M0 0L" + n(x0) + " " + n(y0) + "A" + n(rMin) + " " + n(rMin) + " 0 0 0 " +
         n(x1) + " " + n(y1) + "Z\"/>";
  for (int alt : {30, 60}) {
    svg += "<circle class=\"ring\" r=\"" + n(radiusAt(alt)) + "\"/><text class=\"label\" x=\"2\" y=\"" +
           n(8 - radiusAt(alt)) + "\">" + std::to_string(alt) + "&#176;</text>";
  }
  svg += "<text class=\"compass\" x=\"0\" y=\"-103\">N</text><text class=\"compass\" x=\"0\" y=\"110\">S</text>"
         "<text class=\"compass\" x=\"-106\" y=\"3\">E</text><text class=\"compass\" x=\"106\" y=\"3\">W</text>";
  for (std::size_t i = 0; i < sky.points.size(); ++i) {
    const SkyView::Point& p = sky.points[i];
    if (!(p.altDeg >= 0 && p.altDeg <= 90) || !std::isfinite(p.azDeg)) continue;
    double x, y;
    place(p.azDeg, p.altDeg, x, y);
    std::string at = "cx=\"" + n(x) + "\" cy=\"" + n(y) + "\"";
    svg += std::string("<circle class=\"") + (p.observed ? "observed" : "free") + "\" " + at + " r=\"2.2\"><title>row " +
           std::to_string(i + 1) + "</title></circle>";
    if (static_cast<int>(i) == sky.chosenIndex) svg += "<circle class=\"current\" " + at + " r=\"5\"/>";
  }
  if (mount != nullptr && mount->reported && mount->mountAltDeg >= 0 && mount->mountAltDeg <= 90 &&
      std::isfinite(mount->mountAzDeg)) {
    double x, y;
    place(mount->mountAzDeg, mount->mountAltDeg, x, y);
    svg += "<path class=\"mount\" d=\"M" + n(x - 4) + " " + n(y) + "h8M" + n(x) + " " + n(y - 4) + "v8\"/>";
  }
  svg += "<text class=\"label\" x=\"-110\" y=\"-100\">" + htmlText(sky.timeText) + "</text></svg>";
  return svg;
}

}  // namespace vantrel
