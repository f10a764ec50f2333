// mode: web - the status server in this process, on a port the system
// chooses, with short limits; fed by the scenario's lines in order and asked
// by raw requests on plain sockets, so that every byte sent is as written
// (raw paths, slow senders, oversized heads) and every byte of the answer is
// seen. Also the pieces it is made of: text as JSON and HTML, tokens, and the
// command line's settings. The page's stop key shows as $KEY, and a request
// sends the last one seen for it; each stop the server asks for is in `stops`,
// answered as a night does (the first stops it).
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <regex>
#include <sstream>

#include "e2e/process.h"
#include "platform/fault.h"
#include "platform/host_addresses.h"
#include "scenarios/scenario.h"
#include "support/http_client.h"
#include "support/memory_file_store.h"
#include "web/status_server.h"
#include "web/web_source.h"

namespace vantrel::testing {
namespace {

using namespace std::chrono_literals;

// "[[N*C]]" stands for the character C N times: long heads, logs and files in short lines.
std::string expanded(std::string s) {
  for (std::size_t at; (at = s.find("[[")) != std::string::npos;) {
    s.replace(at, s.find("]]", at) + 2 - at, std::string(std::stoul(s.substr(at + 2)), s[s.find('*', at) + 1]));
  }
  return unescape(s);
}

// "phase observing; row 12 M42 ...; reported DEC HH:MM:SS AZ ALT": fields of the night's status.
NightStatus& setFields(NightStatus& n, const std::string& line) {
  std::istringstream fields(line);
  auto at = [](const std::string& hms) { return civilSeconds("2026-12-06", hms); };
  for (std::string f, time; std::getline(fields >> std::ws, f, ';');) {
    std::string field = f.substr(0, f.find(' ')), rest = f.substr(f.find(' ') + 1);
    std::istringstream in(rest);
    for (int p = 0; field == "phase" && p <= static_cast<int>(NightPhase::fault); ++p) {
      if (rest == phaseName(static_cast<NightPhase>(p))) n.phase = static_cast<NightPhase>(p);
    }
    if (field == "now") n.nowSeconds = at(rest);
    if (field == "row") std::getline(in >> n.row >> std::ws, n.targetName);
    if (field == "reported") in >> n.reportedDecDeg >> time >> n.mountAzDeg >> n.mountAltDeg;
    if (field == "reported") n.reportedAtSeconds = at(time);
    n.reported = n.reported || field == "reported";
    if (field == "observed") in >> n.observedCount >> n.targetCount;
    if (field == "weather") in >> n.weather.state >> time >> n.weather.safeMinutesNeeded >> std::ws;
    if (field == "weather") n.weather = {true, n.weather.state, std::string(std::istreambuf_iterator<char>(in), {}),
                                         at(time), at(time), "rain", false, 0, n.weather.safeMinutesNeeded};
    std::smatch m;
    if (field == "next" && std::regex_match(rest, m, std::regex("(end )?(\\S+)(?: row (\\d+) (.*))?"))) {
      n.next = {true, m[1].matched, at(m[2]), m[3].matched ? std::stoi(m[3]) : 0, m[4]};
    }
  }
  return n;
}

// "TIME MIN-ALTITUDE CHOSEN-ROW" and "AZ ALT OBSERVED" for each point: the chart of a pass.
SkyView skyOf(const std::string& line) {
  SkyView sky;
  std::istringstream in(line);
  in >> sky.timeText >> sky.minAltitude >> sky.chosenIndex;
  for (SkyView::Point p; in >> p.azDeg >> p.altDeg >> p.observed;) sky.points.push_back(p);
  --sky.chosenIndex;
  return sky;
}

// The server's threads (the only niced ones here), and how many leave the stop signals to the night.
std::string serverThreads() {
  int niced = 0, leaving = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (::getpriority(PRIO_PROCESS, static_cast<id_t>(std::stoi(task.path().filename()))) != 10) continue;
    std::string status = e2e::readFile(task.path() / "status");
    ++niced;
    leaving += (std::stoull(status.substr(status.find("SigBlk:") + 7), nullptr, 16) & 0x4003) == 0x4003;
  }
  return std::to_string(niced) + " niced, " + std::to_string(leaving) + " leave HUP, INT and TERM";
}

// "NAME up|down|loopback [ADDRESS]; ...": the host's interfaces as getifaddrs lists them.
std::vector<std::string> hostAddressesOf(const std::string& v) {
  std::vector<ifaddrs> list(std::count(v.begin(), v.end(), ';') + 1, ifaddrs{});
  std::vector<sockaddr_storage> held(list.size());
  std::istringstream parts(v);
  for (std::size_t k = 0; k < list.size(); ++k) {
    std::string part, name, state, a;
    std::getline(parts, part, ';');
    std::istringstream(part) >> name >> state >> a;
    auto* in4 = reinterpret_cast<sockaddr_in*>(&held[k]);
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&held[k]);
    if (inet_pton(AF_INET, a.c_str(), &in4->sin_addr) == 1) in4->sin_family = AF_INET;
    if (inet_pton(AF_INET6, a.c_str(), &in6->sin6_addr) == 1) in6->sin6_family = AF_INET6;
    list[k].ifa_flags = state == "down" ? 0 : IFF_UP | (state == "loopback" ? IFF_LOOPBACK : 0);
    list[k].ifa_addr = held[k].ss_family != AF_UNSPEC ? reinterpret_cast<sockaddr*>(&held[k]) : nullptr;
    list[k].ifa_next = k + 1 < list.size() ? &list[k + 1] : nullptr;
  }
  return ipv4AddressesOf(list.data());
}

// The command line's settings, "ADDRESS [TOKEN-FILE]", as the addresses to open, or the refusal and its
// exit status.
std::string settingsOf(const std::string& v, const e2e::ScratchDir& dir, const std::vector<std::string>& addresses) {
  std::size_t blank = v.find(' ');
  try {
    WebSettings got = webSettingsFor(v.substr(0, blank), blank == std::string::npos ? "" : dir / v.substr(blank + 1));
    std::string urls;
    for (const std::string& url : webUrls(got.host, got.port, addresses)) urls += (urls.empty() ? "" : " ") + url;
    return urls + (got.token.empty() ? " without a token" : " with the token " + got.token);
  } catch (const Fault& fault) {
    return std::to_string(static_cast<int>(fault.status())) + ": " +
           std::regex_replace(fault.what(), std::regex(dir.path), "$$DIR");
  }
}

Outcome runWeb(const Scenario& s) {
  Outcome out;
  e2e::ScratchDir dir;
  ::mkfifo((dir / "fifo").c_str(), 0600);
  for (const auto& [name, text] : extraFiles(s)) e2e::writeFile(dir / name, expanded(text));
  const WebLimits limits{1, 600ms, 500ms, 5000ms, 4096, 20ms, 100, std::stoul(s.value("log bytes", "4096"))};
  StatusBoard board;
  NightStatus status;
  status.logFileName = "log2026-12-06.txt";
  board.publish(status);
  WebSource feed(board, nullptr);
  MemoryFileStore files;
  std::unique_ptr<StatusServer> server;
  std::list<HttpConnection> held;  // every connection, closed before the server stops
  std::string stopKey = "none";
  const WebStopAction stop = [&](const std::string& who) {
    out.blocks["stops"].push_back(who);
    return out.blocks["stops"].size() == 1 ? WebStop::stopping : WebStop::alreadyStopping;
  };
  for (const Section& step : s.sections) {
    const std::string v = std::regex_replace(step.value, std::regex("\\$KEY"), stopKey), &key = step.key;
    std::vector<std::string>& said = out.blocks[key == "request" || key == "stall" ? "answers" : key + "s"];
    std::string error;
    if (key == "token") said.push_back(v + " => " + tokenFromFileText(expanded(v), error).value_or(error));
    if (key == "setting") said.push_back(v + " => " + settingsOf(v, dir, hostAddressesOf(s.value("interfaces"))));
    if (key == "show") board.addLine(LineKind::record, expanded(v));
    if (key == "sky") board.showSky(skyOf(v));
    if (key == "log") files.files["log2026-12-06.txt"] += expanded(v) + "\r\n";
    if (key == "board") board.publish(setFields(status, v));
    if (key != "request" && key != "stall") continue;
    if (!server) server = startStatusServer({"127.0.0.1", 0, s.value("server token")}, feed, files, limits, stop);
    HttpConnection& client = held.emplace_back(std::stoi(server->url().substr(server->url().rfind(':') + 1)));
    std::string request = v.substr(0, v.find(" | ")), headers = "Connection: close\r\n";
    for (std::size_t at = v.find(" | "); at != std::string::npos; at = v.find(" | ", at + 3)) {
      headers += expanded(v.substr(at + 3, v.find(" | ", at + 3) - at - 3)) + "\r\n";
    }
    if (key == "stall" && client.send(v + " HTTP/1.1\r\nHost: x\r\n\r\n")) said.push_back(v + " => never read");
    if (key == "stall") continue;
    std::string answer = client.request(v.substr(0, v.find(' ')), request.substr(v.find(' ') + 1), headers).text;
    answer = std::regex_replace(answer, std::regex("Date: [^\r]*\r\n"), "");
    said.push_back(step.value + " =>" + (answer.empty() ? " no answer" : ""));
    std::smatch shown;
    if (std::regex_search(answer, shown, std::regex("data-key=\"([^\"]*)"))) stopKey = shown[1];
    if (stopKey != "none") answer = std::regex_replace(answer, std::regex(stopKey), "$$KEY");
    if (answer.find("text/html") != std::string::npos) {
      // "html: main only": the night's part of the page, without its head, style and script.
      std::size_t main = answer.find("<main");
      if (s.value("html") == "main only") answer = answer.substr(main, answer.find("</main>") + 7 - main);
      answer = std::regex_replace(answer, std::regex("><"), ">\n<");
    }
    for (const std::string& line : splitLines(answer)) said.push_back("  " + line);
  }
  if (server) out.values["threads"] = serverThreads();
  return out;
}

const bool added = addMode("web", runWeb);

}  // namespace
}  // namespace vantrel::testing
