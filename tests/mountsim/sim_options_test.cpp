// The simulator's command line: what each row of arguments comes to, or the
// message that refuses it.
#include "mountsim/sim_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mountsim {
namespace {

// The error, or the stray bytes: the one value that is more than copied.
std::string parsed(const std::vector<std::string>& args)
{
    SimOptions o;
    std::optional<std::string> error = parseOptions(args, o);
    return error ? *error : "stray [" + hexBytes(o.behaviour.stray) + "]";
}

TEST(SimOptions, ParsesAsTheTableSays)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--port", "3", "--dir=/tmp/x", "--rate", "0.5", "--start-ra", "90", "--start-dec=-10.5", "--silent",
          "--delay-ms", "40", "--stray", "\\r\\n\\t\\\\\\x00\\xfF#", "--split", "--split-ms=20", "--pace",
          "--vanish-after", "7", "--transcript", "t.bin", "--exit-on-park", "--verbose", "-h"},
         "stray [0D 0A 09 5C 00 FF 23]"},
        {{"stray"}, "unknown option: stray"}, {{"--port"}, "--port needs a value"},
        {{"--silent=yes"}, "--silent takes no value"}, {{"--delay-ms", "-5"}, "bad value for --delay-ms: \"-5\""},
        {{"--port", "0"}, "bad value for --port: \"0\""}, {{"--port", "2x"}, "bad value for --port: \"2x\""},
        {{"--rate", "-1"}, "bad value for --rate: \"-1\""}, {{"--rate", "nan"}, "bad value for --rate: \"nan\""},
        {{"--verbose", "--rate=fast"}, "bad value for --rate: \"fast\""},
        {{"--vanish-after", "x"}, "bad value for --vanish-after: \"x\""},
        {{"--dir", ""}, "bad value for --dir: \"\""}, {{"--stray", "\\q"}, "bad value for --stray: \"\\q\""},
        {{"--stray", "\\x4"}, "bad value for --stray: \"\\x4\""},
        {{"--stray", "\\xZZ"}, "bad value for --stray: \"\\xZZ\""},
        {{"--stray", "ends in \\"}, "bad value for --stray: \"ends in \\\""},
    };
    for (const auto& [args, want] : rows)
        EXPECT_EQ(parsed(args), want) << args.front();
}

}  // namespace
}  // namespace mountsim
