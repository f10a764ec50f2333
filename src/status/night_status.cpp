#include "status/night_status.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace vantrel {
namespace {

constexpr std::int64_t secondsPerDay = 86400;

// Only digits, at the given places: "2026-12-07" and "23:41:05".
bool digitsAt(const std::string& text, std::initializer_list<int> places) {
  for (int i : places) {
    if (static_cast<std::size_t>(i) >= text.size() || text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int number(const std::string& text, int at, int length) { return std::stoi(text.substr(at, length)); }

std::string nextText(const NightStatus& s) {
  if (!s.next.known) return "";
  if (s.next.nightEndsFirst) return "no further target tonight";
  if (s.next.row < 1) return "no target within a day";
  return "next " + targetLabel(s.next.targetName) + " at " + clockText(s.next.atSeconds).substr(0, 5);
}

std::string dwellText(const NightStatus& s) {
  return durationText(s.dwellElapsedSeconds) + " of " + durationText(s.dwellTotalSeconds);
}

// "parked for weather since 02:14 (rain); resumes after 30 min safe", and
// once it is safe "...; safe for 12 of 30 min".
std::string weatherWaitText(const NightStatus& s) {
  const WeatherStatus& w = s.weather;
  std::string line = (w.mountLeft ? "waiting for weather, the mount left where it is, since "
                                  : "parked for weather since ") +
                     clockText(w.parkedSinceSeconds).substr(0, 5) + (w.parkedWhy.empty() ? "" : " (" + w.parkedWhy + ")");
  const std::string needed = std::to_string(w.safeMinutesNeeded) + " min";
  if (w.state == "unsafe") return line + "; resumes after " + needed + " safe";
  return line + "; safe for " + std::to_string(w.safeSeconds / 60) + " of " + needed;
}

std::string decText(double decDeg) {
  char text[32];
  std::snprintf(text, sizeof text, "Dec %+05.1f", decDeg);
  return text;
}

}  // namespace

const char* phaseName(NightPhase phase) {
  switch (phase) {
    case NightPhase::starting: return "starting";
    case NightPhase::startupWait: return "start-up delay";
    case NightPhase::waitingForDusk: return "waiting for dusk";
    case NightPhase::choosing: return "choosing";
    case NightPhase::observing: return "observing";
    case NightPhase::waitingForTarget: return "waiting for a target";
    case NightPhase::parkedForWeather: return "parked for weather";
    case NightPhase::parking: return "parking";
    case NightPhase::ended: return "ended";
    case NightPhase::fault: return "fault";
  }
  return "?";
}

std::int64_t positionAgeSeconds(const NightStatus& status) {
  if (!status.reported) return -1;
  return std::max<std::int64_t>(0, status.nowSeconds - status.reportedAtSeconds);
}

std::string clockText(std::int64_t civilSeconds) {
  std::int64_t ofDay = (civilSeconds % secondsPerDay + secondsPerDay) % secondsPerDay;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
                static_cast<int>(ofDay % 60));
  return text;
}

std::int64_t civilSeconds(const std::string& dateText, const std::string& timeText) {
  if (dateText.size() != 10 || timeText.size() != 8 || !digitsAt(dateText, {0, 1, 2, 3, 5, 6, 8, 9}) ||
      !digitsAt(timeText, {0, 1, 3, 4, 6, 7})) {
    return -1;
  }
  using namespace std::chrono;
  year_month_day ymd{year{number(dateText, 0, 4)}, month{static_cast<unsigned>(number(dateText, 5, 2))},
                     day{static_cast<unsigned>(number(dateText, 8, 2))}};
  if (!ymd.ok()) return -1;
  std::int64_t days = sys_days{ymd}.time_since_epoch().count();
  return days * secondsPerDay + number(timeText, 0, 2) * 3600 + number(timeText, 3, 2) * 60 + number(timeText, 6, 2);
}

std::string durationText(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
  }
  return text;
}

std::string targetLabel(const std::string& name) {
  auto trim = [](std::string t) {
    while (!t.empty() && t.back() == ' ') t.pop_back();
    std::size_t first = t.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : t.substr(first);
  };
  // Columns 1-4 are the name's own part; after the position (column 19)
  // comes free text, and the last 9 characters are the grid mask.
  std::string code = trim(name.substr(0, std::min<std::size_t>(4, name.size())));
  std::string text = name.size() > 18 + 9 ? trim(name.substr(18, name.size() - 18 - 9)) : "";
  std::string label = text.empty() ? code : text.rfind(code, 0) == 0 ? text : code + " " + text;
  if (label.empty()) label = trim(name);
  // At most labelCharacters characters, cut between UTF-8 sequences.
  constexpr int labelCharacters = 28;
  int characters = 0;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if ((static_cast<unsigned char>(label[i]) & 0xC0) == 0x80) continue;
    if (++characters > labelCharacters) return label.substr(0, i) + "…";
  }
  return label;
}

std::string statusLine(const NightStatus& s) {
  std::string line;
  switch (s.phase) {
    case NightPhase::starting:
      line = "starting";
      break;
    case NightPhase::startupWait:
      line = "start-up delay until " + clockText(s.startupEndsSeconds);
      break;
    case NightPhase::waitingForDusk:
      line = s.message.empty() ? "waiting for dusk" : s.message;
      break;
    case NightPhase::choosing:
      line = "choosing the next target";
      break;
    case NightPhase::observing:
      line = s.onTarget ? "observing " + targetLabel(s.targetName) + " (row " + std::to_string(s.row) + ") " + dwellText(s)
                        : "slewing to " + targetLabel(s.targetName) + " (row " + std::to_string(s.row) + "), dwell " +
                              dwellText(s) + " from the goto";
      break;
    case NightPhase::waitingForTarget:
      line = "waiting: no target in the window";
      if (s.next.known && !s.next.nightEndsFirst && s.next.row > 0) {
        line += " until " + clockText(s.next.atSeconds).substr(0, 5) + " (in " +
                durationText(s.next.atSeconds - s.nowSeconds) + "), then " + targetLabel(s.next.targetName);
      }
      break;
    case NightPhase::parkedForWeather:
      line = weatherWaitText(s);
      break;
    case NightPhase::parking:
      line = "parking the mount";
      break;
    case NightPhase::ended:
      line = s.parked ? "ended, mount parked" : "ended, mount not parked";
      break;
    case NightPhase::fault:
      line = "fault: " + s.message;
      break;
  }
  if (s.phase == NightPhase::ended || s.phase == NightPhase::fault) return line;
  // A parked mount no longer stands where it last said, and the next goto
  // waits for the weather.
  const bool parked = s.phase == NightPhase::parkedForWeather;
  if (s.reported && !parked) {
    line += " | " + decText(s.reportedDecDeg);
    std::int64_t age = positionAgeSeconds(s);
    if (age >= 5) line += " (" + durationText(age) + " ago)";
  }
  if (s.targetCount > 0) line += " | " + std::to_string(s.observedCount) + "/" + std::to_string(s.targetCount);
  std::string next = nextText(s);
  bool nextSaid = s.phase == NightPhase::waitingForTarget && s.next.row > 0 && !s.next.nightEndsFirst;
  if (!next.empty() && s.phase != NightPhase::parking && !parked && !nextSaid) line += " | " + next;
  if (!s.nightEndText.empty()) {
    line += " | night ends " + s.nightEndText;
  } else if (s.phase != NightPhase::starting) {
    line += " | no end by the clock";
  }
  return line;
}

std::string lineText(const NightLine& line) {
  switch (line.kind) {
    case LineKind::warning: return "Warning: " + line.text;
    case LineKind::fault: return "Fault: " + line.text;
    default: return line.text;
  }
}

StatusBoard::StatusBoard(bool keepsSky, std::size_t maxLines) : keepsSky_(keepsSky), maxLines_(std::max<std::size_t>(maxLines, 1)) {
  text_.publish(written_);
}

void StatusBoard::publish(const NightStatus& status) {
  status_.publish(status);
  statusVersion_.fetch_add(1, std::memory_order_acq_rel);
  changed(Change::status);
}

void StatusBoard::setTitle(const std::string& title) {
  {
    std::lock_guard<std::mutex> lock(writing_);
    written_.title = title;
    text_.publish(written_);
  }
  changed(Change::text);
}

void StatusBoard::addLine(LineKind kind, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(writing_);
    const std::uint64_t number = written_.lastNumber() + 1;
    if (written_.lines.size() >= maxLines_) {
      written_.lines.erase(written_.lines.begin());
      ++written_.dropped;
    }
    written_.lines.push_back({number, kind, text});
    text_.publish(written_);
  }
  changed(Change::text);
}

void StatusBoard::showSky(const SkyView& sky) {
  sky_.publish(sky);
  skyCount_.fetch_add(1, std::memory_order_acq_rel);
  changed(Change::sky);
}

BoardSnapshot StatusBoard::snapshot() const {
  BoardSnapshot copy;
  copy.version = version();
  copy.status = status_.read();
  copy.text = text_.read();
  copy.skyCount = skyCount();
  copy.hasSky = copy.skyCount > 0;
  if (copy.hasSky) copy.sky = sky_.read();
  return copy;
}

}  // namespace vantrel
