#include "night/resume.h"

#include <chrono>
#include <cstdio>
#include <string_view>

#include "obslog/log_format.h"
#include "obslog/log_reader.h"
#include "platform/fault.h"
#include "platform/file_store.h"

namespace vantrel {
namespace {

constexpr std::string_view noonText = "12:00:00";

// The noon that began tonight: today's when the clock is past it, else yesterday's.
std::string tonightStartDate(const ClockReading& now) {
  return now.timeText >= noonText ? now.dateText : previousDateText(now.dateText);
}

std::string shortened(const std::string& text) {
  constexpr std::size_t most = 60;
  return text.size() <= most ? text : text.substr(0, most) + "...";
}

void readLog(const std::string& name, const std::string& text, const std::string& since, TargetTable& targets,
             ResumeResult& result) {
  std::size_t lineNumber = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find("\r\n", at);
    std::string_view line(text.data() + at, (end == std::string::npos ? text.size() : end) - at);
    at = end == std::string::npos ? text.size() : end + 2;
    ++lineNumber;
    const std::string where = name + " line " + std::to_string(lineNumber) + ": ";
    if (line.empty() || isOtherLogRecord(line)) continue;
    std::optional<TargetRecordRead> record = readTargetRecord(line);
    if (!record) {
      result.complaints.push_back(where + "not a target record, skipped: '" + shortened(std::string(line)) + "'");
      continue;
    }
    if (record->dateText + " " + record->timeText < since) continue;
    const int row = record->chosenRow;
    if (row > targets.targetCount) {
      result.complaints.push_back(where + "row " + std::to_string(row) + " is beyond the " +
                                  std::to_string(targets.targetCount) + " rows of the list, not taken");
    } else if (targets.targetName[row] != record->targetName) {
      result.complaints.push_back(where + "row " + std::to_string(row) + " was '" + shortened(record->targetName) +
                                  "' but is now '" + shortened(targets.targetName[row]) + "', not taken");
    } else if (targets.targetState[row] == 0) {
      targets.targetState[row] = 1;
      result.observedRows.push_back(row);
    }
  }
}

}  // namespace

std::string previousDateText(const std::string& dateText) {
  using namespace std::chrono;
  int y = 0, m = 0, d = 0;
  if (std::sscanf(dateText.c_str(), "%4d-%2d-%2d", &y, &m, &d) != 3) return dateText;
  const year_month_day given{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
  if (!given.ok()) return dateText;
  const year_month_day before{sys_days{given} - days{1}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(before.year()),
                static_cast<unsigned>(before.month()), static_cast<unsigned>(before.day()));
  return text;
}

ResumeResult resumeTonight(FileStore& files, const ClockReading& now, TargetTable& targets) {
  ResumeResult result;
  const std::string startDate = tonightStartDate(now);
  const std::string since = startDate + " " + std::string(noonText);
  std::vector<std::string> dates{startDate};
  if (startDate != now.dateText) dates.push_back(now.dateText);
  for (const std::string& date : dates) {
    const std::string name = logFileNameFor(date);
    std::optional<std::string> text;
    try {
      text = files.readAll(name);
    } catch (const Fault& fault) {
      result.complaints.push_back(std::string(fault.what()) + "; its records are not taken");
      continue;
    }
    if (!text) continue;
    result.filesRead.push_back(name);
    readLog(name, *text, since, targets, result);
  }
  return result;
}

std::string describeResume(const ResumeResult& result, const ClockReading& now) {
  const std::string startDate = tonightStartDate(now);
  if (result.filesRead.empty()) {
    std::string names = logFileNameFor(startDate);
    if (startDate != now.dateText) names += " or " + logFileNameFor(now.dateText);
    return "resuming: no log of tonight (" + names + "); every row is free";
  }
  std::string text = "resuming: " + std::to_string(result.observedRows.size()) +
                     (result.observedRows.size() == 1 ? " row" : " rows") + " taken as observed from ";
  for (std::size_t i = 0; i < result.filesRead.size(); ++i) text += (i ? ", " : "") + result.filesRead[i];
  text += " (records since " + startDate + " " + std::string(noonText) + ")";
  return text;
}

}  // namespace vantrel
