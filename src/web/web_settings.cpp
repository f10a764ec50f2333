#include "web/web_settings.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/fault.h"

namespace vantrel {
namespace {

constexpr std::size_t minTokenLength = 16;
// A token file is one short line; anything longer is the wrong file.
constexpr std::size_t maxTokenFileBytes = 4096;

bool allDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

bool isTokenCharacter(char c) {
  // strchr finds the terminating NUL too.
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("._~-", c));
}

[[noreturn]] void usageFault(const std::string& message) { throw Fault(message, ExitStatus::usage); }

// The first bytes of the token file. Opened without blocking and taken only
// as a regular file: a FIFO or a device would hang the start of the night.
std::string tokenFileText(const std::string& file) {
  const std::string what = "--web-token " + file + ": ";
  int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) usageFault(what + "cannot read: " + std::strerror(errno));
  struct stat info {};
  std::string text;
  std::string refusal;
  if (::fstat(fd, &info) != 0) {
    refusal = std::string("cannot read: ") + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = "not a regular file (a FIFO, a device or a folder); the token is read from a plain file";
  } else if (static_cast<std::uintmax_t>(info.st_size) > maxTokenFileBytes) {
    refusal = "the file has " + std::to_string(info.st_size) + " bytes; a token file is one line of at most " +
              std::to_string(maxTokenFileBytes) + " bytes";
  } else {
    text.resize(maxTokenFileBytes);
    ssize_t n;
    do {
      n = ::read(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) refusal = std::string("cannot read: ") + std::strerror(errno);
    text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!refusal.empty()) usageFault(what + refusal);
  return text;
}

}  // namespace

std::optional<WebSettings> parseWebAddress(const std::string& text, std::string& error) {
  WebSettings settings;
  std::string portText = text;
  if (!text.empty() && text[0] == '[') {
    std::size_t close = text.find("]:");
    if (close == std::string::npos) {
      error = "an IPv6 address is written [ADDR]:PORT";
      return std::nullopt;
    }
    settings.host = text.substr(1, close - 1);
    portText = text.substr(close + 2);
  } else if (std::size_t colon = text.rfind(':'); colon != std::string::npos) {
    settings.host = text.substr(0, colon);
    portText = text.substr(colon + 1);
    if (settings.host.find(':') != std::string::npos) {
      error = "an IPv6 address is written [ADDR]:PORT";
      return std::nullopt;
    }
  }
  if (settings.host.empty()) {
    error = "the address before ':' is empty";
    return std::nullopt;
  }
  if (!allDigits(portText) || portText.size() > 5 || std::stoi(portText) > 65535) {
    error = "the port must be a number from 0 to 65535";
    return std::nullopt;
  }
  settings.port = std::stoi(portText);
  return settings;
}

bool isLoopbackHost(const std::string& host) {
  if (host == "localhost") return true;
  unsigned char v4[4];
  if (inet_pton(AF_INET, host.c_str(), v4) == 1) return v4[0] == 127;
  unsigned char v6[16];
  if (inet_pton(AF_INET6, host.c_str(), v6) == 1) {
    static const unsigned char loopback6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return std::memcmp(v6, loopback6, 16) == 0;
  }
  return false;
}

std::optional<std::string> tokenFromFileText(const std::string& text, std::string& error) {
  std::string token = text.substr(0, text.find_first_of("\r\n"));
  for (char c : token) {
    if (!isTokenCharacter(c)) {
      error = "the token holds characters other than A-Z a-z 0-9 . _ ~ -";
      return std::nullopt;
    }
  }
  if (token.size() < minTokenLength) {
    error = "the token has " + std::to_string(token.size()) + " characters; it needs at least " +
            std::to_string(minTokenLength);
    return std::nullopt;
  }
  return token;
}

WebSettings webSettingsFor(const std::string& address, const std::string& tokenFile) {
  std::string error;
  std::optional<WebSettings> settings = parseWebAddress(address, error);
  if (!settings) usageFault("--web " + address + ": " + error + " (e.g. --web 8080 or --web 0.0.0.0:8080)");
  const std::string howToMake =
      "; make one with: tr -dc A-Za-z0-9 </dev/urandom | head -c 32 > FILE";
  if (!tokenFile.empty()) {
    std::optional<std::string> token = tokenFromFileText(tokenFileText(tokenFile), error);
    if (!token) usageFault("--web-token " + tokenFile + ": " + error + howToMake);
    settings->token = *token;
  }
  if (settings->token.empty() && !isLoopbackHost(settings->host)) {
    usageFault("--web " + address + ": " + settings->host +
               " can be reached from the network, so the status server needs a token: "
               "give --web-token FILE" + howToMake + " (or serve only this computer with --web " +
               std::to_string(settings->port) + ")");
  }
  return *settings;
}

std::string webUrl(const std::string& host, int port) {
  bool v6 = host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
}

std::vector<std::string> webUrls(const std::string& host, int port, const std::vector<std::string>& hostAddresses) {
  in_addr v4;
  in6_addr v6;
  // An IPv6 socket of every interface takes IPv4 too (Linux's default): the
  // IPv4 addresses are those a phone types either way.
  bool any4 = inet_pton(AF_INET, host.c_str(), &v4) == 1 && v4.s_addr == INADDR_ANY;
  bool any6 = !any4 && inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_UNSPECIFIED(&v6);
  if (!any4 && !any6) return {webUrl(host, port)};
  std::vector<std::string> urls;
  for (const std::string& address : hostAddresses) urls.push_back(webUrl(address, port));
  urls.push_back(webUrl(any4 ? "127.0.0.1" : "::1", port));
  return urls;
}

}  // namespace vantrel
