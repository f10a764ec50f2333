// Reading "vantrel.adf": the file, its encodings, its line ends, blank lines
// and the faults that stop the program at start-up.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "inputs/target_list.h"
#include "platform/fault.h"
#include "platform/posix_file_store.h"
#include "support/memory_file_store.h"

namespace vantrel {
namespace {

// A store in memory whose legacy decoding is the program's own: the real
// file store's CP932 converter.
class Cp932FileStore : public testing::MemoryFileStore {
 public:
  std::optional<std::string> legacyToUtf8(std::string_view bytes) override { return real_.legacyToUtf8(bytes); }

 private:
  PosixFileStore real_{"."};
};

const std::string plainLine = "M1  0534.5 +2201.0 crab nebula 000000000";
const std::string fullMaskLine = "M1  0534.5 +2201.0 crab nebula 111111111";  // nine rows

std::string times(int n, const std::string& line) {
  std::string text;
  while (n-- > 0) text += line + "\r\n";
  return text;
}

// Every file is loaded into the same table: a load starts from an empty one.
// A row with a fault text must fail with it (and the input-file status).
TEST(TargetListFile, RowCountsAndFaults) {
  const std::string short3 = "vantrel.adf line 3: the line is shorter than 9 characters";
  const std::string over = ": more than 2700 rows";
  const std::string full = times(300, fullMaskLine);  // 300 x 9 rows
  const std::string nearlyFull = times(299, fullMaskLine) + plainLine + "\r\n";  // 2692 rows: 1 + 7 more fit
  const struct {
    const char* what;
    std::optional<std::string> text;
    int rows;
    std::string fault;
  } cases[] = {
      {"missing file", std::nullopt, 0, "vantrel.adf: no such file in the working directory"},
      {"nine ones", fullMaskLine + "\r\n", 9, ""},
      {"empty file", "", 0, ""},
      {"only a line end", "\r\n", 0, ""},
      {"only blanks and tabs", " \t \r\n\t\n", 0, ""},
      {"blank lines skipped", "\r\n" + plainLine + "\n   \r\n\t\r\n" + fullMaskLine, 10, ""},
      {"short line after blank ones, CR LF one line end", plainLine + "\r\n\r\n  \r\nshort\r\n", 0,
       "vantrel.adf line 4: the line is shorter than 9 characters"},
      {"comment lines skipped", "# winter list\r\n" + plainLine + "\n  \t# indented\n#\n" + fullMaskLine, 10, ""},
      {"short line after comment lines", "# a\r\n #b\r\nshort", 0,
       "vantrel.adf line 3: the line is shorter than 9 characters"},
      {"8 characters", plainLine + "\n  \n12345678", 0, short3},
      {"8 characters of 3 bytes", plainLine + "\n\n星雲星雲星雲星雲", 0, short3},
      {"blank and 1", plainLine + "\n \n 1", 0, short3},
      {"9 characters of 3 bytes", "星雲星雲星雲星雲星", 1, ""},
      {"text in neither encoding: the first bad line and byte", plainLine + "\r\n\xC3\xA9t\xFF\xFE" + plainLine, 0,
       "vantrel.adf line 2, byte 4 (\\xFF): the text is neither UTF-8 nor Shift_JIS (CP932)"},
      {"2700 rows", full, 2700, ""},
      {"2700 rows and a trailing blank line", full + "\r\n", 2700, ""},
      {"a base row beyond 2700", full + plainLine, 0, "vantrel.adf line 301" + over},
      {"a base row beyond 2700 after a blank line", full + "\r\n" + plainLine, 0, "vantrel.adf line 302" + over},
      {"a neighbour row beyond 2700", nearlyFull + fullMaskLine, 0, "vantrel.adf line 301" + over},
  };
  TargetTable table;
  for (const auto& c : cases) {
    testing::MemoryFileStore files;
    if (c.text) files.files["vantrel.adf"] = *c.text;
    try {
      loadTargetList(files, SiteConfig{}, table);
      EXPECT_EQ(c.fault, "") << c.what << ": no fault";
      EXPECT_EQ(table.targetCount, c.rows) << c.what;
    } catch (const Fault& fault) {
      EXPECT_EQ(std::string(fault.what()).substr(0, c.fault.size()), c.fault) << c.what;
      EXPECT_FALSE(c.fault.empty()) << c.what << ": " << fault.what();
      EXPECT_EQ(fault.status(), ExitStatus::inputFile) << c.what;
    }
  }
}

// Row numbers count only target lines; each line knows its rows.
TEST(TargetListFile, CommentLinesMakeNoRowAndTakeNoRowNumber) {
  std::vector<std::u32string> lines = {U"# my winter list", U"M1  0534.5 +2201.0 crab 000000000", U"",
                                       U"   # M42 later", U"M1# 0534.5 +2201.0 crab 111111111"};
  TargetTable t;
  std::vector<TargetLineRows> lineRows;
  parseTargetLines(lines, SiteConfig{}, t, &lineRows);
  ASSERT_EQ(t.targetCount, 10);
  EXPECT_EQ(t.targetName[1], "M1  0534.5 +2201.0 crab 000000000");
  EXPECT_EQ(t.targetName[2], "M1# 0534.5 +2201.0 crab 111111111");
  std::string rows;  // file line: first row + row count
  for (const TargetLineRows& r : lineRows) rows += std::to_string(r.fileLine) + ": " + std::to_string(r.baseRow) +
                                                   " + " + std::to_string(r.rowCount) + "; ";
  EXPECT_EQ(rows, "2: 1 + 1; 5: 2 + 9; ");
}

TEST(TargetListFile, ByteOrderMarkAndLineEndsLeaveTheColumnsInPlace) {
  testing::MemoryFileStore files;
  files.files["vantrel.adf"] = "\xEF\xBB\xBF" + plainLine + "\r\n" + plainLine + "\n" + plainLine + "\r" + plainLine;
  TargetTable t;
  loadTargetList(files, SiteConfig{}, t);
  ASSERT_EQ(t.targetCount, 4);
  for (int row = 1; row <= 4; ++row) EXPECT_EQ(t.targetName[row], plainLine) << "row " << row;
}

// Two-byte UTF-8 characters (É, °) are UTF-8, though the same bytes would
// also pass as CP932 text: read as CP932 they would turn into other letters.
TEST(TargetListFile, TwoByteUtf8IsNotTakenForCp932) {
  Cp932FileStore files;
  const std::string line = "\xC3\x89t  0534.5 +2201.0 \xC3\x89toile 5\xC2\xB0 000000000";
  ASSERT_TRUE(files.legacyToUtf8(line)) << "the test needs bytes valid in both";
  files.files["vantrel.adf"] = line + "\r\n";
  TargetTable t;
  loadTargetList(files, SiteConfig{}, t);
  ASSERT_EQ(t.targetCount, 1);
  EXPECT_EQ(t.targetName[1], line);
  EXPECT_EQ(t.raDeg[1], 83.625) << "columns counted in characters";
}

TEST(TargetListFile, Cp932TextIsReadAsCharactersAndKeptAsUtf8) {
  // "星雲" in CP932 (90 AF 89 5F) in positions 1-2, "テスト" in the free text.
  Cp932FileStore files;
  files.files["vantrel.adf"] = "\x90\xAF\x89\x5F  0534.5 +2201.0 \x83\x65\x83\x58\x83\x67 010111010\r\n";
  SiteConfig config;
  config.gridStep = 0.5;
  TargetTable t;
  loadTargetList(files, config, t);
  ASSERT_EQ(t.targetCount, 5);
  EXPECT_EQ(t.raDeg[1], 83.625);
  EXPECT_EQ(t.decDeg[1], 22.0 + 1.0 / 60);
  EXPECT_EQ(t.raDeg[2], 83.625 + 0.5);
  EXPECT_EQ(t.targetName[1], "星雲  0534.5 +2201.0 テスト 010111010");
  EXPECT_EQ(t.targetName[5], t.targetName[1]);
}

}  // namespace
}  // namespace vantrel
