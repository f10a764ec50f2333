#include "web/http/http_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {
namespace {

using Steady = std::chrono::steady_clock;

// How soon a connection notices that the server stops.
constexpr std::chrono::milliseconds stopSlice{100};

void addressOf(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    port = ntohs(a.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
    port = ntohs(a.sin6_port);
  }
  ip = text;
}

}  // namespace

ConnectionStream::ConnectionStream(socket_t fd, const std::atomic<socket_t>& listening)
    : socket_(fd), listening_(listening) {}

ConnectionStream::~ConnectionStream() {
  ::shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
}

bool ConnectionStream::waitFor(short events, Deadline until) const {
  for (;;) {
    if (listening_.load() == INVALID_SOCKET) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Steady::now());
    if (left.count() <= 0) return false;
    pollfd p{socket_, events, 0};
    int ready = ::poll(&p, 1, static_cast<int>(std::min(left, stopSlice).count()));
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
  }
}

bool ConnectionStream::awaitRequest(std::chrono::milliseconds idle) {
  if (bufferStart_ < bufferEnd_) return true;  // the next request came with the last one
  return waitFor(POLLIN, Steady::now() + idle);
}

void ConnectionStream::beginRequest(Deadline headDue, Deadline answerDue, std::size_t byteBudget) {
  headDue_ = headDue;
  answerDue_ = answerDue;
  budget_ = byteBudget;
}

bool ConnectionStream::is_readable() const {
  return bufferStart_ < bufferEnd_ || waitFor(POLLIN, headDue_);
}

bool ConnectionStream::is_writable() const { return waitFor(POLLOUT, answerDue_); }

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (budget_ == 0 || broken_) return fail();
  if (bufferStart_ == bufferEnd_) {
    if (!waitFor(POLLIN, headDue_)) return fail();
    ssize_t n;
    do {
      n = ::recv(socket_, buffer_, std::min(sizeof buffer_, budget_), MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return n == 0 ? 0 : fail();
    bufferStart_ = 0;
    bufferEnd_ = static_cast<std::size_t>(n);
  }
  std::size_t n = std::min({size, bufferEnd_ - bufferStart_, budget_});
  std::copy_n(buffer_ + bufferStart_, n, ptr);
  bufferStart_ += n;
  budget_ -= n;
  return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  for (;;) {
    if (broken_ || !waitFor(POLLOUT, answerDue_)) return fail();
    ssize_t n = ::send(socket_, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return fail();
  }
}

ssize_t ConnectionStream::fail() {
  broken_ = true;
  return -1;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) addressOf(address, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) addressOf(address, ip, port);
}

void lowerThreadPriority() {
  // On Linux the nice value belongs to the thread, named by its id. A
  // failure leaves the priority as it was, which is no reason to stop.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
}

BoundedPool::BoundedPool(std::size_t threads) : size_(threads) {
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

BoundedPool::~BoundedPool() { shutdown(); }

void BoundedPool::enqueue(std::function<void()> job) {
  std::unique_lock<std::mutex> lock(mutex_);
  roomFreed_.wait(lock, [&] { return stopping_ || busy_ + jobs_.size() < size_; });
  jobs_.push_back(std::move(job));
  jobReady_.notify_one();
}

void BoundedPool::shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ && threads_.empty()) return;
    stopping_ = true;
  }
  jobReady_.notify_all();
  roomFreed_.notify_all();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

// Jobs still queued at shutdown run too: each one closes its socket.
void BoundedPool::work() {
  lowerThreadPriority();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    jobReady_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    ++busy_;
    lock.unlock();
    try {
      job();
    } catch (...) {
      // The job's own objects closed its connection on the way out; the
      // other connections and the night go on.
    }
    lock.lock();
    --busy_;
    roomFreed_.notify_one();
  }
}

}  // namespace vantrel
