// Reading "vantrel.adf": the file, its encodings, its line ends and the
// faults that stop the program at start-up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "inputs/target_list.h"
#include "platform/fault.h"
#include "support/memory_file_store.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;

// A store whose legacy decoding is glibc's own CP932 converter, as the
// program's store does it.
class Cp932FileStore : public testing::MemoryFileStore {
 public:
  std::optional<std::string> legacyToUtf8(std::string_view bytes) override {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in(bytes);
    std::string out(in.size() * 4 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }
};

SiteConfig gridOf(double step) {
  SiteConfig config;
  config.gridStep = step;
  return config;
}

TargetTable loadFrom(FileStore& files, const SiteConfig& config = gridOf(0.5)) {
  TargetTable table;
  loadTargetList(files, config, table);
  return table;
}

// The fault a load ends with; fails the test when there is none.
Fault faultFrom(FileStore& files) {
  try {
    loadFrom(files);
  } catch (const Fault& fault) {
    return fault;
  }
  ADD_FAILURE() << "the load did not fail";
  return Fault("");
}

const std::string plainLine = "M1  0534.5 +2201.0 crab nebula 000000000";
const std::string fullMaskLine = "M1  0534.5 +2201.0 crab nebula 111111111";  // nine rows

TEST(TargetListFile, MissingFileIsAnInputFault) {
  testing::MemoryFileStore files;
  Fault fault = faultFrom(files);
  EXPECT_STREQ(fault.what(), "vantrel.adf: no such file in the working directory");
  EXPECT_EQ(fault.status(), ExitStatus::inputFile);
}

TEST(TargetListFile, EmptyFileGivesNoRows) {
  testing::MemoryFileStore files;
  files.files["vantrel.adf"] = "";
  EXPECT_EQ(loadFrom(files).targetCount, 0);
  files.files["vantrel.adf"] = "\r\n";
  EXPECT_EQ(loadFrom(files).targetCount, 0);
}

TEST(TargetListFile, EveryLineEndAndAByteOrderMarkAreAccepted) {
  const std::string bom = "\xEF\xBB\xBF";
  testing::MemoryFileStore files;
  files.files["vantrel.adf"] = bom + plainLine + "\r\n" + plainLine + "\n" + plainLine + "\r" + plainLine + "\r\n";
  TargetTable t = loadFrom(files);
  ASSERT_EQ(t.targetCount, 4);
  for (int row = 1; row <= 4; ++row) {
    EXPECT_EQ(t.targetName[row], plainLine) << "row " << row;
    EXPECT_EQ(t.raDeg[row], 83.625) << "row " << row;
  }
}

TEST(TargetListFile, Cp932TextIsReadAsCharactersAndKeptAsUtf8) {
  // "星雲" in CP932 (90 AF 89 5F) in positions 1-2, "テスト" in the free text.
  const std::string cp932 = "\x90\xAF\x89\x5F  0534.5 +2201.0 \x83\x65\x83\x58\x83\x67 010111010\r\n";
  Cp932FileStore files;
  files.files["vantrel.adf"] = cp932;
  TargetTable t = loadFrom(files);
  ASSERT_EQ(t.targetCount, 5);
  EXPECT_EQ(t.raDeg[1], 83.625);
  EXPECT_EQ(t.decDeg[1], 22.0 + 1.0 / 60);
  EXPECT_EQ(t.raDeg[2], 83.625 + 0.5);
  EXPECT_EQ(t.targetName[1], "星雲  0534.5 +2201.0 テスト 010111010");
  EXPECT_EQ(t.targetName[5], t.targetName[1]);
}

TEST(TargetListFile, TextInNeitherEncodingIsAnInputFault) {
  testing::MemoryFileStore files;  // its legacy decoding always fails
  files.files["vantrel.adf"] = plainLine + "\r\n\xFF\xFE" + plainLine + "\r\n";
  Fault fault = faultFrom(files);
  EXPECT_THAT(fault.what(), HasSubstr("vantrel.adf"));
  EXPECT_EQ(fault.status(), ExitStatus::inputFile);
}

TEST(TargetListFile, FaultsNameTheLineCountingBlankLines) {
  testing::MemoryFileStore files;
  files.files["vantrel.adf"] = plainLine + "\r\n\r\n  \r\n" + "short\r\n";
  Fault fault = faultFrom(files);
  EXPECT_THAT(fault.what(), HasSubstr("vantrel.adf line 4: "));
  EXPECT_THAT(fault.what(), HasSubstr("shorter than 9 characters"));
  EXPECT_EQ(fault.status(), ExitStatus::inputFile);
  EXPECT_EQ(files.files.size(), 1u) << "the load wrote a file";
}

TEST(TargetListCapacity, ExactlyTwoThousandSevenHundredRowsFitAndOneMoreStops) {
  std::string full;
  for (int line = 0; line < 300; ++line) full += fullMaskLine + "\r\n";  // 300 x 9 rows

  struct Case {
    const char* what;
    std::string text;
    int faultLine;  // 0: the load succeeds
  };
  std::string nearlyFull;  // 299 x 9 + 1 = 2692 rows, then 1 + 7 fit and the 8th does not
  for (int line = 0; line < 299; ++line) nearlyFull += fullMaskLine + "\r\n";
  nearlyFull += plainLine + "\r\n";
  const Case cases[] = {
      {"2700 rows", full, 0},
      {"2700 rows and a trailing blank line", full + "\r\n", 0},
      {"a base row beyond 2700", full + plainLine + "\r\n", 301},
      {"a base row beyond 2700 after a blank line", full + "\r\n" + plainLine + "\r\n", 302},
      {"a neighbour row beyond 2700", nearlyFull + fullMaskLine + "\r\n", 301},
  };
  for (const Case& c : cases) {
    testing::MemoryFileStore files;
    files.files["vantrel.adf"] = c.text;
    if (c.faultLine == 0) {
      EXPECT_EQ(loadFrom(files).targetCount, 2700) << c.what;
      continue;
    }
    Fault fault = faultFrom(files);
    EXPECT_THAT(fault.what(), HasSubstr("vantrel.adf line " + std::to_string(c.faultLine) + ": ")) << c.what;
    EXPECT_THAT(fault.what(), HasSubstr("more than 2700 rows")) << c.what;
    EXPECT_EQ(fault.status(), ExitStatus::inputFile) << c.what;
  }
}

}  // namespace
}  // namespace vantrel
