// The status server in this process, on a port the system chooses, with
// short limits so that slow and greedy clients show their treatment quickly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "support/http_client.h"
#include "support/memory_file_store.h"
#include "web/status_server.h"
#include "web/web_feed.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using testing::HttpConnection;
using testing::httpGet;
using ::testing::HasSubstr;
using ::testing::StartsWith;

int portOf(const StatusServer& server) {
  std::string url = server.url();
  return std::stoi(url.substr(url.rfind(':') + 1));
}

class Server : public ::testing::Test {
 protected:
  WebFeed feed{"log2026-12-06.txt", nullptr, nullptr};
  testing::MemoryFileStore files;
  WebLimits limits;
  std::unique_ptr<StatusServer> server;
  int port = 0;

  void start(const std::string& token = "") {
    WebSettings settings;
    settings.token = token;
    server = startStatusServer(settings, feed, files, limits);
    port = portOf(*server);
  }
};

TEST_F(Server, ServesTheFeedAndTonightsLogOnly) {
  start();
  EXPECT_EQ(httpGet(port, "/log.txt").status, 404) << "no log before the first record";
  files.files["log2026-12-06.txt"] = "first\r\nsecond\r\n";
  files.files["vantrel.ini"] = "secret";
  feed.showStatus("first");
  testing::HttpAnswer log = httpGet(port, "/log.txt");
  EXPECT_EQ(log.status, 200);
  EXPECT_EQ(log.body, "first\r\nsecond\r\n");
  testing::HttpAnswer status = httpGet(port, "/status.json");
  EXPECT_EQ(status.headers["content-type"], "application/json");
  EXPECT_THAT(status.body, HasSubstr("\"records\":[\"first\"]"));
  EXPECT_EQ(status.headers["cache-control"], "no-store");
  EXPECT_THAT(httpGet(port, "/").headers["content-security-policy"], StartsWith("default-src 'none'"));
  for (const char* path : {"/vantrel.ini", "/../vantrel.ini", "/%2e%2e/vantrel.ini", "/log.txt/..", "//log.txt"}) {
    EXPECT_EQ(httpGet(port, path).status, 404) << path;
  }
  testing::HttpAnswer post = httpGet(port, "/", "Content-Length: 3\r\n", "POST");
  EXPECT_EQ(post.status, 405);
  EXPECT_EQ(post.headers["allow"], "GET, HEAD");
  EXPECT_EQ(httpGet(port, "/status.json", "", "HEAD").status, 200);
}

// The token's way in (header, query, cookie) is tried on the real binary
// end to end; here, that a refusal names the scheme it asks for.
TEST_F(Server, ARefusalAsksForTheBearerToken) {
  start("s3cret-token-0123456789");
  testing::HttpAnswer refused = httpGet(port, "/status.json");
  EXPECT_EQ(refused.status, 401);
  EXPECT_EQ(refused.headers["www-authenticate"], "Bearer realm=\"vantrel\"");
}

// A client that trickles its request, or never ends it, loses its
// connection at the request's deadline; the others are served meanwhile.
TEST_F(Server, SlowClientIsCutOffAtTheDeadline) {
  limits.requestTimeout = 600ms;
  start();
  HttpConnection slow(port, 3s);
  auto began = std::chrono::steady_clock::now();
  ASSERT_TRUE(slow.send("GET / HTTP/1.1\r\n"));
  for (int i = 0; i < 4; ++i) {
    std::this_thread::sleep_for(100ms);
    slow.send("X-Slow: 1\r\n");
    EXPECT_EQ(httpGet(port, "/status.json").status, 200);
  }
  EXPECT_TRUE(slow.closedByServer());
  auto held = std::chrono::steady_clock::now() - began;
  EXPECT_GE(held, 550ms);
  EXPECT_LT(held, 2s);
}

TEST_F(Server, OversizedRequestIsNotRead) {
  limits.maxRequestBytes = 2048;
  start();
  HttpConnection big(port, 3s);
  big.send("GET / HTTP/1.1\r\nHost: x\r\n");
  for (int i = 0; i < 100; ++i) big.send("X-Filler-" + std::to_string(i) + ": " + std::string(100, 'a') + "\r\n");
  big.send("\r\n");
  testing::HttpAnswer answer = big.read();
  EXPECT_NE(answer.status, 200);
  EXPECT_TRUE(big.closedByServer());
  EXPECT_EQ(httpGet(port, "/status.json").status, 200) << "the server goes on";
}

// With every place taken, a new client waits until one is free, then is served.
TEST_F(Server, ClientsBeyondTheLimitWaitTheirTurn) {
  limits.maxClients = 2;
  start();
  HttpConnection a(port), b(port);
  ASSERT_EQ(a.request("GET", "/status.json").status, 200);
  ASSERT_EQ(b.request("GET", "/status.json").status, 200);
  HttpConnection c(port, 300ms);
  ASSERT_TRUE(c.connected()) << "the system's queue takes it";
  c.send("GET /status.json HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(c.read().status, 0) << "not served while two are connected";
  a.close();
  HttpConnection patient(port, 3s);
  patient.send("GET /status.json HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(c.read().status, 200) << "served when a place came free";
  b.close();
  EXPECT_EQ(patient.read().status, 200) << "and the next in turn";
}

}  // namespace
}  // namespace vantrel
