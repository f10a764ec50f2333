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

TEST(WebAddress, IsReadOrRefused) {
  const struct { const char* text; const char* want; } cases[] = {  // host|port, or "refused"
      {"8080", "127.0.0.1|8080"},  // a bare port is loopback
      {"0", "127.0.0.1|0"},        // the system chooses
      {"65535", "127.0.0.1|65535"},
      {"65536", "refused"},
      {"000080", "refused"},       // six digits
      {"-1", "refused"},
      {"", "refused"},
      {"0.0.0.0:80", "0.0.0.0|80"},
      {":80", "refused"},
      {"127.0.0.1:", "refused"},
      {"[::1]:8080", "::1|8080"},
      {"::1:8080", "refused"},     // a bare IPv6 address is ambiguous
      {"[::1:8080", "refused"},
  };
  for (const auto& c : cases) {
    std::string error;
    std::optional<WebSettings> s = parseWebAddress(c.text, error);
    EXPECT_EQ(s ? s->host + "|" + std::to_string(s->port) : error.empty() ? "no reason" : "refused", c.want) << c.text;
  }
  EXPECT_EQ(webUrl("127.0.0.1", 8080), "http://127.0.0.1:8080/");
  EXPECT_EQ(webUrl("::1", 80), "http://[::1]:80/") << "IPv6 in brackets";
}

TEST(WebLoopback, OnlyThisComputersAddresses) {
  for (const char* host : {"127.1.2.3", "localhost", "0:0:0:0:0:0:0:1"}) EXPECT_TRUE(isLoopbackHost(host)) << host;
  for (const char* host : {"0.0.0.0", "::", "128.0.0.1", "::ffff:127.0.0.1", "localhost.x", "127.0.0.1.example"}) {
    EXPECT_FALSE(isLoopbackHost(host)) << host;
  }
}

TEST(WebToken, FirstLineOfSafeCharacters) {
  const std::string unsafe = "the token holds characters other than A-Z a-z 0-9 . _ ~ -";
  const struct { std::string text, want; } cases[] = {  // the token, or the refusal
      {"AZ.b_c~d-ez0123456789\r\nsecond line", "AZ.b_c~d-ez0123456789"},
      {"0123456789abcdef", "0123456789abcdef"},  // 16 characters are enough
      {"0123456789abcde\n", "the token has 15 characters; it needs at least 16"},
      {"", "the token has 0 characters; it needs at least 16"},
      {std::string(20, '\0'), unsafe},
      {"0123456789abcdef+", unsafe},
      {"0123456789 abcdef", unsafe},
      {"0123456789abcdef\t", unsafe},
  };
  for (const auto& c : cases) {
    std::string error;
    std::optional<std::string> token = tokenFromFileText(c.text, error);
    EXPECT_EQ(token ? *token : error, c.want) << c.text;
  }
}

// The refusals a user meets, each with status 2 and what to do.
TEST(WebSettingsFor, RefusesWhatWouldBeUnsafeOrWrong) {
  e2e::ScratchDir dir;
  e2e::writeFile(dir / "token", "s3cret-token-0123456789\n");
  e2e::writeFile(dir / "short", "abc\n");
  e2e::writeFile(dir / "long", "s3cret-token-0123456789\n" + std::string(5000, '#'));
  e2e::writeFile(dir / "longest", "s3cret-token-0123456789\n" + std::string(4096 - 24, '#'));
  e2e::writeFile(dir / "empty", "");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const struct { const char* address; std::string tokenFile; const char* want; } cases[] = {
      {"8080", "", "accepted"},
      {"0.0.0.0:8080", dir / "token", "accepted s3cret-token-0123456789"},
      {"0.0.0.0:8080", "", "needs a token: give --web-token FILE"},
      {"192.168.1.5:80", "", "--web 80)"},  // offers the loopback way
      {"8080", dir / "missing", "missing: cannot read: No such file"},
      {"8080", dir / "short", "short: the token has 3 characters"},
      {"8080", dir / "fifo", "fifo: not a regular file"},  // never waits
      {"8080", dir / "long", "long: the file has 5024 bytes"},
      {"8080", dir / "longest", "accepted s3cret-token-0123456789"},
      {"8080", dir / "empty", "empty: the token has 0 characters"},
      {"80800", "", "0 to 65535"},
  };
  for (const auto& c : cases) {
    std::string got;
    try {
      got = ("accepted " + webSettingsFor(c.address, c.tokenFile).token);
    } catch (const Fault& fault) {
      EXPECT_EQ(fault.status(), ExitStatus::usage);
      got = fault.what();
    }
    EXPECT_NE((got + " ").find(c.want), std::string::npos) << c.address << " " << c.tokenFile << ": " << got;
  }
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
      {"DotDotAfterPage", get("/log.txt/../../vantrel.ini"), "", 404, std::nullopt},
      {"CaseMatters", get("/STATUS.JSON"), "", 404, std::nullopt},
      {"Post", with("POST", "/status.json"), "", 405, std::nullopt},
      {"PostToUnknownPath", with("POST", "/nothing"), "", 405, std::nullopt},
      {"PostBeforeToken", with("POST", "/"), token.c_str(), 405, std::nullopt},
      {"NoToken", get("/"), token.c_str(), 401, std::nullopt},
      {"NoTokenUnknownPath", get("/x"), token.c_str(), 401, std::nullopt},
      {"Bearer", get("/status.json", "Bearer " + token), token.c_str(), 200, WebPage::statusJson},
      {"BearerAnyCase", get("/", "bEARER  " + token + " "), token.c_str(), 200, WebPage::index},
      {"BearerWrong", get("/", "Bearer " + token + "x"), token.c_str(), 401, std::nullopt},
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
