// plan_svg.cpp - tonight's plan as a picture (SVG) for a web page.
//
// Three parts on one time axis from the start to the end of the night: the
// altitude of every observed row over the night (thick where it is
// observed), one lane per target line with a bar per pointing from its goto
// to the end of its dwell, and the rows never observed with the reason. A
// curve names its row at its peak and on hover.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "night/night_plan.h"
#include "simulation/simulated_clock.h"
#include "status/night_status.h"

namespace vantrel {
namespace {

constexpr double pageWidth = 1000;
constexpr double labelWidth = 230;  // lane names left of the time axis
constexpr double axisLeft = labelWidth + 10;
constexpr double axisRight = pageWidth - 20;
constexpr double altitudeTop = 70, altitudeHeight = 260;
constexpr double laneHeight = 16;
constexpr std::int64_t curveStepSeconds = 300;

// Text for XML: markup characters escaped; control characters and bytes
// that are not UTF-8 become "?".
std::string xml(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    bool whole = n > 0 && i + n <= text.size();
    for (std::size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!whole || b < 0x20 || b == 0x7F) {
      out += '?';
      continue;
    }
    if (n > 1) {
      out.append(text, i, n);
      i += n - 1;
      continue;
    }
    switch (text[i]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += text[i];
    }
  }
  return out;
}

std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string colour(std::size_t index) {
  return "hsl(" + std::to_string(static_cast<int>(index * 137.5) % 360) + ",65%,45%)";
}

struct Axis {
  std::int64_t from, to;
  double x(std::int64_t seconds) const {
    double span = static_cast<double>(std::max<std::int64_t>(1, to - from));
    return axisLeft + (axisRight - axisLeft) * static_cast<double>(seconds - from) / span;
  }
};

double altitudeY(double alt) { return altitudeTop + altitudeHeight * (1 - std::clamp(alt, 0.0, 90.0) / 90.0); }

std::string text(double x, double y, const std::string& body, const std::string& extra = "") {
  return "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\"" + extra + ">" + body + "</text>\n";
}

// A label at the peak of curves: the rows of one line whose peaks meet
// (neighbours on a grid) share one, "rows 16, 17, 19".
struct PeakLabel {
  double x, y;
  std::size_t lane;
  std::vector<int> rows;
  std::string text;
  double y0 = 0;  // where it went
};

// Places the labels: each at its peak, else a line or a few above or below
// it, the nearest place that covers no label placed before; at the peak when
// all are taken (a label far from its curve would name another).
void placeLabels(std::vector<PeakLabel>& labels) {
  constexpr double line = 10, charWidth = 5;  // at 9 px
  for (std::size_t i = 0; i < labels.size(); ++i) {
    PeakLabel& l = labels[i];
    std::sort(l.rows.begin(), l.rows.end());
    l.text = l.rows.size() == 1 ? "row " : "rows ";
    for (std::size_t k = 0; k < l.rows.size(); ++k) l.text += (k ? ", " : "") + std::to_string(l.rows[k]);
    // A label at the end of the axis stays within the picture.
    const double half = charWidth * static_cast<double>(l.text.size()) / 2;
    l.x = std::clamp(l.x, axisLeft + half, pageWidth - 2 - half);
    auto free = [&](double at) {
      return std::none_of(labels.begin(), labels.begin() + static_cast<std::ptrdiff_t>(i), [&](const PeakLabel& o) {
        double apart = charWidth * static_cast<double>(o.text.size() + l.text.size()) / 2;
        return std::abs(o.x - l.x) < apart && std::abs(o.y0 - at) < line;
      });
    };
    const double peak = std::max(l.y - 5, altitudeTop + 12);
    l.y0 = peak;
    for (int k = 0; k <= 4; ++k) {
      if (double up = peak - line * k; up >= altitudeTop + 12 && free(up)) {
        l.y0 = up;
        break;
      }
      if (double down = peak + line * k; down <= altitudeTop + altitudeHeight - 4 && free(down)) {
        l.y0 = down;
        break;
      }
    }
  }
}

}  // namespace

std::string planSvg(const NightPlan& plan) {
  Axis axis{plan.startSeconds, std::max(plan.endSeconds(), plan.startSeconds + 3600)};
  // One lane per target line, in the order of their first pointing.
  std::vector<std::string> lanes;
  std::map<std::string, std::size_t> laneOf;
  for (const PlannedPointing& p : plan.pointings) {
    if (laneOf.emplace(p.targetName, lanes.size()).second) lanes.push_back(p.targetName);
  }
  const double lanesTop = altitudeTop + altitudeHeight + 40;
  const double neverTop = lanesTop + laneHeight * static_cast<double>(lanes.size()) + 40;
  const double height = neverTop + 24 + 16 * static_cast<double>(plan.neverObserved.size()) + 20;

  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(pageWidth) + "\" height=\"" +
                    num(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  ClockReading start = civilReading(plan.startSeconds * 1000);
  ClockReading end = civilReading(axis.to * 1000);
  svg += text(10, 22, "Tonight's plan: " + start.dateText + " " + start.timeText.substr(0, 5) + " to " +
                          end.dateText + " " + end.timeText.substr(0, 5) + " (" + civilZone().name() + ")",
              " font-size=\"16\" font-weight=\"bold\"");
  svg += text(10, 42, xml(describeRehearsal(plan.rehearsal, Tense::future)));

  // Hours on the axis, across both panels.
  for (std::int64_t hour = (axis.from / 3600 + 1) * 3600; hour <= axis.to; hour += 3600) {
    double x = axis.x(hour);
    svg += "<line x1=\"" + num(x) + "\" y1=\"" + num(altitudeTop) + "\" x2=\"" + num(x) + "\" y2=\"" +
           num(neverTop - 30) + "\" stroke=\"#ddd\"/>\n";
    svg += text(x - 14, altitudeTop - 6, clockText(hour).substr(0, 5), " fill=\"#555\"");
  }
  // Altitude panel: frame, 30/60 degree lines, the minimum altitude.
  svg += "<rect x=\"" + num(axisLeft) + "\" y=\"" + num(altitudeTop) + "\" width=\"" + num(axisRight - axisLeft) +
         "\" height=\"" + num(altitudeHeight) + "\" fill=\"none\" stroke=\"#888\"/>\n";
  for (double alt : {30.0, 60.0}) {
    svg += "<line x1=\"" + num(axisLeft) + "\" y1=\"" + num(altitudeY(alt)) + "\" x2=\"" + num(axisRight) +
           "\" y2=\"" + num(altitudeY(alt)) + "\" stroke=\"#eee\"/>\n";
    svg += text(axisLeft - 28, altitudeY(alt) + 4, num(alt).substr(0, 2) + "\u00B0", " fill=\"#555\"");
  }
  double minAlt = plan.config.minAltitude;
  svg += "<line x1=\"" + num(axisLeft) + "\" y1=\"" + num(altitudeY(minAlt)) + "\" x2=\"" + num(axisRight) +
         "\" y2=\"" + num(altitudeY(minAlt)) + "\" stroke=\"#c33\" stroke-dasharray=\"6 4\"/>\n";
  svg += text(10, altitudeY(minAlt) + 4, "minimum altitude " + xml(num(minAlt)) + "\u00B0", " fill=\"#c33\"");
  svg += text(10, altitudeTop + 14, "altitude of each", " fill=\"#555\"");
  svg += text(10, altitudeTop + 28, "observed row", " fill=\"#555\"");

  // Each curve names its row on hover, and at its highest point, where
  // curves of different rows part most.
  std::vector<PeakLabel> labels;
  for (const PlannedPointing& p : plan.pointings) {
    std::size_t lane = laneOf[p.targetName];
    std::string c = colour(lane);
    std::string title = "<title>row " + std::to_string(p.row) + " " + xml(targetLabel(p.targetName)) + "</title>";
    std::string whole, observed;
    double peakX = axis.x(axis.from), peakY = altitudeY(0) + 1;
    for (std::int64_t t = axis.from; t <= axis.to; t += curveStepSeconds) {
      double x = axis.x(t), y = altitudeY(altitudeAt(p.raDeg, p.decDeg, plan.config, t));
      whole += num(x) + "," + num(y) + " ";
      if (y < peakY) peakX = x, peakY = y;
    }
    for (std::int64_t t = p.gotoSeconds;; t = std::min(t + 60, p.dwellEndSeconds)) {
      observed += num(axis.x(t)) + "," + num(altitudeY(altitudeAt(p.raDeg, p.decDeg, plan.config, t))) + " ";
      if (t >= p.dwellEndSeconds) break;
    }
    svg += "<polyline points=\"" + whole + "\" fill=\"none\" stroke=\"" + c + "\" stroke-opacity=\"0.25\">" + title +
           "</polyline>\n";
    svg += "<polyline points=\"" + observed + "\" fill=\"none\" stroke=\"" + c + "\" stroke-width=\"4\">" + title +
           "</polyline>\n";
    auto shared = std::find_if(labels.begin(), labels.end(), [&](const PeakLabel& l) {
      return l.lane == lane && std::abs(l.x - peakX) < 20 && std::abs(l.y - peakY) < 10;
    });
    if (shared == labels.end()) labels.push_back({peakX, peakY, lane, {p.row}, "", 0});
    else shared->rows.push_back(p.row);
  }
  placeLabels(labels);
  for (const PeakLabel& l : labels) {
    svg += text(l.x, l.y0, l.text, " font-size=\"9\" text-anchor=\"middle\" fill=\"" + colour(l.lane) + "\"");
  }

  // The lanes: a bar per pointing from its goto to the end of its dwell.
  svg += text(10, lanesTop - 10, "pointings, from goto to end of dwell (a bar names its row when pointed at)", " font-weight=\"bold\"");
  for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
    double y = lanesTop + laneHeight * static_cast<double>(lane);
    svg += text(10, y + 12, xml(targetLabel(lanes[lane])));
  }
  for (const PlannedPointing& p : plan.pointings) {
    std::size_t lane = laneOf[p.targetName];
    double y = lanesTop + laneHeight * static_cast<double>(lane);
    double x0 = axis.x(p.gotoSeconds), x1 = std::max(axis.x(p.dwellEndSeconds), x0 + 2);
    svg += "<rect x=\"" + num(x0) + "\" y=\"" + num(y + 2) + "\" width=\"" + num(x1 - x0) + "\" height=\"" +
           num(laneHeight - 4) + "\" fill=\"" + colour(lane) + "\" stroke=\"white\" stroke-width=\"0.5\"><title>row " + std::to_string(p.row) + " " +
           clockText(p.gotoSeconds) + " to " + clockText(p.dwellEndSeconds) + "</title></rect>\n";
  }

  svg += text(10, neverTop, neverObservedCount(plan), " font-weight=\"bold\"");
  for (std::size_t i = 0; i < plan.neverObserved.size(); ++i) {
    const NeverObservedRow& n = plan.neverObserved[i];
    svg += text(10, neverTop + 20 + 16 * static_cast<double>(i),
                "row " + std::to_string(n.row) + "  " + xml(targetLabel(n.targetName)) + ": " +
                    xml(neverObservedText(n, plan.config)));
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace vantrel
