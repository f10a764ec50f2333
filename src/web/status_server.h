// status_server.h - the read-only status server of a night.
//
// Serves the pages of web_pages.h and tonight's log over HTTP from threads of
// its own, reading only snapshots of the feed; it never calls into the
// night. Started before the night, so that an address that cannot be served
// stops the program before the mount is touched; stopped when destroyed.
//
// Notes:
// 1) At most maxClients connections are served at once; further clients
//    wait in the system's queue until one ends, and cost the program nothing.
// 2) A connection gets requestTimeout for each request (reading it and
//    writing the answer) and keepAliveIdle between requests, then it is
//    closed: a slow or stuck client cannot hold a thread for longer.
// 3) A request line and headers above maxRequestBytes end the connection;
//    no request body is ever read.
// 4) The threads of the server never take SIGINT, SIGTERM or SIGHUP: those
//    go to the night, whose waits they cut short.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "web/web_settings.h"

namespace vantrel {

class FileStore;
class WebFeed;

struct WebLimits {
  // Enough for a household of phones and browsers; each costs one thread.
  std::size_t maxClients = 16;
  // A page is made in microseconds and is at most a few hundred kilobytes:
  // ten seconds is room for the slowest phone line and far from "forever".
  std::chrono::milliseconds requestTimeout{10000};
  // Longer than the page's own refresh period, so a browser keeps its connection.
  std::chrono::milliseconds keepAliveIdle{5000};
  // The largest request a browser sends is a few cookies and headers.
  std::size_t maxRequestBytes = 16 * 1024;
  // Then a connection is closed and the next client gets its turn.
  int maxRequestsPerConnection = 100;
};

class StatusServer {
 public:
  virtual ~StatusServer() = default;
  // The address served, with the port the system chose for port 0.
  virtual std::string url() const = 0;
};

// Listens at once and serves until the result is destroyed. Throws a Fault
// (exit status 1) naming the address when it cannot listen, e.g. because the
// port is in use. `feed` and `files` must outlive the server.
std::unique_ptr<StatusServer> startStatusServer(const WebSettings& settings, const WebFeed& feed, FileStore& files,
                                                const WebLimits& limits = {});

}  // namespace vantrel
