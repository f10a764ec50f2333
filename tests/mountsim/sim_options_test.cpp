// The simulator's command line.
#include "mountsim/sim_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mountsim {
namespace {

using namespace std::string_literals;

TEST(SimOptions, DefaultsServeCom1HereAtFourDegreesASecond)
{
    SimOptions o;
    EXPECT_EQ(parseOptions({}, o), std::nullopt);
    EXPECT_EQ(o.port, 1);
    EXPECT_EQ(o.dir, ".");
    EXPECT_EQ(o.rateDegPerS, 4.0);
    EXPECT_EQ(o.startRaDeg, 0.0);
    EXPECT_EQ(o.startDecDeg, 0.0);
    EXPECT_FALSE(o.behaviour.silent || o.behaviour.split || o.behaviour.pace);
    EXPECT_EQ(o.behaviour.delayMs, 0);
    EXPECT_EQ(o.behaviour.vanishAfter, -1);
    EXPECT_TRUE(o.transcriptPath.empty());
    EXPECT_FALSE(o.exitOnPark || o.verbose || o.help);
}

TEST(SimOptions, ReadsEveryOptionInEitherForm)
{
    SimOptions o;
    EXPECT_EQ(parseOptions({"--port", "3", "--dir=/tmp/x", "--rate", "0.5", "--start-ra", "90",
                            "--start-dec=-10.5", "--silent", "--delay-ms", "40", "--stray",
                            "\\r\\n\\x00#", "--split", "--split-ms=20", "--pace",
                            "--vanish-after", "7", "--transcript", "t.bin", "--exit-on-park",
                            "--verbose", "--help"},
                           o),
              std::nullopt);
    EXPECT_EQ(o.port, 3);
    EXPECT_EQ(o.dir, "/tmp/x");
    EXPECT_EQ(o.rateDegPerS, 0.5);
    EXPECT_EQ(o.startRaDeg, 90.0);
    EXPECT_EQ(o.startDecDeg, -10.5);
    EXPECT_TRUE(o.behaviour.silent && o.behaviour.split && o.behaviour.pace);
    EXPECT_EQ(o.behaviour.delayMs, 40);
    EXPECT_EQ(o.behaviour.stray, "\r\n\x00#"s);
    EXPECT_EQ(o.behaviour.splitMs, 20);
    EXPECT_EQ(o.behaviour.vanishAfter, 7);
    EXPECT_EQ(o.transcriptPath, "t.bin");
    EXPECT_TRUE(o.exitOnPark && o.verbose && o.help);
}

TEST(SimOptions, RejectsWhatItCannotUse)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--bogus"}, "unknown option: --bogus"},
        {{"--bogus", "1"}, "unknown option: --bogus"},
        {{"stray"}, "unknown option: stray"},
        {{"--verbose", "--rate=fast"}, "bad value for --rate: \"fast\""},
        {{"--port"}, "--port needs a value"},
        {{"--port", "0"}, "bad value for --port: \"0\""},
        {{"--port", "2x"}, "bad value for --port: \"2x\""},
        {{"--rate", "-1"}, "bad value for --rate: \"-1\""},
        {{"--rate", "nan"}, "bad value for --rate: \"nan\""},
        {{"--delay-ms", "-5"}, "bad value for --delay-ms: \"-5\""},
        {{"--vanish-after", "x"}, "bad value for --vanish-after: \"x\""},
        {{"--stray", "\\q"}, "bad value for --stray: \"\\q\""},
        {{"--silent=yes"}, "--silent takes no value"},
        {{"--dir", ""}, "bad value for --dir: \"\""},
    };
    for (const auto& [args, want] : rows) {
        SimOptions o;
        EXPECT_EQ(parseOptions(args, o).value_or("(accepted)"), want) << args.front();
    }
}

TEST(SimOptions, UnescapeTurnsEscapesIntoBytes)
{
    EXPECT_EQ(unescape("a\\tb\\\\c\\xfF\\x0a"), "a\tb\\c\xff\n"s);
    EXPECT_EQ(unescape("plain"), "plain");
    EXPECT_EQ(unescape("\\x4"), std::nullopt);
    EXPECT_EQ(unescape("\\xZZ"), std::nullopt);
    EXPECT_EQ(unescape("ends in \\"), std::nullopt);
}

TEST(SimOptions, UsageNamesEveryOption)
{
    std::string usage = usageText();
    for (const char* name : {"--port", "--dir", "--rate", "--start-ra", "--start-dec", "--silent",
                             "--delay-ms", "--stray", "--split", "--split-ms", "--pace",
                             "--vanish-after", "--transcript", "--exit-on-park", "--verbose",
                             "--help"})
        EXPECT_NE(usage.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace mountsim
