#include "app/check_mode.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/report_fault.h"
#include "indi/indi_check.h"
#include "indi/indi_weather_watch.h"
#include "inputs/site_config.h"
#include "mount/line_check.h"
#include "mount/protocol.h"
#include "mount/serial_mount_link.h"
#include "night/preflight.h"
#include "console/console_view.h"
#include "platform/device_users.h"
#include "platform/posix_clock.h"
#include "platform/posix_file_store.h"
#include "platform/posix_serial_port.h"

namespace vantrel {
namespace {

// vantrel --check found something to warn about.
constexpr int checkWarningsStatus = 5;

}  // namespace

std::string lineDiagnosis(FileStore& files, bool askMount, bool noDeviceClaim, int& problems) {
  SiteConfig config = loadSiteConfig(files);
  const auto [number, name, device] = serialPortPlace(config.commPort, std::filesystem::current_path().string());
  std::string claimWarning;
  PosixSerialPort port(std::filesystem::current_path().string(),
                       {"", !noDeviceClaim, [&](const std::string& warning) { claimWarning = warning; }});
  std::string out = "Serial line:\n  port " + name + " -> " + device;
  std::error_code error;
  if (std::filesystem::is_symlink(device, error)) {
    out += " (link to " + std::filesystem::read_symlink(device, error).string() + ")";
  } else if (device.rfind("/dev/", 0) == 0) {
    out += " (there is no " + name + " in the working directory)";
  }
  out += "\n";
  if (!std::filesystem::exists(device, error)) {
    ++problems;
    return out + "  the device is not there\n";
  }
  std::vector<std::string> holders = deviceHolders(device);
  // Only noted: vantrel-mountsim keeps its own end open, as may a program
  // that serves the line on purpose.
  if (!holders.empty()) {
    std::string list;
    for (const std::string& h : holders) list += (list.empty() ? "" : ", ") + h;
    out += "  also open in " + list + "\n";
  }
  try {
    port.open(number);
    port.close();
    out += "  it opens (9600 8N1, locked while open)\n";
    if (!claimWarning.empty()) {
      ++problems;
      out += "  " + claimWarning + "\n";
    }
    if (!askMount) return out + "  (vantrel --check --mount also asks the mount for its position)\n";
    SerialMountLink link(port, number, passThroughByte(config.passThroughValue));
    PosixClock clock;
    LineCheck check = checkMountAnswers(link, clock);
    if (check.decDeg) {
      char text[96];
      std::snprintf(text, sizeof text, "  the mount answers: declination %.2f degrees\n", *check.decDeg);
      if (*check.decDeg <= config.decLimit) return out + text;
      ++problems;
      return out + text + "  " + describeAboveLimit(*check.decDeg, config.decLimit, link) + "\n";
    }
    ++problems;
    return out + "  " + describeSilence(check, link) + "\n";
  } catch (const Fault& fault) {
    ++problems;
    return out + "  " + fault.what() + "\n";
  }
}

void printLines(const std::string& text) {
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    std::printf("%s\n", printableForTerminal(text.substr(at, end - at)).c_str());
  }
}

int printCheck(std::int64_t startCivilMs, bool askMount, bool noDeviceClaim, const std::optional<IndiAddress>& indi,
               const SunLimits& sun, const std::optional<IndiAddress>& weather) {
  PosixFileStore files(".");
  try {
    PreflightReport report = preflightReport(files, startCivilMs, indi.has_value(), sun);
    int problems = report.warnings;
    PosixClock clock;
    std::string mount =
        indi ? indiDiagnosis(*indi, clock, askMount, problems) : lineDiagnosis(files, askMount, noDeviceClaim, problems);
    if (weather) mount += "\n" + weatherDiagnosis(*weather, clock, loadSiteConfig(files).parkEnabled == 1, problems);
    printLines(report.text + "\n" + mount);
    return problems == 0 ? 0 : checkWarningsStatus;
  } catch (const Fault& fault) {
    return reportFault(fault);
  }
}

}  // namespace vantrel
