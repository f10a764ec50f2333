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

// Under the horizon: the marks of the chart and what they mean.
const char* const legend =
    "<g class=\"legend\"><rect class=\"window\" x=\"-108\" y=\"119\" width=\"8\" height=\"6\"/>"
    "<text x=\"-97\" y=\"125\">choosing window</text><circle class=\"free\" cx=\"-26\" cy=\"122\" r=\"2.2\"/>"
    "<text x=\"-21\" y=\"125\">not observed</text><circle class=\"observed\" cx=\"36\" cy=\"122\" r=\"2.2\"/>"
    "<text x=\"41\" y=\"125\">observed</text><circle class=\"current\" cx=\"-104\" cy=\"133\" r=\"3.5\"/>"
    "<text x=\"-97\" y=\"136\">current</text><circle class=\"next\" cx=\"-26\" cy=\"133\" r=\"3.5\"/>"
    "<text x=\"-21\" y=\"136\">next</text></g>";

// The centre of a position on the chart as SVG attributes; nothing for one
// the chart cannot show.
std::string centre(double azDeg, double altDeg) {
  if (!(altDeg >= 0 && altDeg <= 90) || !std::isfinite(azDeg)) return "";
  double x, y;
  place(azDeg, altDeg, x, y);
  return "cx=\"" + n(x) + "\" cy=\"" + n(y) + "\"";
}

}  // namespace

std::string skySvg(const SkyView& sky, const NightStatus* status) {
  std::string svg =
      "<svg id=\"sky\" viewBox=\"-112 -112 224 250\" role=\"img\" "
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
  // The next goto's row, when the look-ahead names one.
  int next = status != nullptr && status->next.known && !status->next.nightEndsFirst ? status->next.row - 1 : -1;
  for (std::size_t i = 0; i < sky.points.size(); ++i) {
    const SkyView::Point& p = sky.points[i];
    std::string at = centre(p.azDeg, p.altDeg);
    if (at.empty()) continue;
    svg += std::string("<circle class=\"") + (p.observed ? "observed" : "free") + "\" " + at + " r=\"2.2\"><title>row " +
           std::to_string(i + 1) + "</title></circle>";
    if (static_cast<int>(i) == sky.chosenIndex) svg += "<circle class=\"current\" " + at + " r=\"5\"/>";
    if (static_cast<int>(i) == next) svg += "<circle class=\"next\" " + at + " r=\"5\"/>";
  }
  if (status != nullptr && status->reported && !centre(status->mountAzDeg, status->mountAltDeg).empty()) {
    double x, y;
    place(status->mountAzDeg, status->mountAltDeg, x, y);
    // The label stands beside the cross, on the side toward the middle.
    bool left = x > 40;
    svg += "<path class=\"mount\" d=\"M" + n(x - 4) + " " + n(y) + "h8M" + n(x) + " " + n(y - 4) + "v8\"/>"
           "<text class=\"mountlabel\" x=\"" + n(left ? x - 6 : x + 6) + "\" y=\"" + n(y - 5) + "\"" +
           (left ? " text-anchor=\"end\"" : "") + ">mount " + clockText(status->reportedAtSeconds) + "</text>";
  }
  svg += "<text class=\"label\" x=\"-110\" y=\"-100\">" + htmlText(sky.timeText) + "</text>" + legend + "</svg>";
  return svg;
}

}  // namespace vantrel
