// http_connection.h - one client connection of the status server, with its
// limits, and the pool of threads that serves the connections.
//
// ConnectionStream is the HTTP library's stream over an accepted socket, with
// deadlines: every read waits at most until the request's head is due, every
// write at most until its answer is due, and a request may not read more
// than its byte budget. Waits are cut into short slices so that a stopping
// server is seen at once. The stream owns the socket and closes it.
//
// BoundedPool runs each connection on one of a fixed number of threads. While
// every thread is busy, handing over a new connection waits: the accepting
// thread stops accepting, and further clients wait in the system's queue.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel {

class ConnectionStream : public httplib::Stream {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // `listening` is the server's socket; it becomes invalid when the server stops.
  ConnectionStream(socket_t fd, const std::atomic<socket_t>& listening);
  ~ConnectionStream() override;
  ConnectionStream(const ConnectionStream&) = delete;
  ConnectionStream& operator=(const ConnectionStream&) = delete;

  // Waits for the first byte of the next request, at most `idle`; false when
  // the client closed, stayed silent or the server stops.
  bool awaitRequest(std::chrono::milliseconds idle);
  // Starts a request: when its head must have come, when its answer must
  // have gone, and a budget for its bytes.
  void beginRequest(Deadline headDue, Deadline answerDue, std::size_t byteBudget);
  // A read or write failed (the deadline, the budget, the line): the
  // connection cannot go on, whatever the library made of it.
  bool broken() const { return broken_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return socket_; }

 private:
  // Waits for `events` until `until`; false at the deadline, on an error or
  // when the server stops.
  bool waitFor(short events, Deadline until) const;
  ssize_t fail();

  socket_t socket_;
  const std::atomic<socket_t>& listening_;
  Deadline headDue_{};
  Deadline answerDue_{};
  std::size_t budget_ = 0;
  bool broken_ = false;
  char buffer_[4096];
  std::size_t bufferStart_ = 0;
  std::size_t bufferEnd_ = 0;
};

// Lowers the calling thread's scheduling priority (nice 10): on a small
// machine the night's one thread must win the processor over any number of
// busy clients.
void lowerThreadPriority();

class BoundedPool : public httplib::TaskQueue {
 public:
  explicit BoundedPool(std::size_t threads);
  ~BoundedPool() override;
  // Waits while every thread is busy. A job that throws ends itself only.
  void enqueue(std::function<void()> job) override;
  void shutdown() override;

 private:
  void work();

  std::size_t size_;
  std::size_t busy_ = 0;
  bool stopping_ = false;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable roomFreed_;
};

}  // namespace vantrel
