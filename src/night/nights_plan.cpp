#include "night/nights_plan.h"

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <exception>
#include <thread>

#include "inputs/text_lines.h"
#include "simulation/simulated_clock.h"
#include "simulation/simulated_files.h"
#include "status/night_status.h"

namespace vantrel {
namespace {

constexpr std::int64_t msPerDay = 86400000;

// Rehearses nights [0, count) on `threads` threads, each taking the next
// night not yet taken. The first fault, in night order, is thrown.
void rehearseAll(NightsPlan& plan, std::int64_t startCivilMs, int count, FileStore& files, int threads,
                 const SunLimits& sun) {
  plan.nights.resize(static_cast<std::size_t>(count));
  std::vector<std::exception_ptr> faults(static_cast<std::size_t>(count));
  std::atomic<int> next{0};
  auto work = [&] {
    for (int night = next++; night < count; night = next++) {
      auto i = static_cast<std::size_t>(night);
      try {
        plan.nights[i] = planNight(startCivilMs + night * msPerDay, files, sun);
      } catch (...) {
        faults[i] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& fault : faults) {
    if (fault) std::rethrow_exception(fault);
  }
}

// Why a pointing free on every night stayed free: beaten at some pass of some
// night, or never in the window at all.
std::string reasonOverNights(const NightsPlan& plan, int row) {
  int passes = 0;
  for (const NightPlan& night : plan.nights) {
    for (const NeverObservedRow& never : night.neverObserved) {
      if (never.row == row) passes += never.passesInWindow;
    }
  }
  const std::string minAltitude = shortNumber(plan.config.minAltitude);
  if (passes == 0) {
    return std::string("never in the window (azimuth 270 to 352.5, above ") + minAltitude +
           " degrees) at any pass of any night";
  }
  return "always beaten by a row nearer the meridian (in the window at " + std::to_string(passes) +
         (passes == 1 ? " pass" : " passes") + " over the period)";
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

}  // namespace

NightsPlan planNights(std::int64_t startCivilMs, int nightCount, FileStore& files, int threads, const SunLimits& sun) {
  NightsPlan plan;
  plan.startSeconds = startCivilMs / 1000;
  // Read once (note 1); a bad file fails here as the night would fail.
  MemoryWrites inputs(files);
  inputs.keepCopies({siteConfigFileName, targetListFileName});
  plan.config = loadSiteConfig(inputs);
  TargetTable table;
  parseTargetLines(readTargetLines(inputs), plan.config, table, &plan.lines);
  const auto rows = static_cast<std::ptrdiff_t>(table.targetCount) + 1;
  plan.rowNames.assign(table.targetName.begin(), table.targetName.begin() + rows);
  plan.raDeg.assign(table.raDeg.begin(), table.raDeg.begin() + rows);
  plan.decDeg.assign(table.decDeg.begin(), table.decDeg.begin() + rows);

  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  rehearseAll(plan, startCivilMs, std::max(nightCount, 0), inputs, std::min(threads, std::max(nightCount, 1)), sun);
  return plan;
}

std::vector<PointingNights> pointingNights(const NightsPlan& plan) {
  std::vector<PointingNights> rows(plan.rowNames.size());
  for (std::size_t row = 0; row < rows.size(); ++row) rows[row].row = static_cast<int>(row);
  for (std::size_t night = 0; night < plan.nights.size(); ++night) {
    for (const PlannedPointing& p : plan.nights[night].pointings) {
      PointingNights& entry = rows.at(static_cast<std::size_t>(p.row));
      entry.nights.push_back(static_cast<int>(night) + 1);
      entry.gotoSeconds.push_back(p.gotoSeconds);
    }
  }
  for (std::size_t row = 1; row < rows.size(); ++row) {
    if (rows[row].nights.empty()) rows[row].reason = reasonOverNights(plan, static_cast<int>(row));
  }
  return rows;
}

std::string nightRanges(const std::vector<int>& nights) {
  std::string text;
  for (std::size_t i = 0; i < nights.size();) {
    std::size_t j = i;
    while (j + 1 < nights.size() && nights[j + 1] == nights[j] + 1) ++j;
    if (!text.empty()) text += ",";
    text += std::to_string(nights[i]);
    if (j > i) text += (j == i + 1 ? "," : "-") + std::to_string(nights[j]);
    i = j + 1;
  }
  return text;
}

std::string nightsTable(const NightsPlan& plan) {
  std::string out;
  for (std::size_t night = 0; night < plan.nights.size(); ++night) {
    out += planTimeline(plan.nights[night], "Night " + std::to_string(night + 1)) + "\n";
  }
  const std::vector<PointingNights> rows = pointingNights(plan);
  const std::string first = civilReading(plan.startSeconds * 1000).dateText;
  const std::string last = civilReading((plan.startSeconds + (static_cast<std::int64_t>(plan.nights.size()) - 1) * 86400) * 1000).dateText;
  out += "Each list line over " + std::to_string(plan.nights.size()) + " nights (night 1 " + first + ", night " +
         std::to_string(plan.nights.size()) + " " + last + "); after each pointing the nights it will be observed:\n";
  std::vector<const TargetLineRows*> neverLines;
  for (const TargetLineRows& line : plan.lines) {
    int observed = 0;
    std::string pointings;
    for (int k = 0; k < line.rowCount; ++k) {
      const PointingNights& p = rows.at(static_cast<std::size_t>(line.baseRow + k));
      observed += p.nights.empty() ? 0 : 1;
      pointings += "  #" + std::to_string(k + 1) + ": " + (p.nights.empty() ? "-" : nightRanges(p.nights));
    }
    if (observed == 0) neverLines.push_back(&line);
    char head[64];
    std::snprintf(head, sizeof head, "  line %4d  %d/%d  ", line.fileLine, observed, line.rowCount);
    out += head + plan.rowNames.at(static_cast<std::size_t>(line.baseRow)) + "\n           " + pointings + "\n";
  }
  if (neverLines.empty()) {
    out += "Every list line will be observed at least once.\n";
    return out;
  }
  out += std::to_string(neverLines.size()) + (neverLines.size() == 1 ? " list line" : " list lines") +
         " will never be observed in the period:\n";
  for (const TargetLineRows* line : neverLines) {
    char head[32];
    std::snprintf(head, sizeof head, "  line %4d  ", line->fileLine);
    // The line's base row speaks for it: its neighbours stand a grid step away.
    out += head + plan.rowNames.at(static_cast<std::size_t>(line->baseRow)) + ": " +
           rows.at(static_cast<std::size_t>(line->baseRow)).reason + "\n";
  }
  return out;
}

std::string nightsCsv(const NightsPlan& plan) {
  const std::string eol = "\r\n";
  std::string out = "line,pointing,row,target,ra_deg,dec_deg,nights_observed";
  for (std::size_t night = 0; night < plan.nights.size(); ++night) {
    out += "," + civilReading((plan.startSeconds + static_cast<std::int64_t>(night) * 86400) * 1000).dateText;
  }
  out += ",reason" + eol;
  const std::vector<PointingNights> rows = pointingNights(plan);
  for (const TargetLineRows& line : plan.lines) {
    for (int k = 0; k < line.rowCount; ++k) {
      const PointingNights& p = rows.at(static_cast<std::size_t>(line.baseRow + k));
      std::vector<std::string> gotos(plan.nights.size());
      for (std::size_t i = 0; i < p.nights.size(); ++i) {
        gotos[static_cast<std::size_t>(p.nights[i] - 1)] = clockText(p.gotoSeconds[i]);
      }
      out += std::to_string(line.fileLine) + "," + std::to_string(k + 1) + "," + std::to_string(p.row) + "," +
             csvField(plan.rowNames.at(static_cast<std::size_t>(p.row))) + "," + number(plan.raDeg.at(static_cast<std::size_t>(p.row))) + "," +
             number(plan.decDeg.at(static_cast<std::size_t>(p.row))) + "," + std::to_string(p.nights.size());
      for (const std::string& at : gotos) out += "," + at;
      out += "," + csvField(p.reason) + eol;
    }
  }
  return out;
}

}  // namespace vantrel
