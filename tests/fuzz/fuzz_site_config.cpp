// The site configuration reader: any bytes give a configuration or an
// input-file fault naming the file; an accepted file, written out again with
// every value in full, reads back bit for bit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "inputs/input_warnings.h"
#include "inputs/site_config.h"
#include "platform/fault.h"

namespace {

using vantrel::SiteConfig;

std::string full(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string writtenOut(const SiteConfig& s) {
  std::string months;
  for (int m = 1; m <= 12; ++m) months += (m > 1 ? "," : "") + full(s.nightEndByMonth[m]);
  std::string text = "site\r\n" + full(s.siteLongitude) + "," + full(s.siteLatitude) + "\r\nport\r\n" +
                     full(s.commPort) + "\r\nmonths\r\n" + months + "\r\n";
  for (double v : {s.minAltitude, s.decLimit, s.parkEnabled, s.dwellMinutes, s.gridStep, s.passThroughValue,
                   s.startDelaySeconds, s.raOffset, s.decOffset}) {
    text += "label\r\n" + full(v) + "\r\n";
  }
  return text;
}

bool sameBits(const SiteConfig& a, const SiteConfig& b) {
  auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  bool all = same(a.siteLongitude, b.siteLongitude) && same(a.siteLatitude, b.siteLatitude) &&
             same(a.commPort, b.commPort) && same(a.minAltitude, b.minAltitude) && same(a.decLimit, b.decLimit) &&
             same(a.parkEnabled, b.parkEnabled) && same(a.dwellMinutes, b.dwellMinutes) &&
             same(a.gridStep, b.gridStep) && same(a.passThroughValue, b.passThroughValue) &&
             same(a.startDelaySeconds, b.startDelaySeconds) && same(a.raOffset, b.raOffset) &&
             same(a.decOffset, b.decOffset);
  for (int m = 1; m <= 12; ++m) all = all && same(a.nightEndByMonth[m], b.nightEndByMonth[m]);
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  SiteConfig first;
  vantrel::SiteConfigPlaces places;
  try {
    first = vantrel::parseSiteConfig(bytes, vantrel::siteConfigFileName, &places);
  } catch (const vantrel::Fault& fault) {
    if (fault.status() != vantrel::ExitStatus::inputFile || std::strncmp(fault.what(), "vantrel.ini", 11) != 0) {
      std::abort();
    }
    return 0;
  }
  vantrel::siteConfigWarnings(first, places);
  SiteConfig second = vantrel::parseSiteConfig(writtenOut(first));  // must not throw
  if (!sameBits(first, second)) std::abort();
  return 0;
}
