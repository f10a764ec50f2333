// web_access.h - what the status server answers to a request, before any
// content is made.
//
// The server knows four pages by their exact path, and one action; no part
// of a request ever names a file. The action, /stop, ends the night through
// the park; it needs the token always (also on loopback), so:
// a) A method other than POST: 405. Without a token file: 403.
// b) The token as a bearer or as the cookie (never the query), else 401.
// c) The header "X-Vantrel-Stop: KEY" with the key the page carries, else
//    403: a page of another site in the observer's own browser can neither
//    read the key nor send a header of its own (the browser asks this server
//    first, and it answers no such question), and the cookie is not sent
//    with its requests (SameSite=Strict).
// Every other path is read-only, in this order:
// 1) A method other than GET or HEAD: 405 (nothing can be changed there).
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

enum class WebPage { index, statusJson, logText, planJson, stop };

struct WebRequest {
  std::string method;
  std::string path;           // decoded, without the query
  std::string authorization;  // the Authorization header, or empty
  std::string cookie;         // the Cookie header, or empty
  std::optional<std::string> queryToken;
  std::string stopKey;        // the X-Vantrel-Stop header, or empty
};

struct WebDecision {
  int status = 200;
  std::optional<WebPage> page;  // set when status is 200, and for the refusals of /stop
  std::string setCookie;        // a Set-Cookie value to send, or empty
  std::string location;         // where a 303 redirect goes, or empty
  std::string refusal;          // why a 403 is answered
};

inline constexpr const char* tokenCookieName = "vantrel_token";

inline constexpr const char* stopKeyHeader = "X-Vantrel-Stop";

// `stopKey`: the key of /stop the page carries.
WebDecision decideWebAccess(const WebRequest& request, const std::string& token, const std::string& stopKey);

// Compares a secret in a time that depends only on the expected secret's
// length, so that the answer time tells nothing about how much of a guess
// was right.
bool sameSecret(std::string_view expected, std::string_view given);

}  // namespace vantrel
