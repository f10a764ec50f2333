#include "mount/dwell_jump.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {
namespace {

constexpr std::int64_t msPerSecond = 1000;
constexpr std::int64_t mostChanges = 1'000'000'000'000;  // note 3

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return -floorDiv(-a, b); }
std::int64_t secondOf(std::int64_t ms) { return floorDiv(ms, msPerSecond); }

}  // namespace

std::int64_t steadyPollsToSkip(std::int64_t nowMs, std::int64_t pauseMs, std::int64_t clockTicks,
                               double dwellChanges, std::int64_t stepUntilMs) {
  if (pauseMs <= 0 || pauseMs > msPerSecond) return 0;
  if (!(static_cast<double>(clockTicks) < dwellChanges)) return 0;  // the dwell is over already

  // The smallest count that ends the dwell, less what is counted already.
  std::int64_t needed = mostChanges;
  if (dwellChanges - static_cast<double>(clockTicks) < static_cast<double>(mostChanges)) {
    const auto ending = static_cast<std::int64_t>(std::ceil(dwellChanges));
    needed = std::clamp<std::int64_t>(ending - clockTicks, 1, mostChanges);
  }
  // The poll that counts the last change ends at or after the start of second
  // sec(nowMs) + needed; the polls before it go on.
  const std::int64_t endingSecondMs = (secondOf(nowMs) + needed) * msPerSecond;
  std::int64_t polls = ceilDiv(endingSecondMs - nowMs, pauseMs) - 1;
  if (stepUntilMs != std::numeric_limits<std::int64_t>::max()) {
    // Poll k ends at nowMs + k pauseMs, which must stay below stepUntilMs.
    polls = stepUntilMs <= nowMs ? 0 : std::min(polls, (stepUntilMs - nowMs - 1) / pauseMs);
  }
  return std::max<std::int64_t>(polls, 0);
}

std::int64_t clockTicksAfter(std::int64_t nowMs, std::int64_t pauseMs, std::int64_t clockTicks, std::int64_t polls) {
  return clockTicks + secondOf(nowMs + polls * pauseMs) - secondOf(nowMs);
}

}  // namespace vantrel
