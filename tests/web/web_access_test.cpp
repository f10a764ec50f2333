// Who reaches the status server and how: the address and token the command
// line may give, and what the server answers a request before it makes any
// content.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "e2e/process.h"
#include "platform/fault.h"
#include "web/web_access.h"
#include "web/web_settings.h"

namespace vantrel {
namespace {

// The address and port read, or a refusal (no host).
TEST(WebAddress, IsReadOrRefused) {
  const struct {
    const char* name;
    const char* text;
    const char* host;  // nullptr: refused
    int port;
  } cases[] = {
      {"BarePortIsLoopback", "8080", "127.0.0.1", 8080},
      {"PortZeroLetsTheSystemChoose", "0", "127.0.0.1", 0},
      {"HighestPort", "65535", "127.0.0.1", 65535},
      {"PortTooHigh", "65536", nullptr, 0},
      {"SixDigits", "000080", nullptr, 0},
      {"NegativePort", "-1", nullptr, 0},
      {"NotANumber", "http", nullptr, 0},
      {"Empty", "", nullptr, 0},
      {"AddressAndPort", "0.0.0.0:80", "0.0.0.0", 80},
      {"HostName", "localhost:9000", "localhost", 9000},
      {"EmptyAddress", ":80", nullptr, 0},
      {"NoPortAfterColon", "127.0.0.1:", nullptr, 0},
      {"BracketedIpv6", "[::1]:8080", "::1", 8080},
      {"BareIpv6IsAmbiguous", "::1:8080", nullptr, 0},
      {"UnclosedBracket", "[::1:8080", nullptr, 0},
  };
  for (const auto& c : cases) {
    std::string error;
    std::optional<WebSettings> s = parseWebAddress(c.text, error);
    if (c.host == nullptr) {
      EXPECT_FALSE(s) << c.name << ": got " << s->host << " " << s->port;
      EXPECT_FALSE(error.empty()) << c.name;
    } else {
      EXPECT_TRUE(s && s->host == c.host && s->port == c.port)
          << c.name << ": got " << (s ? s->host + " " + std::to_string(s->port) : error);
    }
  }
  EXPECT_EQ(webUrl("127.0.0.1", 8080), "http://127.0.0.1:8080/");
  EXPECT_EQ(webUrl("::1", 80), "http://[::1]:80/") << "IPv6 in brackets";
}

TEST(WebLoopback, OnlyThisComputersAddresses) {
  for (const char* host : {"127.0.0.1", "127.1.2.3", "localhost", "::1", "0:0:0:0:0:0:0:1"}) {
    EXPECT_TRUE(isLoopbackHost(host)) << host;
  }
  for (const char* host : {"0.0.0.0", "::", "192.168.1.2", "128.0.0.1", "::ffff:127.0.0.1", "localhost.example",
                           "myhost", "127.0.0.1.example"}) {
    EXPECT_FALSE(isLoopbackHost(host)) << host;
  }
}

TEST(WebToken, FirstLineOfSafeCharacters) {
  std::string error;
  EXPECT_EQ(tokenFromFileText("abcdefghij0123456789\n", error), "abcdefghij0123456789");
  EXPECT_EQ(tokenFromFileText("A.b_c~d-e0123456789\r\nsecond line", error), "A.b_c~d-e0123456789");
  EXPECT_EQ(tokenFromFileText("0123456789abcdef", error), "0123456789abcdef") << "16 characters are enough";
  EXPECT_FALSE(tokenFromFileText("0123456789abcde\n", error));
  EXPECT_EQ(error, "the token has 15 characters; it needs at least 16");
  EXPECT_FALSE(tokenFromFileText("", error));
  EXPECT_FALSE(tokenFromFileText(std::string(20, '\0'), error)) << "NUL is no token character";
  for (const char* bad : {"0123456789abcdef+", "0123456789 abcdef", "0123456789abcdef;", "0123456789abcdef\t"}) {
    EXPECT_FALSE(tokenFromFileText(bad, error)) << bad;
    EXPECT_NE(error.find("characters other than"), std::string::npos);
  }
}

// The refusals a user meets, each with status 2 and what to do.
TEST(WebSettingsFor, RefusesWhatWouldBeUnsafeOrWrong) {
  e2e::ScratchDir dir;
  e2e::writeFile(dir / "token", "s3cret-token-0123456789\n");
  e2e::writeFile(dir / "short", "abc\n");
  e2e::writeFile(dir / "long", "s3cret-token-0123456789\n" + std::string(5000, '#'));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  auto refusal = [](const std::string& address, const std::string& tokenFile) {
    try {
      webSettingsFor(address, tokenFile);
    } catch (const Fault& fault) {
      EXPECT_EQ(fault.status(), ExitStatus::usage);
      return std::string(fault.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("8080", ""), "accepted");
  EXPECT_EQ(refusal("0.0.0.0:8080", dir / "token"), "accepted");
  EXPECT_EQ(webSettingsFor("0.0.0.0:8080", dir / "token").token, "s3cret-token-0123456789");
  EXPECT_NE(refusal("0.0.0.0:8080", "").find("needs a token: give --web-token FILE"), std::string::npos);
  EXPECT_NE(refusal("192.168.1.5:80", "").find("--web 80)"), std::string::npos) << "offers the loopback way";
  EXPECT_NE(refusal("8080", dir / "missing").find("missing: cannot read: No such file"), std::string::npos);
  EXPECT_NE(refusal("8080", dir / "short").find("short: the token has 3 characters"), std::string::npos);
  EXPECT_NE(refusal("8080", dir / "fifo").find("fifo: not a regular file"), std::string::npos) << "never waits";
  EXPECT_NE(refusal("8080", dir / "long").find("long: the file has 5024 bytes"), std::string::npos);
  EXPECT_NE(refusal("80800", "").find("0 to 65535"), std::string::npos);
}

const std::string token = "s3cret-token-0123456789";

WebRequest get(const char* path, std::string authorization = "", std::string cookie = "",
               std::optional<std::string> query = std::nullopt) {
  return WebRequest{"GET", path, authorization, cookie, query};
}
WebRequest with(const char* method, const char* path) { return WebRequest{method, path, "", "", std::nullopt}; }

TEST(WebAccess, DecidesAsTheTableSays) {
  const struct {
    const char* name;
    WebRequest request;
    const char* token;
    int status;
    std::optional<WebPage> page;
  } cases[] = {
      {"Index", get("/"), "", 200, WebPage::index},
      {"Status", get("/status.json"), "", 200, WebPage::statusJson},
      {"Log", get("/log.txt"), "", 200, WebPage::logText},
      {"Plan", get("/plan.json"), "", 200, WebPage::planJson},
      {"HeadIsAGet", with("HEAD", "/status.json"), "", 200, WebPage::statusJson},
      {"UnknownPath", get("/index.html"), "", 404, std::nullopt},
      {"TrailingSlash", get("/status.json/"), "", 404, std::nullopt},
      {"DotDot", get("/../etc/passwd"), "", 404, std::nullopt},
      {"DotDotAfterPage", get("/log.txt/../../vantrel.ini"), "", 404, std::nullopt},
      {"AnotherLog", get("/log2026-12-06.txt"), "", 404, std::nullopt},
      {"CaseMatters", get("/STATUS.JSON"), "", 404, std::nullopt},
      {"Post", with("POST", "/status.json"), "", 405, std::nullopt},
      {"PostToUnknownPath", with("POST", "/nothing"), "", 405, std::nullopt},
      {"Options", with("OPTIONS", "/"), "", 405, std::nullopt},
      {"PostBeforeToken", with("POST", "/"), token.c_str(), 405, std::nullopt},
      {"NoToken", get("/"), token.c_str(), 401, std::nullopt},
      {"NoTokenUnknownPath", get("/x"), token.c_str(), 401, std::nullopt},
      {"Bearer", get("/status.json", "Bearer " + token), token.c_str(), 200, WebPage::statusJson},
      {"BearerAnyCase", get("/", "bEARER  " + token + " "), token.c_str(), 200, WebPage::index},
      {"BearerWrong", get("/", "Bearer " + token + "x"), token.c_str(), 401, std::nullopt},
      {"BearerPrefixOnly", get("/", "Bearer " + token.substr(0, 10)), token.c_str(), 401, std::nullopt},
      {"BasicIsNotBearer", get("/", "Basic " + token), token.c_str(), 401, std::nullopt},
      {"Cookie", get("/", "", "a=1; vantrel_token=" + token + "; b=2"), token.c_str(), 200, WebPage::index},
      {"CookieWrong", get("/", "", "vantrel_token=nope"), token.c_str(), 401, std::nullopt},
      {"CookieOtherName", get("/", "", "x_vantrel_token=" + token), token.c_str(), 401, std::nullopt},
      {"QueryRedirects", get("/status.json", "", "", token), token.c_str(), 303, std::nullopt},
      {"QueryWrong", get("/", "", "", std::string("guess")), token.c_str(), 401, std::nullopt},
      {"TokenAndUnknownPath", get("/x", "Bearer " + token), token.c_str(), 404, std::nullopt},
  };
  for (const auto& c : cases) {
    WebDecision d = decideWebAccess(c.request, c.token);
    EXPECT_EQ(d.status, c.status) << c.name;
    EXPECT_EQ(d.page, c.page) << c.name;
    EXPECT_EQ(d.status == 303, !d.setCookie.empty()) << c.name;
  }
}

TEST(WebAccessQuery, SetsTheCookieAndLeavesTheTokenOutOfTheAddress) {
  WebDecision d = decideWebAccess(get("/log.txt", "", "", token), token);
  EXPECT_EQ(d.location, "/log.txt");
  EXPECT_EQ(d.setCookie, "vantrel_token=" + token + "; Path=/; HttpOnly; SameSite=Strict");
  EXPECT_EQ(decideWebAccess(get("/elsewhere", "", "", token), token).location, "/") << "never to an unknown path";
}

TEST(SameSecret, OnlyTheWholeSecret) {
  EXPECT_TRUE(sameSecret("abc", "abc"));
  for (std::string other : {"abd", "ab", "abcd", ""}) EXPECT_FALSE(sameSecret("abc", other)) << other;
  EXPECT_FALSE(sameSecret("abc", std::string("abc\0", 4)));
}

}  // namespace
}  // namespace vantrel
