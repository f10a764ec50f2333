// log_reader.cpp - target records read back, strictly in the form written.
#include "obslog/log_reader.h"

#include <cstddef>

#include "obslog/log_format.h"

namespace vantrel {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Consumes `count` digits (or at least `count` when `atLeast`) from the front.
bool takeDigits(std::string_view& text, std::size_t count, bool atLeast) {
  std::size_t n = 0;
  while (n < text.size() && isDigit(text[n]) && (atLeast || n < count)) ++n;
  if (n < count) return false;
  text.remove_prefix(n);
  return true;
}

bool takeText(std::string_view& text, std::string_view expected) {
  if (text.substr(0, expected.size()) != expected) return false;
  text.remove_prefix(expected.size());
  return true;
}

// "000.0 "-style: at least `intDigits` digits, a point, one digit, a blank.
bool takeNumber(std::string_view& text, std::size_t intDigits) {
  return takeDigits(text, intDigits, true) && takeText(text, ".") && takeDigits(text, 1, false) &&
         takeText(text, " ");
}

// A pattern field whose minus sign, when there is one, stands before the label.
bool takeLabelledNumber(std::string_view& text, std::string_view label, std::size_t intDigits) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  return takeText(text, label) && takeNumber(text, intDigits);
}

bool isDateText(std::string_view t) {
  return t.size() == 10 && isDigit(t[0]) && isDigit(t[1]) && isDigit(t[2]) && isDigit(t[3]) && t[4] == '-' &&
         isDigit(t[5]) && isDigit(t[6]) && t[7] == '-' && isDigit(t[8]) && isDigit(t[9]);
}

bool isTimeText(std::string_view t) {
  return t.size() == 8 && isDigit(t[0]) && isDigit(t[1]) && t[2] == ':' && isDigit(t[3]) && isDigit(t[4]) &&
         t[5] == ':' && isDigit(t[6]) && isDigit(t[7]);
}

// Takes a whole number in the number item form from the back: " 12 ".
// The leading blank stays in `text`, since it may belong to the field before.
std::optional<long> takeItemFromBack(std::string_view& text) {
  if (text.empty() || text.back() != ' ') return std::nullopt;
  text.remove_suffix(1);
  std::size_t n = 0;
  while (n < text.size() && isDigit(text[text.size() - 1 - n])) ++n;
  // No leading zeros: the form writes "0" alone or a digit 1-9 first.
  if (n == 0 || n > 5 || (n > 1 && text[text.size() - n] == '0')) return std::nullopt;
  long value = std::stol(std::string(text.substr(text.size() - n)));
  text.remove_suffix(n);
  if (text.empty() || text.back() != ' ') return std::nullopt;
  return value;
}

}  // namespace

std::optional<TargetRecordRead> readTargetRecord(std::string_view line) {
  TargetRecordRead record;
  std::string_view rest = line;
  if (rest.size() < 20 || !isDateText(rest.substr(0, 10)) || rest[10] != ' ' || !isTimeText(rest.substr(11, 8)) ||
      rest[19] != ' ') {
    return std::nullopt;
  }
  record.dateText = rest.substr(0, 10);
  record.timeText = rest.substr(11, 8);
  rest.remove_prefix(20);
  if (!takeLabelledNumber(rest, "AL=", 3) || !takeLabelledNumber(rest, "AZ=", 2) ||
      !takeLabelledNumber(rest, "RA=", 3) || !takeText(rest, "RD=")) {
    return std::nullopt;
  }
  if (!rest.empty() && rest.front() == '-') rest.remove_prefix(1);
  if (!takeNumber(rest, 3)) return std::nullopt;

  // From the back: the count, then the row; each item's leading blank.
  if (!takeItemFromBack(rest)) return std::nullopt;
  rest.remove_suffix(1);
  std::optional<long> row = takeItemFromBack(rest);
  if (!row || *row < 1) return std::nullopt;
  rest.remove_suffix(1);
  if (rest.empty()) return std::nullopt;
  record.chosenRow = static_cast<int>(*row);
  record.targetName = rest;
  return record;
}

bool isOtherLogRecord(std::string_view line) {
  if (line == parkRecord()) return true;
  constexpr std::string_view limitStart = "RD Limit, over : <";
  return line.substr(0, limitStart.size()) == limitStart && !line.empty() && line.back() == '>';
}

}  // namespace vantrel
