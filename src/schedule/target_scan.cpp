// target_scan.cpp - the choice of the next row.
//
// Given:
//    table        azDeg (single precision, degrees from south through west),
//                 altDeg (degrees) and targetState of rows 1..targetCount
//    minAltitude  degrees
// Returned:
//    chosenRow       the eligible row with the largest azimuth, 0 for none
//    candidateCount  how often the choice changed during the scan
// Notes:
// 1) azDeg[0] is set to 0 first: it is the reference the first eligible row
//    is compared with, so that row always becomes the choice.
// 2) The azimuths are compared as single-precision values, as stored; only
//    the window bounds and minAltitude are doubles.
// 3) The scan does not mark the chosen row: that is the night's step, after
//    the row's log record has been written.
#include "schedule/target_scan.h"

namespace vantrel {

bool inChoiceWindow(const TargetTable& table, int row, double minAltitude) {
  float az = table.azDeg[row];
  return az > azimuthWindowLowDeg && az < azimuthWindowHighDeg && table.altDeg[row] > minAltitude;
}

ScanResult scanTargets(TargetTable& table, double minAltitude, const SunGuard& sun, std::vector<int>* passedOver) {
  ScanResult result;
  table.azDeg[0] = 0.0f;
  for (int row = 1; row <= table.targetCount; ++row) {
    if (!inChoiceWindow(table, row, minAltitude) || table.targetState[row] != 0) continue;
    if (sun.passesOver(table.azDeg[row], table.altDeg[row])) {
      if (passedOver != nullptr) passedOver->push_back(row);
      continue;
    }
    if (table.azDeg[result.chosenRow] < table.azDeg[row]) {
      result.chosenRow = static_cast<std::int16_t>(row);
      ++result.candidateCount;
    }
  }
  return result;
}

}  // namespace vantrel
