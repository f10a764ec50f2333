// target_list_load.cpp - reading and decoding "vantrel.adf".
//
// Notes:
// 1) Positions count characters, so the bytes are decoded before the lines
//    are cut: UTF-8 when the bytes are valid UTF-8, otherwise Shift_JIS
//    (CP932) through the file store. Plain ASCII is valid UTF-8, so the
//    legacy path only runs for files that really hold Japanese text.
// 2) A byte order mark at the start of the file is dropped. Editors on
//    Windows put one there when they save UTF-8; kept, it would be the
//    first character of the first line and shift every column by one.
// 3) Nothing is written before the whole list has been parsed, so a fault
//    here stops the program before the log file is touched.
#include <optional>
#include <string>
#include <utility>

#include "inputs/target_list.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/file_store.h"

namespace vantrel {
namespace {

constexpr char32_t byteOrderMark = U'\uFEFF';

// Where a file in neither encoding goes wrong: the first line that is valid
// in neither on its own, and in it the first byte that is not UTF-8 (the
// encoding a new file is most likely meant to be in).
std::string undecodableMessage(FileStore& files, std::string_view bytes) {
  std::size_t lineNumber = 1;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!decodeUtf8(line) && !files.legacyToUtf8(line)) {
      std::size_t good = 0;
      while (good < line.size()) {
        unsigned char lead = static_cast<unsigned char>(line[good]);
        std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (!decodeUtf8(line.substr(good, n))) break;
        good += n;
      }
      return std::string(targetListFileName) + " line " + std::to_string(lineNumber) + ", byte " +
             std::to_string(good + 1) + " (" + escapedForDisplay(line.substr(good, 1)) +
             "): the text is neither UTF-8 nor Shift_JIS (CP932); save the file as UTF-8";
    }
    if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ++end;
    start = end + 1;
    ++lineNumber;
  }
  return std::string(targetListFileName) + ": the text is neither UTF-8 nor Shift_JIS (CP932); save the file as UTF-8";
}

std::u32string decodeTargetList(FileStore& files, const std::string& bytes) {
  std::optional<std::u32string> text = decodeUtf8(bytes);
  if (!text) {
    std::optional<std::string> converted = files.legacyToUtf8(bytes);
    if (converted) text = decodeUtf8(*converted);
  }
  if (!text) throw Fault(undecodableMessage(files, bytes), ExitStatus::inputFile);
  if (!text->empty() && text->front() == byteOrderMark) text->erase(0, 1);
  return std::move(*text);
}

}  // namespace

std::vector<std::u32string> readTargetLines(FileStore& files) {
  std::optional<std::string> bytes = files.readAll(targetListFileName);
  if (!bytes) {
    throw Fault(std::string(targetListFileName) + ": no such file in the working directory",
                ExitStatus::inputFile);
  }
  if (isUtf16Text(*bytes)) {
    throw Fault(std::string(targetListFileName) + " is UTF-16 text; save it as plain ASCII/UTF-8",
                ExitStatus::inputFile);
  }
  return splitLines(decodeTargetList(files, *bytes));
}

void loadTargetList(FileStore& files, const SiteConfig& config, TargetTable& table) {
  parseTargetLines(readTargetLines(files), config, table);
}

}  // namespace vantrel
