// What the status server answers before it makes any content.
#include <gtest/gtest.h>

#include "web/web_access.h"

namespace vantrel {
namespace {

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
