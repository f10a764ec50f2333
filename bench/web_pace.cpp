// The pace of a real-clock night against vantrel-mountsim beside its status
// server, run by hand (bench/web-saturation.sh), printing numbers; it
// asserts nothing about speed, which a shared machine cannot judge.
//
//   web_pace polling    16 clients each ask for /status.json 20 times a second:
//                       requests per second, latencies, failed answers
//   web_pace idle       the server idle
//   web_pace saturated  16 clients ask as fast as it answers
//
// Each prints the gaps between position queries in the simulator's notes
// (p50, p99, max, and how many exceed 150 and 300 ms), over
// VANTREL_BENCH_SECONDS (60 by default) of dwells.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <thread>

#include "e2e/process.h"
#include "platform/posix_clock.h"
#include "support/http_client.h"
#include "support/night_files.h"

namespace {

using namespace std::chrono_literals;
using namespace vantrel;
using Steady = std::chrono::steady_clock;

constexpr int clients = 16;

int benchSeconds() {
  const char* text = std::getenv("VANTREL_BENCH_SECONDS");
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 60;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p / 100 * static_cast<double>(v.size())))];
}

// The gaps between position queries that follow each other directly.
std::vector<double> queryGapsMs(const std::string& notes) {
  std::vector<double> gaps;
  std::regex line("vantrel-mountsim: +([0-9.]+) s: ([a-z]+[a-z -]*)");
  double last = -1;
  for (std::sregex_iterator it(notes.begin(), notes.end(), line), end; it != end; ++it) {
    double t = std::stod((*it)[1]);
    bool query = (*it)[2].str().rfind("position query", 0) == 0;
    if (query && last >= 0) gaps.push_back((t - last) * 1000);
    last = query ? t : -1;
  }
  return gaps;
}

// One client on a kept-alive connection until `end`, renewed when the server
// ends it (it does after 100 requests): every `period`, or as fast as it is
// answered when that is zero. Returns the latencies; counts answers that are
// not whole.
std::vector<double> client(int port, Steady::time_point end, std::chrono::milliseconds period, std::atomic<long>& bad) {
  // The clients stand for other computers: on this one they must not take
  // the processor from the simulated mount, only from the server's threads.
  if (period.count() == 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
  std::vector<double> latencies;
  auto connection = std::make_unique<vantrel::testing::HttpConnection>(port, 5s);
  for (auto at = Steady::now(); Steady::now() < end; at += period) {
    if (period.count() > 0) std::this_thread::sleep_until(at);
    auto began = Steady::now();
    const char* path = period.count() == 0 && latencies.size() % 4 == 3 ? "/" : "/status.json";
    vantrel::testing::HttpAnswer answer = connection->request("GET", path);
    latencies.push_back(std::chrono::duration<double, std::milli>(Steady::now() - began).count());
    if (answer.status != 200 || (path[1] == 's' && !answer.body.starts_with("{\"version\":"))) ++bad;
    if (answer.status == 0 || answer.headers["connection"] == "close") {
      connection = std::make_unique<vantrel::testing::HttpConnection>(port, 5s);
    }
  }
  return latencies;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "polling" && mode != "idle" && mode != "saturated") {
    std::fprintf(stderr, "usage: web_pace polling|idle|saturated\n");
    return 2;
  }
  e2e::ScratchDir dir, claims;
  setenv("VANTREL_LOCK_DIR", claims.path.c_str(), 1);
  // Four targets of declination 20 observed one after the other, each a quarter of the time and a little more.
  vantrel::testing::NightNow night(PosixClock::civilMs());
  night.ini.dwellMinutes = benchSeconds() / 4.0 / 60.0 + 0.1;
  night.ini.startDelaySeconds = 2;
  std::string adf;
  for (int k = 0; k < 4; ++k) adf += night.line("W" + std::to_string(k) + "  ", 20.0, 345 - 12 * k, 10);
  e2e::writeFile(dir / "vantrel.ini", vantrel::testing::iniText(night.ini));
  e2e::writeFile(dir / "vantrel.adf", adf);
  e2e::Child mountsim({MOUNTSIM_BINARY, "--dir", dir.path, "--rate", "30", "--verbose"}, dir.path,
                      dir / "mountsim.err", dir / "mountsim.err");
  if (!e2e::waitForText(dir / "mountsim.err", "vantrel-mountsim: COM1 -> ", 20s)) {
    std::fprintf(stderr, "no simulator\n");
    return 1;
  }
  // The simulator stands for the mount's own hardware, which no load on this
  // computer delays: raised (where allowed), its time stamps are the night's.
  if (::setpriority(PRIO_PROCESS, static_cast<id_t>(mountsim.pid()), -5) != 0) {
    std::printf("(the simulator runs at normal priority: %s)\n", std::strerror(errno));
  }
  e2e::Child vantrel({VANTREL_BINARY, "--console", "--web", "0"}, dir.path, dir / "out", dir / "err");
  std::smatch m;
  std::string err;
  if (!e2e::waitUntil([&] {
        err = e2e::readFile(dir / "err");
        return std::regex_search(err, m, std::regex("status at http://[^ ]*:([0-9]+)/\n"));
      }, 20s)) {
    std::fprintf(stderr, "no status server: %s\n", err.c_str());
    return 1;
  }
  const int port = std::stoi(m[1]);

  auto begin = Steady::now(), end = begin + std::chrono::seconds(benchSeconds());
  std::vector<double> latencies;
  std::atomic<long> bad = 0;
  if (mode == "idle") {
    std::this_thread::sleep_until(end);
  } else {
    std::vector<std::vector<double>> results(clients);
    std::vector<std::thread> threads;
    auto period = mode == "polling" ? 50ms : 0ms;
    for (int c = 0; c < clients; ++c) threads.emplace_back([&, c] { results[c] = client(port, end, period, bad); });
    for (std::thread& t : threads) t.join();
    for (const auto& r : results) latencies.insert(latencies.end(), r.begin(), r.end());
  }
  double seconds = std::chrono::duration<double>(Steady::now() - begin).count();
  vantrel.signal(SIGTERM);
  std::optional<int> status = vantrel.waitForExit(30s);
  std::vector<double> gaps = queryGapsMs(e2e::readFile(dir / "mountsim.err"));
  auto above = [&](double ms) { return std::count_if(gaps.begin(), gaps.end(), [&](double g) { return g > ms; }); };
  std::printf("%s: %zu requests in %.1f s = %.0f requests/s, %ld not whole; latency ms p50 %.2f p99 %.2f max %.2f\n",
              mode.c_str(), latencies.size(), seconds, static_cast<double>(latencies.size()) / seconds, bad.load(),
              percentile(latencies, 50), percentile(latencies, 99), percentile(latencies, 100));
  std::printf("%s: %zu gaps between position queries, ms p50 %.1f p99 %.1f max %.1f; %ld above 150 ms, "
              "%ld above 300 ms; %zu records; exit status %d\n",
              mode.c_str(), gaps.size(), percentile(gaps, 50), percentile(gaps, 99), percentile(gaps, 100), above(150),
              above(300),
              vantrel::testing::logRecords(e2e::readFile(dir / ("log" + night.now.dateText + ".txt"))).size(),
              status.value_or(-1));
  return 0;
}
