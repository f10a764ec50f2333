// target_positions.cpp - the azimuth and altitude of every row for one
// clock sample.
//
// Every row is computed in every pass, chosen or not, all for the same clock
// sample, unless only the candidates are asked for: then a row that cannot
// be chosen is left out (position_pass.h, note 5), which no choice can tell.
// The rows are handed to the position pass from row 1 on; row 0 is the
// scan's reference value, not a position.
#include "schedule/target_scan.h"

namespace vantrel {

void computePositions(TargetTable& table, const SiteConfig& config, const ClockSample& sample, PositionPass& pass,
                      PositionsOf which) {
  if (table.targetCount <= 0) return;
  auto count = static_cast<std::size_t>(table.targetCount);
  if (which == PositionsOf::candidates) {
    pass.computeCandidates(table.raDeg.data() + 1, table.decDeg.data() + 1, table.targetState.data() + 1, count,
                           config.siteLatitude, config.siteLongitude, config.minAltitude, sample,
                           table.azDeg.data() + 1, table.altDeg.data() + 1);
    return;
  }
  pass.compute(table.raDeg.data() + 1, table.decDeg.data() + 1, count, config.siteLatitude, config.siteLongitude,
               sample, table.azDeg.data() + 1, table.altDeg.data() + 1);
}

}  // namespace vantrel
