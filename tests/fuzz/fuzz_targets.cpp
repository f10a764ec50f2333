// libFuzzer targets, one per reader of outside bytes; each executable is built with
// VANTREL_FUZZ_TARGET naming one of the functions below. A property that fails aborts.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "astro/clock_sample.h"
#include "inputs/input_warnings.h"
#include "inputs/number_text.h"
#include "inputs/text_lines.h"
#include "mount/protocol.h"
#include "obslog/log_format.h"
#include "platform/fault.h"
#include "platform/posix_file_store.h"
#include "simulation/simulated_clock.h"

namespace vantrel::fuzz {

void require(bool property) { if (!property) std::abort(); }

// Any date and time text gives a sample without fault, and every civil time that parses reads back as
// the same texts.
void clock_texts(std::string_view bytes) {
  // The date up to the first newline, the time after it (empty when there is none).
  const std::string_view date = bytes.substr(0, bytes.find('\n')), time = bytes.substr(date.size() + (date != bytes));
  const ClockSample sample = sampleClock(date, time);
  require(sample.cycleDateText == date && sample.cycleTimeText == time && std::isfinite(sample.clockYear) &&
          std::isfinite(sample.clockMonth) && std::isfinite(sample.clockDay));
  if (const std::optional<std::int64_t> ms = SimulatedClock::parseCivilTime(std::string(bytes))) {
    const ClockReading reading = civilReading(*ms);
    require(SimulatedClock::parseCivilTime(reading.dateText + "T" + reading.timeText) == ms);
  }
}

// The log's number forms for any double and any pattern: the number item holds the value to 15
// significant digits in plain decimal; the pattern form keeps its letters and stays within half a unit of
// its last decimal.
void log_forms(std::string_view bytes) {
  double value;
  if (bytes.size() < sizeof value) return;
  std::memcpy(&value, bytes.data(), sizeof value);
  const std::string_view pattern = bytes.substr(sizeof value, 64);
  const std::string item = formatNumberItem(value);
  if (std::isfinite(value)) {
    char fifteen[64];
    std::snprintf(fifteen, sizeof fifteen, "%.15g", std::fabs(value));
    require(item.size() >= 3 && (item[0] == ' ' || item[0] == '-') && item.back() == ' ' &&
            item.find_first_of("eE") == std::string::npos);
    require(std::strtod(item.c_str() + 1, nullptr) == std::strtod(fifteen, nullptr));
  }
  const std::string formed = formatPattern(value, pattern);
  if (std::isfinite(value) && std::fabs(value) < 1e15 && pattern.find_first_of("0.") == std::string_view::npos) {
    // No digits in the pattern: its text, the value rounded to a whole number.
    std::string_view rest(formed);
    if (value < 0) rest.remove_prefix(1);
    require(rest.substr(0, pattern.size()) == pattern);
    const double read = std::strtod(std::string(rest.substr(pattern.size())).c_str(), nullptr);
    require(std::fabs(read - std::fabs(value)) <= 0.5 + 1e-14 * std::fabs(value));
  }
}

// The mount's reply and angle codec: any bytes as a reply, and any double as an angle to send. A reply is
// taken whole or not at all, its angle the field of four characters at offset 5, within half a turn either
// way (how a field reads is the number reader's "&h" form, fuzzed by number_text). An angle is sent as the
// low 16 bits of its count of 1/65536 turn rounded half to even, four upper-case hexadecimal digits, and
// reads back as those 16 bits taken signed.
void mount_codec(std::string_view bytes) {
  const std::optional<double> dec = checkPositionReply(bytes);
  require(dec.has_value() == (bytes.size() == 10 && bytes[9] == '#'));
  require(!dec || (*dec == decodeAngle(bytes.substr(5, 4)) && *dec >= -180 && *dec < 180));
  double degrees;
  if (bytes.size() < sizeof degrees) return;
  std::memcpy(&degrees, bytes.data(), sizeof degrees);
  const double units = std::nearbyint(degrees * 65536 / 360);
  try {
    const std::string field = encodeAngle(degrees);
    require(std::isfinite(units) && field.size() == 4 && field.find_first_not_of("0123456789ABCDEF") == field.npos);
    const double low = std::fmod(std::fmod(units, 65536.0) + 65536, 65536.0);  // the low 16 bits
    require(std::strtoul(field.c_str(), nullptr, 16) == static_cast<unsigned>(low));
    require(decodeAngle(field) == (low < 32768 ? low : low - 65536) / 65536 * 360);
  } catch (const Fault&) {
    require(!std::isfinite(units));
  }
}

// The number reader against a model built on strtod, for any bytes: the same value, bit for bit, and the
// same end. The rules read another way: drop the blanks (remembering where each kept character stood), then
// let strtod read the longest prefix made only of the characters a decimal number can hold.
void number_text(std::string_view text) {
  std::vector<std::size_t> at;
  std::string clean;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n') at.push_back(i), clean += text[i];
  double value = 0;
  std::size_t used = 0;  // characters of clean read
  if (clean.size() >= 2 && clean[0] == '&' && at[1] == at[0] + 1 && (clean[1] == 'h' || clean[1] == 'H')) {
    std::size_t digits = 0;
    while (2 + digits < clean.size() && std::isxdigit(static_cast<unsigned char>(clean[2 + digits]))) ++digits;
    const unsigned long bits = std::strtoul(clean.substr(2, digits).c_str(), nullptr, 16);
    value = digits <= 4 ? static_cast<std::int16_t>(static_cast<std::uint16_t>(bits))
                        : static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
    used = digits == 0 || digits > 8 ? 0 : 2 + digits;
  } else {
    const std::string prefix = clean.substr(0, clean.find_first_not_of("0123456789.eE+-"));
    char* stop = nullptr;
    value = std::strtod(prefix.c_str(), &stop);
    used = static_cast<std::size_t>(stop - prefix.c_str());
  }
  const NumberScan got = scanNumber(text);
  require(got.found == (used > 0) && got.end == (used > 0 ? at[used - 1] + 1 : 0));
  if (used == 0) value = 0;
  require(std::memcmp(&got.value, &value, sizeof value) == 0);  // bit for bit
}

// Any bytes give a site configuration or an input-file fault naming the file; an accepted file, written out
// again with every value in full, reads back bit for bit.
void site_config(std::string_view bytes) {
  SiteConfig first;
  SiteConfigPlaces places;
  try {
    first = parseSiteConfig(bytes, siteConfigFileName, &places);
  } catch (const Fault& fault) {  // refused: an input-file fault whose message starts with the file's name
    return require(fault.status() == ExitStatus::inputFile && std::strncmp(fault.what(), "vantrel.ini", 11) == 0);
  }
  siteConfigWarnings(first, places);
  std::ostringstream text;
  text << std::setprecision(17) << "site\r\n" << first.siteLongitude << "," << first.siteLatitude << "\r\nport\r\n"
       << first.commPort << "\r\nmonths\r\n";
  for (int m = 1; m <= 12; ++m) text << (m > 1 ? "," : "") << first.nightEndByMonth[m];
  for (double v : {first.minAltitude, first.decLimit, first.parkEnabled, first.dwellMinutes, first.gridStep,
                   first.passThroughValue, first.startDelaySeconds, first.raOffset, first.decOffset})
    text << "\r\nlabel\r\n" << v;
  const SiteConfig second = parseSiteConfig(text.str() + "\r\n");  // must not throw
  require(std::memcmp(&first, &second, sizeof first) == 0);  // doubles only: every value, bit for bit
}

// The target-list reader through the real path: the bytes decoded as UTF-8 or, failing that, as CP932 by
// the file store's converter (the list held in memory), cut into lines, warned about and parsed. Any bytes
// give a table or an input-file fault.
struct OneFileStore : PosixFileStore {
  OneFileStore() : PosixFileStore("/nonexistent") {}
  std::optional<std::string> readAll(const std::string&) override { return bytes; }
  std::string bytes;
};

void target_list(std::string_view bytes) {
  static OneFileStore files;
  files.bytes = bytes;
  const SiteConfig config{.gridStep = 0.5, .raOffset = 0.25};
  static TargetTable table;  // every parse starts it afresh
  try {
    const std::vector<std::u32string> lines = readTargetLines(files);
    targetLineWarnings(lines);
    parseTargetLines(lines, config, table);
  } catch (const Fault& fault) {
    return require(fault.status() == ExitStatus::inputFile && std::strncmp(fault.what(), "vantrel.adf", 11) == 0);
  }
  require(table.targetCount >= 0 && table.targetCount <= TargetTable::capacity);
  for (int row = 1; row <= table.targetCount; ++row)
    require(decodeUtf8(table.targetName[row]) && table.targetState[row] == 0);
}

}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantrel::fuzz::VANTREL_FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
