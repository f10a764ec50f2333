// A small HTTP/1.1 client on a plain socket, so that a test controls every
// byte it sends (raw paths, slow senders, oversized heads) and sees every
// byte of the answer.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <regex>
#include <string>

namespace vantrel::testing {

struct HttpAnswer {
  int status = 0;  // 0: no answer (closed or silent for the timeout)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string text;  // the whole answer as it came
};

// One connection to 127.0.0.1:port; requests on it may be kept alive.
class HttpConnection {
 public:
  explicit HttpConnection(int port, std::chrono::milliseconds timeout = std::chrono::seconds(3))
      : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), timeout_(timeout) {
    sockaddr_in a{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  ~HttpConnection() { ::close(fd_); }
  HttpConnection(const HttpConnection&) = delete;

  bool send(const std::string& bytes) { return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0; }

  // "METHOD path" with the header lines given (each ending in \r\n), and its
  // answer: the body by Content-Length (none for HEAD).
  HttpAnswer request(const std::string& method, const std::string& path, const std::string& headers = "") {
    HttpAnswer answer;
    std::size_t end = std::string::npos;
    send(method + " " + path + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n");
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos && fill()) {
    }
    const std::string head = pending_.substr(0, end == std::string::npos ? 0 : end + 2);
    static const std::regex field("\n([^:]+): ([^\r]*)");
    for (std::sregex_iterator it(head.begin(), head.end(), field), last; it != last; ++it) {
      std::string name = (*it)[1];
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      answer.headers[name] = (*it)[2];
    }
    std::size_t length = method == "HEAD" ? 0 : std::stoul(answer.headers["content-length"] + "0") / 10;
    while (!head.empty() && pending_.size() < end + 4 + length && fill()) {
    }
    if (head.empty() || pending_.size() < end + 4 + length) return answer;
    answer.text = pending_.substr(0, end + 4 + length);
    answer.body = answer.text.substr(end + 4);
    pending_.erase(0, answer.text.size());
    answer.status = std::stoi(head.substr(9, 3));
    return answer;
  }

 private:
  bool fill() {
    pollfd p{fd_, POLLIN, 0};
    char buffer[65536];
    ssize_t n = ::poll(&p, 1, static_cast<int>(timeout_.count())) > 0 ? ::recv(fd_, buffer, sizeof buffer, 0) : 0;
    pending_.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    return n > 0;
  }

  int fd_;
  std::chrono::milliseconds timeout_;
  std::string pending_;
};

}  // namespace vantrel::testing
