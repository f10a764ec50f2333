// The shell's completion and the manual page offer exactly the options the
// program takes: an option added to the table and forgotten in either (as
// --indi and --web once were in the completion) fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app/command_line.h"

namespace vantrel {
namespace {

// The options named in a part of a packaging file: from `from` to `to`, the
// first capture of each match of `option`, its roff escapes removed.
std::set<std::string> optionsIn(const char* file, const char* from, const char* to, const char* option) {
  std::stringstream text;
  text << std::ifstream(std::string(VANTREL_SOURCE_DIR) + "/packaging/" + file).rdbuf();
  const std::string all = text.str();
  const std::size_t begin = all.find(from);
  const std::string part = all.substr(begin, all.find(to, begin + 1) - begin);
  std::set<std::string> names;
  const std::regex pattern(option);
  for (std::sregex_iterator m(part.begin(), part.end(), pattern), end; m != end; ++m)
    names.insert(std::regex_replace((*m)[1].str(), std::regex(R"(\\)"), ""));
  return names;
}

TEST(CommandLine, CompletionAndManualPageOfferEveryOption) {
  std::set<std::string> table;
  for (const Option& o : options()) table.insert(o.name);
  EXPECT_EQ(optionsIn("vantrel.bash-completion", "local options=\"", "\"\n", R"((--[a-z-]+))"), table);
  EXPECT_EQ(optionsIn("vantrel.1", ".SH OPTIONS", "\n.SH ", R"(\n\.TP\n\.B[IR]? [^\n]*?(\\-\\-(?:[a-z]|\\-)+))"), table);
}

}  // namespace
}  // namespace vantrel
