// What the status server answers before it makes any content.
#include <gtest/gtest.h>

#include "web/web_access.h"

namespace vantrel {
namespace {

const std::string token = "s3cret-token-0123456789";

struct AccessCase {
  const char* name;
  WebRequest request;
  const char* token;
  int status;
  std::optional<WebPage> page;
};

class WebAccess : public ::testing::TestWithParam<AccessCase> {};

TEST_P(WebAccess, Decides) {
  const AccessCase& c = GetParam();
  WebDecision d = decideWebAccess(c.request, c.token);
  EXPECT_EQ(d.status, c.status);
  EXPECT_EQ(d.page, c.page);
  EXPECT_EQ(d.status == 303, !d.setCookie.empty());
}

WebRequest get(const char* path, std::string authorization = "", std::string cookie = "",
               std::optional<std::string> query = std::nullopt) {
  return WebRequest{"GET", path, authorization, cookie, query};
}
WebRequest with(const char* method, const char* path) { return WebRequest{method, path, "", "", std::nullopt}; }

INSTANTIATE_TEST_SUITE_P(
    Table, WebAccess,
    ::testing::Values(
        AccessCase{"Index", get("/"), "", 200, WebPage::index},
        AccessCase{"Status", get("/status.json"), "", 200, WebPage::statusJson},
        AccessCase{"Log", get("/log.txt"), "", 200, WebPage::logText},
        AccessCase{"Plan", get("/plan.json"), "", 200, WebPage::planJson},
        AccessCase{"HeadIsAGet", with("HEAD", "/status.json"), "", 200, WebPage::statusJson},
        AccessCase{"UnknownPath", get("/index.html"), "", 404, std::nullopt},
        AccessCase{"TrailingSlash", get("/status.json/"), "", 404, std::nullopt},
        AccessCase{"DotDot", get("/../etc/passwd"), "", 404, std::nullopt},
        AccessCase{"DotDotAfterPage", get("/log.txt/../../vantrel.ini"), "", 404, std::nullopt},
        AccessCase{"AnotherLog", get("/log2026-12-06.txt"), "", 404, std::nullopt},
        AccessCase{"CaseMatters", get("/STATUS.JSON"), "", 404, std::nullopt},
        AccessCase{"Post", with("POST", "/status.json"), "", 405, std::nullopt},
        AccessCase{"Put", with("PUT", "/log.txt"), "", 405, std::nullopt},
        AccessCase{"Delete", with("DELETE", "/"), "", 405, std::nullopt},
        AccessCase{"PostToUnknownPath", with("POST", "/nothing"), "", 405, std::nullopt},
        AccessCase{"Options", with("OPTIONS", "/"), "", 405, std::nullopt},
        AccessCase{"PostBeforeToken", with("POST", "/"), token.c_str(), 405, std::nullopt},
        AccessCase{"NoToken", get("/"), token.c_str(), 401, std::nullopt},
        AccessCase{"NoTokenUnknownPath", get("/x"), token.c_str(), 401, std::nullopt},
        AccessCase{"Bearer", get("/status.json", "Bearer " + token), token.c_str(), 200, WebPage::statusJson},
        AccessCase{"BearerAnyCase", get("/", "bEARER  " + token + " "), token.c_str(), 200, WebPage::index},
        AccessCase{"BearerWrong", get("/", "Bearer " + token + "x"), token.c_str(), 401, std::nullopt},
        AccessCase{"BearerPrefixOnly", get("/", "Bearer " + token.substr(0, 10)), token.c_str(), 401, std::nullopt},
        AccessCase{"BasicIsNotBearer", get("/", "Basic " + token), token.c_str(), 401, std::nullopt},
        AccessCase{"Cookie", get("/", "", "a=1; vantrel_token=" + token + "; b=2"), token.c_str(), 200, WebPage::index},
        AccessCase{"CookieWrong", get("/", "", "vantrel_token=nope"), token.c_str(), 401, std::nullopt},
        AccessCase{"CookieOtherName", get("/", "", "x_vantrel_token=" + token), token.c_str(), 401, std::nullopt},
        AccessCase{"QueryRedirects", get("/status.json", "", "", token), token.c_str(), 303, std::nullopt},
        AccessCase{"QueryWrong", get("/", "", "", std::string("guess")), token.c_str(), 401, std::nullopt},
        AccessCase{"TokenAndUnknownPath", get("/x", "Bearer " + token), token.c_str(), 404, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebAccessQuery, SetsTheCookieAndLeavesTheTokenOutOfTheAddress) {
  WebDecision d = decideWebAccess(get("/log.txt", "", "", token), token);
  EXPECT_EQ(d.location, "/log.txt");
  EXPECT_EQ(d.setCookie, "vantrel_token=" + token + "; Path=/; HttpOnly; SameSite=Strict");
  EXPECT_EQ(decideWebAccess(get("/elsewhere", "", "", token), token).location, "/") << "never to an unknown path";
}

TEST(SameSecret, OnlyTheWholeSecret) {
  EXPECT_TRUE(sameSecret("abc", "abc"));
  EXPECT_FALSE(sameSecret("abc", "abd"));
  EXPECT_FALSE(sameSecret("abc", "ab"));
  EXPECT_FALSE(sameSecret("abc", "abcd"));
  EXPECT_FALSE(sameSecret("abc", ""));
  EXPECT_FALSE(sameSecret("abc", std::string("abc\0", 4)));
}

}  // namespace
}  // namespace vantrel
