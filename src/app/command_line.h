// command_line.h - the program's options, from one table: the help text, the
// parsing, which option goes with which, and the words a shell completes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "indi/indi_address.h"
#include "night/form1.h"

namespace vantrel {

struct Arguments {
  bool console = false;
  bool verbose = false;
  bool rehearse = false;
  bool resume = false;
  bool noDeviceClaim = false;
  bool plan = false;
  bool check = false;
  bool askMount = false;
  bool park = false;
  std::optional<std::string> snapshot;
  std::optional<std::string> svg;
  std::optional<std::string> start;
  int nights = 1;
  bool nightsGiven = false;
  std::optional<std::string> csvFile;
  std::optional<IndiAddress> indi;
  std::optional<IndiAddress> weather;  // the INDI weather device to watch
  int weatherSafeMinutes = 30;
  int weatherGraceSeconds = 60;  // a silent weather device is unsafe after this
  std::string webAddress;  // empty: no web server
  std::string webTokenFile;
  int webLingerMinutes = 15;  // the ended night stays served this long
  std::vector<std::string> notify;  // the words of --notify; empty: no hook
  SunLimits sun;
  bool zoneGiven = false;
};

// The ways the program runs; an option names those it goes with.
enum RunMode : unsigned { nightRun = 1, rehearseRun = 2, planRun = 4, checkRun = 8, parkRun = 16 };

// The words of the command line, taken one at a time by the options.
struct CommandWords {
  int argc;
  char** argv;
  int at;  // the option being read
  bool more() const { return at + 1 < argc; }
  const char* peek() const { return argv[at + 1]; }
  std::string next() { return argv[++at]; }
};

struct Option {
  const char* name;              // "--nights"
  const char* value;             // its value's form in the help ("N", "[START]"); "" for none
  const char* help;              // its help lines, separated by '\n'
  unsigned modes;                // RunMode bits; an option of one mode goes with the option that selects it
  // Reads the option and its value into the arguments; a bad value ends
  // the program with status 2.
  void (*take)(Arguments&, CommandWords&);
  const char* with = nullptr;          // the option it needs, when it needs one
  const char* withVerb = "goes with";  // how its message says so
};

// Every option in the order of the help text.
const std::vector<Option>& options();

// What --help prints.
std::string usageText();

// The options as given; a bad command line ends the program here with status
// 2 and a message naming the option and what it takes, --help and --version
// with 0.
Arguments parseArguments(int argc, char** argv);

// START of --rehearse, --plan or --check as civil milliseconds (a bad START
// ends the program with status 2); 18:00 of today without one.
std::int64_t rehearsalStart(const Arguments& args);

// A window only where someone can see it and close it.
bool hasDisplay();

}  // namespace vantrel
