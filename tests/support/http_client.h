// A small HTTP/1.1 client for tests, written from the protocol on plain
// sockets so that a test controls every byte it sends (raw paths, slow
// senders, oversized headers) and sees every byte of the answer.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>

namespace vantrel::testing {

struct HttpAnswer {
  int status = 0;  // 0: no answer (refused, closed or timed out)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// One connection to 127.0.0.1:port; requests on it may be kept alive.
class HttpConnection {
 public:
  explicit HttpConnection(int port, std::chrono::milliseconds timeout = std::chrono::seconds(10))
      : timeout_(timeout) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) close();
  }
  ~HttpConnection() { close(); }
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool send(const std::string& bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }

  // "GET path" with the extra header lines given (each ending in \r\n).
  HttpAnswer request(const std::string& method, const std::string& path, const std::string& headers = "") {
    if (!send(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n")) return {};
    return read(method == "HEAD");
  }

  // Reads one answer; the body by Content-Length, or to the end of the stream.
  HttpAnswer read(bool headOnly = false) {
    HttpAnswer answer;
    std::size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
      if (!fill()) return answer;
    }
    std::string head = pending_.substr(0, end + 2);
    pending_.erase(0, end + 4);
    if (head.size() < 14 || head.compare(0, 5, "HTTP/") != 0) return answer;
    for (std::size_t at = head.find("\r\n") + 2, next; (next = head.find("\r\n", at)) != std::string::npos;
         at = next + 2) {
      std::string line = head.substr(at, next - at), name = line.substr(0, line.find(':'));
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (name.size() < line.size()) answer.headers[name] = line.substr(line.find_first_not_of(' ', name.size() + 1));
    }
    auto length = answer.headers.find("content-length");
    std::size_t want = headOnly ? 0 : length != answer.headers.end() ? std::stoul(length->second) : std::string::npos;
    while (pending_.size() < want && fill()) {
    }
    if (want != std::string::npos && pending_.size() < want) return answer;
    answer.body = pending_.substr(0, want);
    pending_.erase(0, want);
    answer.status = std::stoi(head.substr(9, 3));
    return answer;
  }

  // True when the server closed the connection within the timeout.
  bool closedByServer() {
    while (fill()) {
    }
    return eof_;
  }

 private:
  bool fill() {
    if (fd_ < 0 || eof_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout_.count())) <= 0) return false;
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return !(eof_ = true);
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
  bool eof_ = false;
  std::chrono::milliseconds timeout_;
  std::string pending_;
};

// One request on a connection of its own.
inline HttpAnswer httpGet(int port, const std::string& path, const std::string& headers = "",
                          const std::string& method = "GET") {
  HttpConnection connection(port);
  return connection.request(method, path, headers + "Connection: close\r\n");
}

}  // namespace vantrel::testing
