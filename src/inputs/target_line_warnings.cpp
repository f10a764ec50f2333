// target_line_warnings.cpp - suspicious lines of "vantrel.adf".
//
// Given:
//    lines    the decoded lines of the file, without terminators
// Returned:
//    the warnings, in line order, each with its columns and the text there
// Notes:
// 1) The fields are cut exactly as the reader cuts them (textField), so a
//    warning shows the characters the night reads.
// 2) A range is tested only for a field whose characters are well formed:
//    a field full of odd characters already has its warning.
#include <string>
#include <string_view>

#include "inputs/input_warnings.h"
#include "inputs/number_text.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"

namespace vantrel {
namespace {

constexpr int maskLength = 9;
// A mask is clear of the coordinates (columns 5-18) from this length on.
constexpr std::size_t shortestClearLine = 27;

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

class LineChecker {
 public:
  LineChecker(std::u32string_view line, int lineNumber, std::vector<InputWarning>& out)
      : line_(line), lineNumber_(lineNumber), out_(out) {}

  void warn(std::size_t first, std::size_t last, const std::string& problem, bool impossible = false) {
    std::u32string_view found = textField(line_, first, last - first + 1);
    out_.push_back({targetListFileName, lineNumber_, static_cast<int>(first), static_cast<int>(first + found.size()) - 1,
                    encodeUtf8(found), problem, impossible});
  }

  // A coordinate field: its characters, then (when they are well formed) its
  // range. Returns whether it passed both.
  bool field(std::size_t first, std::size_t length, const char* name, double limit, double& value) {
    std::u32string_view text = textField(line_, first, length);
    value = readNumber(text);
    if (text.empty()) return false;
    int points = 0, digits = 0;
    bool odd = false;
    for (char32_t c : text) {
      if (isDigit(c)) {
        ++digits;
      } else if (c == U'.') {
        ++points;
      } else if (!isBlank(c)) {
        odd = true;
      }
    }
    std::string where = std::string(name) + " (columns " + std::to_string(first) + "-" +
                        std::to_string(first + length - 1) + ")";
    if (odd || points > 1) {
      warn(first, first + length - 1,
           where + " holds characters other than digits, one point and blanks; the night reads it as " +
               shortNumber(value) + ". Are the columns shifted?");
    } else if (digits == 0) {
      warn(first, first + length - 1, where + " holds no number; the night reads it as 0");
    } else if (value >= limit) {
      warn(first, first + length - 1,
           where + " reads " + shortNumber(value) + ", which is not below " + shortNumber(limit) +
               ". Are the columns shifted?",
           true);
    } else {
      return true;
    }
    return false;
  }

  // A digit right after a coordinate group means that the group continues
  // past its columns: the line is shifted.
  void digitAfter(std::size_t groupFirst, std::size_t column, const char* group) {
    if (line_.size() < column || !isDigit(line_[column - 1])) return;
    warn(groupFirst, column,
         std::string("a digit in column ") + std::to_string(column) + ", right after the " + group + " (columns " +
             std::to_string(groupFirst) + "-" + std::to_string(column - 1) +
             "): the columns are shifted. Pad the name to 4 characters and keep one blank before the sign");
  }

  void sign() {
    if (line_.size() < 12) return;
    char32_t c = line_[11];
    if (c == U'+' || c == U'-' || c == U' ') return;
    warn(12, 12, "the declination sign (column 12) is neither \"+\", \"-\" nor a blank; the night reads the "
                 "declination as positive");
  }

  void mask() {
    std::size_t size = line_.size();
    std::u32string_view tail = line_.substr(size - maskLength);
    if (tail.find_first_not_of(U"01") == std::u32string_view::npos) return;
    // A run of nine or more 0s and 1s before other text: the mask, followed
    // by something the night reads as part of the mask.
    std::size_t runEnd = std::u32string_view::npos;
    for (std::size_t i = size; i-- > 0;) {
      if (line_[i] != U'0' && line_[i] != U'1') continue;
      std::size_t j = i;
      while (j > 0 && (line_[j - 1] == U'0' || line_[j - 1] == U'1')) --j;
      if (i - j + 1 >= maskLength) {
        runEnd = i;
        break;
      }
      i = j;
    }
    if (runEnd != std::u32string_view::npos) {
      warn(runEnd + 2, size,
           "text after the grid mask: the mask is always the last 9 characters of the line, so the night "
           "reads \"" + encodeUtf8(tail) + "\" as the mask. Remove what follows the mask, blanks included");
      return;
    }
    warn(size - maskLength + 1, size,
         "the grid mask (the last 9 characters) holds characters other than 0 and 1; each character "
         "other than 1 adds no pointing");
  }

  void shortLine() {
    if (line_.size() >= shortestClearLine) return;
    warn(line_.size() - maskLength + 1, line_.size(),
         "the line has only " + std::to_string(line_.size()) +
             " characters, so its grid mask (the last 9) overlaps the coordinate columns 5-18. Put free "
             "text between the declination and the mask");
  }

 private:
  std::u32string_view line_;
  int lineNumber_;
  std::vector<InputWarning>& out_;
};

}  // namespace

std::vector<InputWarning> targetLineWarnings(const std::vector<std::u32string>& lines) {
  std::vector<InputWarning> warnings;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    std::u32string_view line = lines[index];
    if (isSkippedTargetLine(line) || line.size() < maskLength) continue;
    LineChecker check(line, static_cast<int>(index) + 1, warnings);
    check.shortLine();
    double hours, minutes, degrees, arcMinutes;
    check.field(5, 2, "right ascension hours", 24, hours);
    check.field(7, 4, "right ascension minutes", 60, minutes);
    check.digitAfter(5, 11, "right ascension");
    check.sign();
    bool cleanDegrees = check.field(13, 2, "declination degrees", 91, degrees);
    bool cleanMinutes = check.field(15, 4, "declination arc-minutes", 60, arcMinutes);
    if (cleanDegrees && cleanMinutes && degrees + arcMinutes / 60 > 90) {
      check.warn(13, 18,
                 "the declination reads " + shortNumber(degrees + arcMinutes / 60) + " degrees, beyond the pole", true);
    }
    check.digitAfter(13, 19, "declination");
    check.mask();
  }
  return warnings;
}

void refuseImpossibleCoordinates(const std::vector<InputWarning>& warnings) {
  const InputWarning* first = nullptr;
  std::string others;
  int otherLines = 0, lastLine = 0;
  for (const InputWarning& warning : warnings) {
    if (!warning.impossible) continue;
    if (first == nullptr) {
      first = &warning;
    } else if (warning.line != first->line && warning.line != lastLine) {
      others += (others.empty() ? "" : ", ") + std::to_string(warning.line);
      ++otherLines;
    }
    lastLine = warning.line;
  }
  if (first == nullptr) return;
  if (!others.empty()) {
    others = " (impossible coordinates on line" + std::string(otherLines > 1 ? "s " : " ") + others + " too)";
  }
  throw Fault(describeWarning(*first) + others +
                  "; no sky position has these coordinates, so the night does not start. Fix the line, or see what "
                  "it would do with vantrel --rehearse",
              ExitStatus::inputFile);
}

}  // namespace vantrel
