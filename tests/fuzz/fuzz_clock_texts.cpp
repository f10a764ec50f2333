// The clock texts: any date and time text gives a sample without fault, and
// every civil time that parses reads back as the same texts.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "astro/clock_sample.h"
#include "platform/simulated_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t cut = bytes.find('\n');
  std::string_view date = bytes.substr(0, cut);
  std::string_view time = cut == std::string_view::npos ? std::string_view() : bytes.substr(cut + 1);
  vantrel::ClockSample sample = vantrel::sampleClock(date, time);
  if (sample.cycleDateText != date || sample.cycleTimeText != time) std::abort();
  if (!std::isfinite(sample.clockYear) || !std::isfinite(sample.clockMonth) || !std::isfinite(sample.clockDay)) {
    std::abort();
  }

  std::optional<std::int64_t> ms = vantrel::SimulatedClock::parseCivilTime(std::string(bytes));
  if (ms) {
    vantrel::ClockReading reading = vantrel::civilReading(*ms);
    std::optional<std::int64_t> again =
        vantrel::SimulatedClock::parseCivilTime(reading.dateText + "T" + reading.timeText);
    if (!again || *again != *ms) std::abort();
  }
  return 0;
}
