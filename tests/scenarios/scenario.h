// What the scenario runner shares with the modes kept in files of their own:
// a scenario as read, what came out of it, and the helpers that read a
// scenario's keys and show what came out.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "support/night_files.h"

namespace vantrel::testing {

// A "key: value" line of a scenario and the lines indented by two blanks below it.
struct Section {
  std::string key;                 // "site", "expect log", ...
  std::string value;               // what follows the colon on its line
  std::vector<std::string> block;  // the indented lines below it
  std::size_t firstLine = 0, endLine = 0;  // the block's lines in the file
};

struct Scenario {
  std::string name;
  std::vector<std::string> lines;
  std::vector<Section> sections;

  std::vector<const Section*> all(const std::string& key) const {
    std::vector<const Section*> found;
    for (const Section& s : sections)
      if (s.key == key) found.push_back(&s);
    return found;
  }
  std::string value(const std::string& key, const std::string& otherwise = "") const {
    std::vector<const Section*> found = all(key);
    return found.empty() ? otherwise : found.front()->value;
  }
};

// What came out, compared with the scenario's "expect KEY:" lines.
struct Outcome {
  std::map<std::string, std::vector<std::string>> blocks;  // "log", "serial", "console", "warnings"
  std::map<std::string, std::string> values;               // "exit", "summary"
};

// A "mode: NAME" of its own file: `static const bool added = addMode("web", runWeb);`.
using ModeRunner = std::function<Outcome(const Scenario&)>;
bool addMode(const std::string& name, ModeRunner run);
std::map<std::string, ModeRunner>& modes();

std::string trim(const std::string& s);
std::string unescape(const std::string& s);  // "\r", "\n", "\t", "\\", "\xNN"
std::string replaced(std::string text, const std::string& from, const std::string& to);  // every `from`
std::string faultLine(const Fault& fault);  // "fault STATUS: MESSAGE"
std::vector<std::string> splitLines(const std::string& text);
std::vector<std::string> records(const std::string& text);  // a log's records, control characters escaped
std::vector<std::string> folded(const std::vector<std::string>& lines);  // runs as "LINE (xN)"
void applySite(IniValues& ini, const std::string& settings);  // "decLimit 10, dwellMinutes 5"
std::string targetList(const Scenario& s, const std::string& start, double longitude);
std::map<std::string, std::string> extraFiles(const Scenario& s);

}  // namespace vantrel::testing
