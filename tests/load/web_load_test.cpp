// Load on the status server during a real-clock night: 16 clients each ask
// for /status.json 20 times a second for 30 s, while the night observes
// against vantrel-mountsim. The night must not notice: its dwells keep their
// pace of one position query every 100 ms, and every record is written.
// Prints requests per second and the latency percentiles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <regex>
#include <thread>

#include "e2e/vantrel_fixture.h"
#include "support/http_client.h"

namespace vantrel::e2e {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int clients = 16;
constexpr auto pollPeriod = 50ms;  // 20 requests a second
constexpr auto loadTime = 30s;

struct ClientResult {
  std::vector<double> latencyMs;
  int failed = 0;
  std::string firstFailure;
};

// Polls on one kept-alive connection at fixed instants; opens a new one when
// the server announces the end of one (it does after 100 requests).
ClientResult poll(int port, Steady::time_point start) {
  ClientResult result;
  auto connection = std::make_unique<testing::HttpConnection>(port, 5s);
  for (auto at = start; at < start + loadTime; at += pollPeriod) {
    std::this_thread::sleep_until(at);
    auto began = Steady::now();
    testing::HttpAnswer answer = connection->request("GET", "/status.json");
    if (answer.status == 0 || answer.headers["connection"] == "close") {
      connection = std::make_unique<testing::HttpConnection>(port, 5s);
    }
    result.latencyMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - began).count());
    if (answer.status != 200 || answer.body.rfind("{\"version\":", 0) != 0 || answer.body.back() != '\n') {
      if (result.failed++ == 0) result.firstFailure = std::to_string(answer.status) + " " + answer.body.substr(0, 80);
    }
  }
  return result;
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

TEST_F(WebNight, SixteenPollingClientsDoNotDisturbTheNight) {
  prepareNight(4, 0.1, {"--verbose"});
  startVantrel({"--console", "--web", "0"});
  auto start = Steady::now() + 200ms;
  std::vector<ClientResult> results(clients);
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) threads.emplace_back([&, c] { results[c] = poll(port, start); });
  for (std::thread& t : threads) t.join();
  double seconds = std::chrono::duration<double>(Steady::now() - start).count();

  vantrel->signal(SIGTERM);
  EXPECT_EQ(vantrel->waitForExit(30s), 0) << err();

  std::vector<double> latencies;
  int failed = 0;
  for (const ClientResult& r : results) {
    latencies.insert(latencies.end(), r.latencyMs.begin(), r.latencyMs.end());
    failed += r.failed;
    EXPECT_EQ(r.failed, 0) << "first failure: " << r.firstFailure;
  }
  std::vector<double> gaps = queryGapsMs(readFile(dir / "mountsim.err"));
  std::printf("web load: %zu requests in %.1f s = %.0f requests/s, %d failed; latency ms p50 %.2f p99 %.2f max %.2f\n",
              latencies.size(), seconds, static_cast<double>(latencies.size()) / seconds, failed,
              percentile(latencies, 50), percentile(latencies, 99), percentile(latencies, 100));
  std::printf("position queries: %zu gaps, ms p1 %.1f p50 %.1f p99 %.1f max %.1f\n", gaps.size(),
              percentile(gaps, 1), percentile(gaps, 50), percentile(gaps, 99), percentile(gaps, 100));
  // Each client asks at fixed instants; a server that kept them waiting
  // would have pushed the last requests past the load time.
  EXPECT_LT(seconds, std::chrono::duration<double>(loadTime).count() + 2) << "the clients fell behind";
  // One query every 100 ms plus the reading and writing around it. The
  // simulator's own time stamps jitter on a busy machine, so single gaps
  // say little; the median and the tail say whether the night kept pace.
  ASSERT_GT(gaps.size(), 100u);
  EXPECT_GE(percentile(gaps, 50), 99.0);
  EXPECT_LE(percentile(gaps, 50), 110.0);
  EXPECT_LE(percentile(gaps, 99), 200.0);

  std::vector<std::string> records = testing::logRecords(log());
  ASSERT_EQ(records.size(), 5u) << log();
  for (int k = 0; k < 4; ++k) {
    EXPECT_THAT(records[k], StartsWith(today + " "));
    EXPECT_THAT(records[k], HasSubstr(" W" + std::to_string(k) + "  ")) << "nearest the meridian first";
  }
  EXPECT_EQ(records.back(), "B4000,0000");
}

}  // namespace
}  // namespace vantrel::e2e
