// web_access.h - what the status server answers to a request, before any
// content is made.
//
// The server is read-only and knows four pages by their exact path; no part
// of a request ever names a file. In this order:
// 1) A method other than GET or HEAD: 405 (nothing can be changed here).
// 2) With a token: the request must carry it as "Authorization: Bearer T",
//    as the cookie "vantrel_token=T", or as "?token=T". A request with the
//    query is answered with the cookie and a redirect to the same page
//    without the query, so the token leaves the address bar at once and the
//    page's own requests carry the cookie. Anything else: 401.
// 3) Any path but the four pages: 404 ("/../x", "/%2e%2e/x" and
//    "/status.json/" are just other paths).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

enum class WebPage { index, statusJson, logText, planJson };

struct WebRequest {
  std::string method;
  std::string path;           // decoded, without the query
  std::string authorization;  // the Authorization header, or empty
  std::string cookie;         // the Cookie header, or empty
  std::optional<std::string> queryToken;
};

struct WebDecision {
  int status = 200;
  std::optional<WebPage> page;  // set when status is 200
  std::string setCookie;        // a Set-Cookie value to send, or empty
  std::string location;         // where a 303 redirect goes, or empty
};

inline constexpr const char* tokenCookieName = "vantrel_token";

WebDecision decideWebAccess(const WebRequest& request, const std::string& token);

// Compares a secret in a time that depends only on the expected secret's
// length, so that the answer time tells nothing about how much of a guess
// was right.
bool sameSecret(std::string_view expected, std::string_view given);

}  // namespace vantrel
