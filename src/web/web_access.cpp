#include "web/web_access.h"

namespace vantrel {
namespace {

std::optional<WebPage> pageAt(const std::string& path) {
  if (path == "/") return WebPage::index;
  if (path == "/status.json") return WebPage::statusJson;
  if (path == "/log.txt") return WebPage::logText;
  if (path == "/plan.json") return WebPage::planJson;
  return std::nullopt;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "Bearer T" (the scheme's case does not matter).
std::optional<std::string_view> bearerOf(std::string_view header) {
  header = trimmed(header);
  constexpr std::string_view scheme = "bearer ";
  if (header.size() <= scheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    char c = header[i];
    if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != scheme[i]) return std::nullopt;
  }
  return trimmed(header.substr(scheme.size()));
}

bool cookieCarries(std::string_view cookies, const std::string& token) {
  bool found = false;
  while (!cookies.empty()) {
    std::size_t end = cookies.find(';');
    std::string_view pair = trimmed(cookies.substr(0, end));
    cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
    std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == tokenCookieName) {
      found = sameSecret(token, pair.substr(eq + 1)) || found;
    }
  }
  return found;
}

WebDecision decideStop(const WebRequest& request, const std::string& token, const std::string& stopKey) {
  WebDecision decision;
  decision.page = WebPage::stop;
  std::optional<std::string_view> bearer = bearerOf(request.authorization);
  if (request.method != "POST") {
    decision.status = 405;
  } else if (token.empty()) {
    decision.status = 403;
    decision.refusal = "Stopping the night from the page needs a token, on every address: start vantrel with "
                       "--web-token FILE.";
  } else if (!(bearer && sameSecret(token, *bearer)) && !cookieCarries(request.cookie, token)) {
    decision.status = 401;
  } else if (stopKey.empty() || !sameSecret(stopKey, request.stopKey)) {
    decision.status = 403;
    decision.refusal = std::string("A stop must come from the page's button: its ") + stopKeyHeader +
                       " header is missing or out of date; open the page again.";
  }
  return decision;
}

}  // namespace

bool sameSecret(std::string_view expected, std::string_view given) {
  unsigned char difference = expected.size() == given.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= static_cast<unsigned char>(static_cast<unsigned char>(expected[i]) ^ g);
  }
  return difference == 0;
}

WebDecision decideWebAccess(const WebRequest& request, const std::string& token, const std::string& stopKey) {
  if (request.path == "/stop") return decideStop(request, token, stopKey);
  WebDecision decision;
  if (request.method != "GET" && request.method != "HEAD") {
    decision.status = 405;
    return decision;
  }
  if (!token.empty()) {
    std::optional<std::string_view> bearer = bearerOf(request.authorization);
    bool byHeader = bearer && sameSecret(token, *bearer);
    bool byQuery = request.queryToken && sameSecret(token, *request.queryToken);
    if (byQuery) {
      decision.status = 303;
      decision.setCookie = std::string(tokenCookieName) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict";
      decision.location = pageAt(request.path) ? request.path : "/";
      return decision;
    }
    if (!byHeader && !cookieCarries(request.cookie, token)) {
      decision.status = 401;
      return decision;
    }
  }
  decision.page = pageAt(request.path);
  decision.status = decision.page ? 200 : 404;
  return decision;
}

}  // namespace vantrel
