// "mode: inputs": the two input files read as the night reads them, one case
// a key line. Each case shows, in the "expect cases:" block, the values or
// rows read, every warning, and the refusal or the fault with its status.
#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "inputs/input_warnings.h"
#include "inputs/number_text.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/posix_file_store.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {
namespace {

// Target lists are decoded with the program's own CP932 converter.
struct Cp932Store : MemoryFileStore {
  std::optional<std::string> legacyToUtf8(std::string_view bytes) override { return real.legacyToUtf8(bytes); }
  PosixFileStore real{"."};
};

void shown(const std::vector<InputWarning>& all, std::vector<std::string>& out) {
  for (const InputWarning& w : all) out.push_back("  " + describeWarning(w) + (w.impossible ? " (impossible)" : ""));
}

// Each line: its name, its base row, then its neighbours in steps of gridStep from the base, in the order made;
// a row whose name or state is not its line's is marked.
void rowsShown(const TargetTable& t, const std::vector<TargetLineRows>& lines, double step,
               std::vector<std::string>& out) {
  if (t.targetCount > 30) return out.push_back("  " + std::to_string(t.targetCount) + " rows");
  for (const TargetLineRows& l : lines) {
    const int b = l.baseRow;
    std::string text = "  line " + std::to_string(l.fileLine) + " " + quotedForMessage(t.targetName[b]) + ": " +
                       number(t.raDeg[b]) + " " + number(t.decDeg[b]);
    for (int row = b; row < b + l.rowCount; ++row) {
      if (row > b) text += ", " + number((t.raDeg[row] - t.raDeg[b]) / step);
      if (row > b) text += " " + number((t.decDeg[row] - t.decDeg[b]) / step);
      if (t.targetName[row] != t.targetName[b] || t.targetState[row] != 0) text += " (row " + std::to_string(row) + ")";
    }
    out.push_back(text);
  }
}

void adfCase(const std::optional<std::string>& bytes, const IniValues& ini, std::vector<std::string>& out) {
  Cp932Store files;
  if (bytes) files.files[targetListFileName] = *bytes;
  SiteConfigPlaces places;
  const SiteConfig config = parseSiteConfig(iniText(ini), siteConfigFileName, &places);
  TargetTable table;
  std::vector<TargetLineRows> lineRows;
  const std::vector<std::u32string> lines = readTargetLines(files);
  const std::vector<InputWarning> warnings = targetLineWarnings(lines);
  shown(warnings, out);
  parseTargetLines(lines, config, table, &lineRows);
  rowsShown(table, lineRows, config.gridStep, out);
  shown(decLimitWarnings(lines, lineRows, table, config, places), out);
  refuseImpossibleCoordinates(warnings);
}

// Every value in file order, the months joined by commas, then the warnings.
void iniCase(const std::optional<std::string>& text, std::vector<std::string>& out) {
  MemoryFileStore files;
  if (text) files.files[siteConfigFileName] = *text;
  SiteConfigPlaces places;
  const SiteConfig s = loadSiteConfig(files, &places);
  std::string v = number(s.siteLongitude) + "," + number(s.siteLatitude) + " " + number(s.commPort) + " ";
  for (int m = 1; m <= 12; ++m) v += number(s.nightEndByMonth[m]) + (m < 12 ? "," : "");
  for (double x : {s.minAltitude, s.decLimit, s.parkEnabled, s.dwellMinutes, s.gridStep, s.passThroughValue,
                   s.startDelaySeconds, s.raOffset, s.decOffset})
    v += " " + number(x);
  out.push_back("  " + v);
  shown(siteConfigWarnings(s, places), out);
}

// Each quoted text of a "number:" or "utf8:" line on a line of its own: the number read from it and where it
// ends (just past its last character), "none" if none was found; or whether it is UTF-8. "0{309}" stands for
// 309 zeros; text that is UTF-8 is read as the characters it decodes to, other text byte by byte.
void readings(const Section& c, std::vector<std::string>& out) {
  const std::regex quoted(R"("[^"]*")"), repeated(R"((.)\{(\d+)\})");
  for (std::sregex_iterator q(c.value.begin(), c.value.end(), quoted), end; q != end; ++q) {
    std::string text = unescape(q->str().substr(1, q->length() - 2));
    for (std::smatch m; std::regex_search(text, m, repeated);)
      text = m.prefix().str() + std::string(std::stoul(m[2]), m[1].str()[0]) + m.suffix().str();
    const std::optional<std::u32string> utf8 = decodeUtf8(text);
    const NumberScan n = utf8 ? scanNumber(*utf8) : scanNumber(std::string_view(text));
    const std::string read = number(n.value) + " ending at " + std::to_string(n.end) + (n.found ? "" : ", none");
    out.push_back(c.key + ": " + q->str() + " => " + (c.key == "utf8" ? (utf8 ? "UTF-8" : "not UTF-8") : read));
  }
}

// The site's file as a case changes it: "ini: TEXT" is the whole file, "ini N: TEXT" replaces line N (25: one
// after the last), "ini N, M: TEXT | TEXT" lines N and M, "ini lines N:" is the first N lines without the last
// line end, "ini eol: TEXT" ends every line with TEXT, "ini missing:" is no file.
std::optional<std::string> iniFile(const IniValues& ini, const std::string& key, const std::string& text) {
  std::vector<std::string> lines = splitLines(iniText(ini));
  std::string file, eol = key == "ini eol" ? text : "\r\n";
  std::smatch m;
  if (key == "ini" || key == "ini missing") return key == "ini" ? std::optional(text) : std::nullopt;
  if (std::regex_match(key, m, std::regex(R"(ini lines (\d+))"))) lines.resize(std::stoul(m[1]));
  std::istringstream numbers(std::regex_match(key, std::regex(R"(ini [\d, ]+)")) ? key.substr(4) + "," : "");
  for (std::size_t n, from = 0, to; numbers >> n && numbers.ignore(); from = to + 3) {
    to = std::min(text.find(" | ", from), text.size());
    lines.resize(std::max(lines.size(), n));
    lines.at(n - 1) = text.substr(from, to - from);
  }
  for (const std::string& line : lines) file += line + eol;
  return key.rfind("ini lines", 0) == 0 ? file.substr(0, file.size() - 2) : file;
}

// Each case in file order; "site:" changes the site of the cases after it, "adf more:" adds to the list of the
// case before, "adf N times: TEXT" is TEXT N times.
Outcome runInputs(const Scenario& s) {
  IniValues ini;
  std::optional<std::string> adf;
  std::vector<std::string> out;
  for (const Section& c : s.sections) {
    std::string text = unescape(c.value);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (c.key == "site") applySite(ini, c.value);
    if (c.key == "number" || c.key == "utf8") readings(c, out);
    if (std::regex_match(c.key, std::regex("site|mode|number|utf8|expect .*"))) continue;
    out.push_back(c.key + ": " + c.value);
    std::smatch m;
    if (c.key == "adf more") adf = adf.value_or("") + text;
    if (c.key == "adf missing") adf.reset();
    if (std::regex_match(c.key, m, std::regex(R"(adf(?: (\d+) times)?)")))
      for (adf = ""; adf->size() < text.size() * (m[1].matched ? std::stoul(m[1]) : 1);) *adf += text;
    try {
      if (c.key.rfind("ini", 0) == 0) iniCase(iniFile(ini, c.key, text), out);
      else adfCase(adf, ini, out);
    } catch (const Fault& f) {
      out.push_back("  " + faultLine(f));
    }
  }
  return Outcome{{{"cases", out}}, {}};
}

static const bool added = addMode("inputs", runInputs);

}  // namespace
}  // namespace vantrel::testing
