// target_scan.h - the positions of every row and the choice of the next one.
//
// Notes:
// 1) Every row is computed in every pass, chosen or not, for one clock sample.
// 2) A row is eligible when 270 < azDeg < 352.5, altDeg > minAltitude and its
//    targetState is 0 (all comparisons strict). A later row replaces the
//    choice only when its azimuth is strictly larger, so among equal azimuths
//    the lowest row wins. candidateCount counts the replacements; it is 0
//    exactly when no row is eligible.
// 3) While the Sun is up, rows near it are not eligible (sun_guard.h).
#pragma once

#include <cstdint>
#include <vector>

#include "astro/clock_sample.h"
#include "astro/position_pass.h"
#include "inputs/site_config.h"
#include "inputs/target_table.h"
#include "schedule/sun_guard.h"

namespace vantrel {

inline constexpr double azimuthWindowLowDeg = 270.0;
inline constexpr double azimuthWindowHighDeg = 352.5;

struct ScanResult {
  std::int16_t chosenRow = 0;       // 0 when none
  std::int16_t candidateCount = 0;  // 0 when no row is eligible
};

// Every row, or only the rows that may be chosen: the others get azDeg 0 and
// altDeg -90, and the choice of the pass is the same (position_pass.h, note 5).
enum class PositionsOf { everyRow, candidates };

// Writes azDeg and altDeg of rows 1..targetCount for `sample`.
void computePositions(TargetTable& table, const SiteConfig& config, const ClockSample& sample, PositionPass& pass,
                      PositionsOf which = PositionsOf::everyRow);

// Whether a row stands where a choice can fall on it: 270 < azDeg < 352.5 and
// altDeg > minAltitude, all strict; its targetState is not looked at.
bool inChoiceWindow(const TargetTable& table, int row, double minAltitude);

// Sets azDeg[0] to 0 (the reference value) and scans rows 1..targetCount.
// A row the Sun guard passes over is not eligible; when `passedOver` is
// given, every row that would have been eligible but for the Sun is added.
ScanResult scanTargets(TargetTable& table, double minAltitude, const SunGuard& sun = {},
                       std::vector<int>* passedOver = nullptr);

}  // namespace vantrel
