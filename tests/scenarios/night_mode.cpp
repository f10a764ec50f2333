// Two modes where a case is one line in and one line out: "records" writes
// each form of a log record and reads lines back as a restart reads them;
// "resume" reads the logs of a folder as a restart at each "now:" would.
#include <regex>

#include "night/resume.h"
#include "obslog/log_format.h"
#include "obslog/log_reader.h"
#include "platform/fault.h"
#include "platform/stop_request.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {
namespace {

// Text in quotes keeps its blanks, which the runner trims from a value.
std::string quoted(const std::string& t) {
  return t.size() > 1 && t.front() == '"' && t.back() == '"' ? unescape(t.substr(1, t.size() - 2)) : t;
}

std::string readBack(const std::string& line) {
  if (isOtherLogRecord(line)) return "another record";
  std::optional<TargetRecordRead> r = readTargetRecord(line);
  return r ? "'" + r->dateText + "|" + r->timeText + "|" + r->targetName + "|" + std::to_string(r->chosenRow) + "'"
           : "no record";
}

// "record: AZ ALT RA DEC ROW COUNT NAME", "number: VALUE "PATTERN"", "read: "LINE"".
Outcome runRecords(const Scenario& s) {
  Outcome out;
  for (const Section& c : s.sections) {
    std::smatch m;
    std::string got;
    if (c.key == "record" && std::regex_match(c.value, m, std::regex(R"((\S+) (\S+) (\S+) (\S+) (\d+) (\d+) (.*))"))) {
      got = targetRecord({"2026-12-05", "21:30:15", std::stof(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]),
                          m[7].str(), std::stoi(m[5]), std::stoi(m[6])});
      got = "'" + got + "' reads back " + readBack(got);
    } else if (c.key == "number" && std::regex_match(c.value, m, std::regex(R"((\S+) (.*))"))) {
      const double v = std::stod(m[1]);
      got = "'" + formatPattern(v, quoted(m[2])) + "', item '" + formatNumberItem(v) + "'";
    } else if (c.key == "read") {
      got = readBack(quoted(c.value));
    }
    if (!got.empty()) out.blocks["forms"].push_back(c.key + ": " + c.value + " => " + got);
  }
  return out;
}

// A folder whose logs come in pieces of "pieces of: N" bytes; an "unreadable:" log fails.
struct LogFolder : MemoryFileStore {
  std::size_t pieceBytes = SIZE_MAX;
  std::vector<std::string> unreadable;
  bool readPieces(const std::string& name, const std::function<bool(std::string_view)>& take) override {
    if (std::count(unreadable.begin(), unreadable.end(), name)) throw Fault(name + ": cannot read: EIO");
    std::optional<std::string> all = readAll(name);
    std::string_view rest = all ? std::string_view(*all) : std::string_view();
    while (!rest.empty() && take(rest.substr(0, pieceBytes))) rest.remove_prefix(std::min(pieceBytes, rest.size()));
    return all.has_value();
  }
};

// The "line:"s are the list as it stands; "now: DATE TIME [after a stop]".
Outcome runResume(const Scenario& s) {
  LogFolder folder;
  folder.files = extraFiles(s);
  folder.pieceBytes = std::stoul(s.value("pieces of", std::to_string(SIZE_MAX)));
  for (const Section* u : s.all("unreadable")) folder.unreadable.push_back(u->value);
  Outcome out;
  for (const Section* now : s.all("now")) {
    TargetTable targets;
    for (const Section* line : s.all("line")) targets.targetName[++targets.targetCount] = unescape(line->value);
    StopRequest stop;
    if (now->value.find("after a stop") != std::string::npos) stop.raise();
    const ClockReading at{now->value.substr(0, 10), now->value.substr(11, 8)};
    ResumeResult result = resumeTonight(folder, at, targets, &stop);
    std::string rows;
    for (int row : result.observedRows) rows += " " + std::to_string(row);
    out.blocks["resume"].push_back(now->value + ": " + describeResume(result, at) + "; rows" + rows);
    for (const std::string& complaint : result.complaints) out.blocks["resume"].push_back("  " + complaint);
  }
  return out;
}

const bool added = addMode("records", runRecords) && addMode("resume", runResume);

}  // namespace
}  // namespace vantrel::testing
