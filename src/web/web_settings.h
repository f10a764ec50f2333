// web_settings.h - where the status server listens, and who may read it.
//
// `--web [ADDR:]PORT` names the address: a bare port listens on 127.0.0.1
// only; ADDR is an IPv4 address, a bracketed IPv6 address ("[::1]:8080") or a
// host name. Port 0 lets the system choose a free port (the address actually
// used is printed at start-up).
//
// Notes:
// 1) Only loopback addresses (127.0.0.0/8, ::1, "localhost") may be served
//    without a token: any other address is reachable from the network, and
//    the status of a night (where the telescope points, when the house is
//    unattended) is not for everybody on it.
// 2) The token is the first line of the --web-token file without the line
//    end: at least 16 characters from A-Z a-z 0-9 . _ ~ - (the characters a
//    URL and a cookie carry unchanged).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel {

struct WebSettings {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string token;  // empty: no token is asked for
};

// The host and port of "[ADDR:]PORT"; nothing, with `error` set, when the
// text is not of that form or the port is not 0..65535.
std::optional<WebSettings> parseWebAddress(const std::string& text, std::string& error);

bool isLoopbackHost(const std::string& host);

// The token of a token file's content; nothing, with `error` set, when it is
// too short or holds other characters.
std::optional<std::string> tokenFromFileText(const std::string& text, std::string& error);

// The settings of the command line: the address, and the token read from
// `tokenFile` (empty: none). Throws a Fault (exit status 2) that says what is
// wrong and how to mend it: a bad address, an unreadable or bad token file,
// or an address reachable from the network without a token.
WebSettings webSettingsFor(const std::string& address, const std::string& tokenFile);

// "http://127.0.0.1:8080/", brackets around an IPv6 address.
std::string webUrl(const std::string& host, int port);

// The addresses to open: for a host that listens on every interface (0.0.0.0
// or ::), one for each of `hostAddresses` (this computer's, as
// hostIPv4Addresses gives them), then loopback; for any other host, itself.
std::vector<std::string> webUrls(const std::string& host, int port, const std::vector<std::string>& hostAddresses);

}  // namespace vantrel
