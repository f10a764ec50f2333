#include "inputs/site_config.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "inputs/number_text.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/file_store.h"

namespace vantrel {
namespace {

// The cursor over the file with its two operations. It counts lines so that
// a message can name the line a value stands on.
class ConfigCursor {
 public:
  ConfigCursor(std::string_view text, std::string_view fileName) : text_(text), fileName_(fileName) {}

  // After a value that ended at a comma, the rest of its line is what is
  // skipped, and the label line that follows is then read as the next value.
  // That is how the file has always been read; it is remembered so that a
  // failing value can be blamed on the value line that holds the extra text.
  void skipLine() {
    std::size_t start = pos_;
    while (pos_ < text_.size() && !atLineEnd()) ++pos_;
    pendingStray_.reset();
    if (start > lineStart_) {
      std::string_view rest = text_.substr(start, pos_ - start);
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
      while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
      pendingStray_ = Stray{line_, std::string(rest), currentName_};
    }
    passLineEnd();
  }

  // The text of the next value, blanks around it removed. Throws when the
  // file ends before it.
  std::string_view readValue(const char* name) {
    stray_ = std::move(pendingStray_);
    pendingStray_.reset();
    currentName_ = name;
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    valueLine_ = line_;
    valueColumn_ = static_cast<int>(pos_ - lineStart_) + 1;
    if (pos_ >= text_.size()) {
      fail(std::string("the file ends before the value of ") + name);
    }
    std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd()) ++pos_;
    std::string_view field = text_.substr(start, pos_ - start);
    if (pos_ < text_.size() && text_[pos_] == ',') {
      ++pos_;
    } else {
      passLineEnd();
    }
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    return field;
  }

  // Where the value just read stands.
  ConfigValuePlace place(std::string_view field) const {
    int first = valueColumn_;
    return {valueLine_, first, first + static_cast<int>(field.size()) - 1, std::string(field)};
  }

  [[noreturn]] void fail(const std::string& what) const {
    if (stray_) {
      std::string extra = stray_->text.empty() ? "ends with a comma after " + stray_->after
                                               : "holds text after " + stray_->after + ": " + quotedForMessage(stray_->text);
      throw Fault(std::string(fileName_) + " line " + std::to_string(stray_->line) + ": the value line " + extra +
                      " (a stray comma, or a value too many?); line " + std::to_string(valueLine_) +
                      " was then read as the next value: " + what,
                  ExitStatus::inputFile);
    }
    throw Fault(std::string(fileName_) + " line " + std::to_string(valueLine_) + ": " + what,
                ExitStatus::inputFile);
  }

 private:
  bool atLineEnd() const { return text_[pos_] == '\r' || text_[pos_] == '\n'; }

  void passLineEnd() {
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
    lineStart_ = pos_;
  }

  struct Stray {
    int line;            // the value line
    std::string text;    // what follows the comma on it, blanks removed
    std::string after;   // the value before the comma
  };

  std::optional<Stray> pendingStray_;  // from the last skipLine
  std::optional<Stray> stray_;         // in front of the value being read
  std::string currentName_;
  std::string_view text_;
  std::string_view fileName_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::size_t lineStart_ = 0;
  int valueLine_ = 1;
  int valueColumn_ = 1;
};

double readChecked(ConfigCursor& cursor, const char* name, SiteConfigPlaces* places) {
  std::string_view field = cursor.readValue(name);
  if (places != nullptr) (*places)[name] = cursor.place(field);
  if (field.empty()) cursor.fail(std::string(name) + " is empty");
  NumberScan scan = scanNumber(field);
  if (!scan.found) cursor.fail(std::string(name) + " is not a number: " + quotedForMessage(field));
  for (std::size_t i = scan.end; i < field.size(); ++i) {
    if (!isBlank(static_cast<unsigned char>(field[i]))) {
      cursor.fail(std::string(name) + " has text after its number: " + quotedForMessage(field));
    }
  }
  if (!std::isfinite(scan.value)) cursor.fail(std::string(name) + " is out of range: " + quotedForMessage(field));
  return scan.value;
}

void checkWholeRange(ConfigCursor& cursor, const char* name, double value, double low, double high) {
  double rounded = roundHalfEven(value);
  if (rounded < low || rounded > high) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    cursor.fail(std::string(name) + " " + text + " does not round to a whole number from " +
                std::to_string(static_cast<int>(low)) + " to " + std::to_string(static_cast<int>(high)));
  }
}

}  // namespace

SiteConfig parseSiteConfig(std::string_view bytes, std::string_view fileName, SiteConfigPlaces* places) {
  if (isUtf16Text(bytes)) {
    throw Fault(std::string(fileName) + " is UTF-16 text; save it as plain ASCII/UTF-8", ExitStatus::inputFile);
  }
  ConfigCursor c(bytes, fileName);
  SiteConfig s;
  c.skipLine();
  s.siteLongitude = readChecked(c, "siteLongitude", places);
  s.siteLatitude = readChecked(c, "siteLatitude", places);
  c.skipLine();
  s.commPort = readChecked(c, "commPort", places);
  checkWholeRange(c, "commPort", s.commPort, 1, 32767);
  c.skipLine();
  static const char* monthNames[13] = {"",
                                       "nightEndByMonth[1]",  "nightEndByMonth[2]",  "nightEndByMonth[3]",
                                       "nightEndByMonth[4]",  "nightEndByMonth[5]",  "nightEndByMonth[6]",
                                       "nightEndByMonth[7]",  "nightEndByMonth[8]",  "nightEndByMonth[9]",
                                       "nightEndByMonth[10]", "nightEndByMonth[11]", "nightEndByMonth[12]"};
  for (int month = 1; month <= 12; ++month) s.nightEndByMonth[month] = readChecked(c, monthNames[month], places);
  struct Step {
    double SiteConfig::*field;
    const char* name;
  };
  static const Step rest[] = {
      {&SiteConfig::minAltitude, "minAltitude"},
      {&SiteConfig::decLimit, "decLimit"},
      {&SiteConfig::parkEnabled, "parkEnabled"},
      {&SiteConfig::dwellMinutes, "dwellMinutes"},
      {&SiteConfig::gridStep, "gridStep"},
      {&SiteConfig::passThroughValue, "passThroughValue"},
      {&SiteConfig::startDelaySeconds, "startDelaySeconds"},
      {&SiteConfig::raOffset, "raOffset"},
      {&SiteConfig::decOffset, "decOffset"},
  };
  for (const Step& step : rest) {
    c.skipLine();
    s.*(step.field) = readChecked(c, step.name, places);
    if (step.field == &SiteConfig::passThroughValue) {
      checkWholeRange(c, step.name, s.passThroughValue, 0, 255);
    }
  }
  return s;
}

SiteConfig loadSiteConfig(FileStore& files, SiteConfigPlaces* places) {
  std::optional<std::string> bytes = files.readAll(siteConfigFileName);
  if (!bytes) {
    throw Fault(std::string(siteConfigFileName) + ": no such file in the working directory",
                ExitStatus::inputFile);
  }
  return parseSiteConfig(*bytes, siteConfigFileName, places);
}

}  // namespace vantrel
