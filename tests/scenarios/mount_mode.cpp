// "mode: mount": the mount's link and the simulated hand controller, one case
// a line, each answered by one line of the "cases" block:
//   story:  a supervision or a park against the in-process mount, told as what
//           crossed the line with the waits, yields and records among it;
//   say:    the simulator's options, then what a client sends and when;
//   encode:, reply:, pass:, whole:   the protocol's fields (whole: the
//           pass-through byte and the port number a setting is made).
#include <cmath>
#include <regex>
#include <sstream>

#include "mount/protocol.h"
#include "mount/supervision.h"
#include "mountsim/sim_options.h"
#include "night/form1.h"
#include "platform/fault.h"
#include "simulation/simulated_clock.h"
#include "simulation/simulated_mount.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"
#include "scenarios/scenario.h"

namespace vantrel::testing {
namespace {

const char* const endNames[] = {"dwellOver", "limitReached", "stopRequested", "mountSilent", "stayedAboveLimit"};

// Bytes as the mount's transcript shows them: \xNN for all but printable ASCII.
std::string bare(const std::string& bytes) {
  std::ostringstream text;
  text << MountEvent{MountEvent::Kind::bytes, 0, bytes};
  return text.str().substr(7, text.str().size() - 8);
}

std::vector<std::string> split(const std::string& text, const char* pattern, int part = -1) {
  const std::regex by(pattern);
  return {std::sregex_token_iterator(text.begin(), text.end(), by, part), std::sregex_token_iterator()};
}

std::string joined(const std::vector<std::string>& parts, const std::string& between) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i > 0 ? between : "") + parts[i];
  return text;
}

// The in-process mount, clock and window of a story. Every wait of the clock,
// yield and record is a mark, told in brackets before the next event on the line.
struct Rig : EventPump {
  void processEvents() override { mark("yield"); }
  void mark(const std::string& what) {
    for (const std::vector<MountEvent>& e = mount.transcript(); seen < e.size(); ++seen, marks.clear()) {
      std::ostringstream event;
      event << e[seen];
      const std::string shown = e[seen].kind == MountEvent::Kind::bytes ? bare(e[seen].bytes) : event.str();
      told.push_back(marks.empty() ? shown : "[" + joined(folded(marks), " ") + "] " + shown);
    }
    if (told.size() + marks.size() > 1000000) throw std::runtime_error("the supervision does not end");
    marks.push_back(what);
  }

  const std::int64_t start = *SimulatedClock::parseCivilTime("2024-01-10T22:00:00");
  SimulatedClock clock{start};
  SimulatedMount mount{SimulatedMount::Transcript::kept};
  StopRequest stop;
  std::vector<std::string> told, marks;
  std::size_t seen = 0;  // events of the transcript already told
};

// "dwell on DEC under LIMIT for MINUTES min [from above]" or "park [off]", then "; "-separated ways of the
// mount; a story that is neither tells only its end.
std::string story(const std::string& text) {
  Rig r;
  std::vector<std::string> parts = split(text, "; ");
  std::vector<std::tuple<int, int, std::string>> replies;  // queries from, to: the whole reply
  std::vector<std::pair<double, std::string>> events;      // at seconds: stop, vanish, silent
  std::smatch m;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p == "gone") r.mount.vanish();
    else if (std::regex_match(p, m, std::regex(R"(at (\S+) s (stop|vanish|silent))")))
      events.emplace_back(std::stod(m[1]), m[2]);
    else if (std::regex_match(p, m, std::regex(R"re(quer(?:y|ies) (\d+)(-?)(\d*) "(.*)")re"))) {
      const int from = std::stoi(m[1]), to = m[3].length() ? std::stoi(m[3]) : m[2].length() ? INT32_MAX : from;
      replies.emplace_back(from, to, unescape(m[4]));
    } else throw std::runtime_error("unknown way of the mount '" + p + "'");
  }
  r.mount.setPositionScript([&](int n, const std::string& ra, const std::string& dec) {
    for (const auto& [from, to, reply] : replies)
      if (n >= from && n <= to) return reply;
    return ra + "," + dec + "#";
  });
  std::int64_t lastMs = r.start;
  r.clock.onAdvance = [&](std::int64_t ms) {
    r.mark("+" + std::to_string(ms - lastMs));
    lastMs = ms;
    for (const auto& [atS, what] : events) {
      if (ms - r.start < atS * 1000) continue;
      what == "stop" ? r.stop.raise() : what == "vanish" ? r.mount.vanish() : r.mount.setSilent(true);
    }
  };
  std::string end;
  try {
    if (std::regex_match(parts[0], m, std::regex(R"(dwell on (\S+) under (\S+) for (\S+) min( from above)?)"))) {
      SupervisionSettings settings{.decLimit = std::stod(m[2]), .dwellMinutes = std::stod(m[3]),
                                   .limitArmed = !m[4].matched};
      SupervisionResult result = superviseTarget({15, std::stod(m[1])}, settings, {r.mount, r.clock, r, r.stop},
                                                 [&](double dec) { r.mark("record dec " + std::to_string(dec)); });
      end = endNames[static_cast<int>(result.end)] + (" dec " + std::to_string(result.reportedDec)) + ", unread " +
            std::to_string(result.unreadReplies) + " '" + bare(result.unreadExample) + "'";
    } else if (std::regex_match(parts[0], m, std::regex("park( off)?"))) {
      NightOutcome outcome;
      outcome.parked = true;
      outcome.parkReply = parkMount(2, !m[1].matched, {r.mount, r.clock, r, r.stop}, [&] { r.mark("record"); });
      end = describeNight(outcome);
      end.erase(0, end.rfind(';') + 2);
    }
  } catch (const Fault& fault) {
    end = faultLine(fault);
  }
  r.mark("-> " + r.clock.now().timeText + " " + end);
  r.told.push_back(joined(r.marks, " "));
  return joined(folded(r.told), ", ") + (r.mount.isOpen() ? ", left open" : "");
}

// "OPTIONS | SECONDS BYTES | SECONDS close ...": each step's emissions as
// BYTES@SECONDS, its notes in brackets, "vanish" and "park" when the
// controller says so; at the end where the mount is and how many queries came.
std::string dialogue(const std::string& text) {
  std::vector<std::string> steps = split(text, " \\| ");
  mountsim::SimOptions o;
  if (std::optional<std::string> error = mountsim::parseOptions(split(steps[0], " "), o)) return *error;
  mountsim::HandController hc(mountsim::MountState(o.startRaDeg, o.startDecDeg, o.rateDegPerS), o.behaviour);
  std::string said;
  for (std::size_t i = 1; i < steps.size(); ++i) {
    const std::size_t blank = steps[i].find(' ');
    const double atS = std::stod(steps[i].substr(0, blank));
    const std::string bytes = unescape(steps[i].substr(blank + 1));
    mountsim::Outcome out = bytes == "close" ? hc.lineClosed(atS) : hc.receive(bytes, atS);
    for (const mountsim::Emission& e : out.emissions) said += bare(e.bytes) + "@" + std::to_string(e.atS) + " ";
    for (const std::string& note : out.notes) said += "(" + note + ") ";
    said += std::string(out.vanish ? "vanish " : "") + (out.parkCommand ? "park " : "") + "| ";
  }
  return said + hc.mount().positionReply() + (hc.mount().parked() ? " parked" : "") + ", " +
         std::to_string(hc.positionQueries()) + " queries";
}

// Each case a line of the "cases" block: the case, then what it answered. A key line of a story or a
// dialogue may hold several cases split at " ;; "; one of the protocol's keys, several split at blanks
// ("16/255": the third byte, the value), a reply written in quotes as it stands.
Outcome runMount(const Scenario& s) {
  Outcome out;
  for (const Section& c : s.sections) {
    const bool one = c.key == "story" || c.key == "say";
    for (const std::string& v : split(c.value, one ? " ;; " : R"re("[^"]*"|[^\s"]+)re", one ? -1 : 0)) {
      std::string result;
      try {
        if (c.key == "story") result = story(v);
        else if (c.key == "say") result = dialogue(v);
        else if (c.key == "encode") result = encodeAngle(std::stod(v));
        else if (c.key == "pass") result = bare(passThroughCommand(std::stoi(v), std::stoi(v.substr(v.find('/') + 1))));
        else if (c.key == "whole") result = std::to_string(passThroughByte(std::stod(v))) + " " +
                                            std::to_string(mountPortNumber(std::stod(v)));
        else if (c.key == "reply")
          result = std::to_string(checkPositionReply(unescape(v.substr(1, v.size() - 2))).value_or(NAN));
        else continue;
      } catch (const Fault& fault) {
        result = std::string("fault: ") + fault.what();
      }
      out.blocks["cases"].push_back(c.key + ": " + v + " => " + result);
    }
  }
  return out;
}

const bool added = addMode("mount", runMount);

}  // namespace
}  // namespace vantrel::testing
