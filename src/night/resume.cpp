#include "night/resume.h"

#include <chrono>
#include <cstdio>
#include <string_view>

#include "obslog/log_format.h"
#include "obslog/log_reader.h"
#include "platform/fault.h"
#include "platform/file_store.h"
#include "platform/stop_request.h"

namespace vantrel {
namespace {

constexpr std::string_view noonText = "12:00:00";

// The noon that began tonight: today's when the clock is past it, else yesterday's.
std::string tonightStartDate(const ClockReading& now) {
  return now.timeText >= noonText ? now.dateText : previousDateText(now.dateText);
}

// At most 60 bytes of `text`, never cut inside a UTF-8 character.
std::string shortened(std::string_view text) {
  constexpr std::size_t most = 60;
  if (text.size() <= most) return std::string(text);
  std::size_t cut = most;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

// The lines of one log, put together from its pieces. Lines end in CR LF;
// a lone LF belongs to its line.
class LogReader {
 public:
  LogReader(const std::string& name, const std::string& since, TargetTable& targets, ResumeResult& result,
            const StopRequest* stop)
      : name_(name), since_(since), targets_(targets), result_(result), stop_(stop) {}

  // False once a stop request has come.
  bool take(std::string_view piece) {
    for (std::size_t at = 0; at < piece.size();) {
      std::size_t lf = piece.find('\n', at);
      std::string_view part = piece.substr(at, (lf == std::string_view::npos ? piece.size() : lf) - at);
      keep(part);
      if (lf == std::string_view::npos) break;
      at = lf + 1;
      if (!endsInCr_) {
        keep("\n");
        continue;
      }
      if (!overlong_) line_.pop_back();
      if (!endLine()) return false;
    }
    return true;
  }
  // The last line, when the log does not end in CR LF.
  void finish() {
    if (!line_.empty() || overlong_) endLine();
  }

 private:
  void keep(std::string_view part) {
    if (part.empty()) return;
    endsInCr_ = part.back() == '\r';
    if (overlong_) return;
    line_.append(part);
    if (line_.size() > maxLogLineBytes) {
      overlong_ = true;
      line_.clear();
    }
  }
  bool endLine() {
    ++lineNumber_;
    if (overlong_) {
      complain("longer than " + std::to_string(maxLogLineBytes) + " bytes, not a target record, skipped");
    } else {
      read(line_);
    }
    line_.clear();
    overlong_ = endsInCr_ = false;
    if (stop_ != nullptr && stop_->raised()) result_.stopped = true;
    return !result_.stopped;
  }
  void complain(const std::string& what) {
    if (++result_.linesNotTaken <= linesToldOfAtMost) {
      result_.complaints.push_back(name_ + " line " + std::to_string(lineNumber_) + ": " + what);
    }
  }
  void read(std::string_view line) {
    if (line.empty() || isOtherLogRecord(line)) return;
    std::optional<TargetRecordRead> record = readTargetRecord(line);
    if (!record) return complain("not a target record, skipped: '" + shortened(line) + "'");
    if (record->dateText + " " + record->timeText < since_) return;
    const int row = record->chosenRow;
    if (row > targets_.targetCount) {
      complain("row " + std::to_string(row) + " is beyond the " + std::to_string(targets_.targetCount) +
               " rows of the list, not taken");
    } else if (targets_.targetName[row] != record->targetName) {
      complain("row " + std::to_string(row) + " was '" + shortened(record->targetName) + "' but is now '" +
               shortened(targets_.targetName[row]) + "', not taken");
    } else if (targets_.targetState[row] == 0) {
      targets_.targetState[row] = 1;
      result_.observedRows.push_back(row);
    }
  }

  const std::string& name_;
  const std::string& since_;
  TargetTable& targets_;
  ResumeResult& result_;
  const StopRequest* stop_;
  std::string line_;
  bool overlong_ = false;
  bool endsInCr_ = false;
  std::size_t lineNumber_ = 0;
};

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

ResumeResult resumeTonight(FileStore& files, const ClockReading& now, TargetTable& targets, const StopRequest* stop) {
  ResumeResult result;
  const std::string startDate = tonightStartDate(now);
  const std::string since = startDate + " " + std::string(noonText);
  std::vector<std::string> dates{startDate};
  if (startDate != now.dateText) dates.push_back(now.dateText);
  std::vector<std::string> unreadComplaints;
  for (const std::string& date : dates) {
    if (result.stopped) break;
    const std::string name = logFileNameFor(date);
    LogReader reader(name, since, targets, result, stop);
    try {
      if (!files.readPieces(name, [&](std::string_view piece) { return reader.take(piece); })) continue;
      if (!result.stopped) reader.finish();
      result.filesRead.push_back(name);
    } catch (const Fault& fault) {
      result.filesUnread.push_back(name);
      unreadComplaints.push_back(std::string(fault.what()) + "; its records are not taken");
    }
  }
  if (result.linesNotTaken > linesToldOfAtMost) {
    result.complaints.push_back(std::to_string(result.linesNotTaken) + " lines not taken in all; the first " +
                                std::to_string(linesToldOfAtMost) + " are shown");
  }
  result.complaints.insert(result.complaints.end(), unreadComplaints.begin(), unreadComplaints.end());
  return result;
}

std::string describeResume(const ResumeResult& result, const ClockReading& now) {
  const std::string startDate = tonightStartDate(now);
  const std::string rows = std::to_string(result.observedRows.size()) +
                           (result.observedRows.size() == 1 ? " row" : " rows") + " taken as observed";
  if (result.stopped) return "resuming: a stop request ended the reading of the logs; " + rows + " until then";
  auto list = [](const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : "") + names[i];
    return text;
  };
  const std::string unread = result.filesUnread.empty() ? "" : "; cannot read " + list(result.filesUnread);
  if (result.filesRead.empty()) {
    if (!unread.empty()) return "resuming: cannot read " + list(result.filesUnread) + "; every row is free";
    std::string names = logFileNameFor(startDate);
    if (startDate != now.dateText) names += " or " + logFileNameFor(now.dateText);
    return "resuming: no log of tonight (" + names + "); every row is free";
  }
  return "resuming: " + rows + " from " + list(result.filesRead) + " (records since " + startDate + " " +
         std::string(noonText) + ")" + unread;
}

}  // namespace vantrel
