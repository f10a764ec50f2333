// status_server.h - the status server of a night.
//
// Serves the pages of web_pages.h and tonight's log over HTTP from threads of
// its own, reading only snapshots of the night's status board; it never calls into the
// night but through the one action it is given, the page's stop (web_access.h). Started before the night, so that an address that cannot be served
// stops the program before the mount is touched; stopped when destroyed.
//
// Notes:
// 1) A new connection's first request is read by one of maxClients door
//    threads: its line and headers must come within headTimeout, and the
//    token is checked before anything else is done. Only a connection that
//    has shown the token (any, when none is asked for) moves on to one of
//    maxClients places kept for such clients, where its later requests are
//    served. Strangers thus hold a door for at most headTimeout and never
//    take a place; further clients wait in the system's queue.
// 2) A request's head must come within headTimeout, its answer must be
//    written within requestTimeout, and a connection may stay idle for
//    keepAliveIdle between requests; then it is closed: a slow or stuck
//    client cannot hold a thread for longer.
// 3) A request line and headers above maxRequestBytes end the connection;
//    no request body is ever read. A Range header is ignored: every answer
//    is the whole page, held once. The log is answered with its last
//    maxLogAnswerBytes at most.
// 4) A connection that is refused (401) is closed at once, on loopback too.
// 5) Each thread begins a request at most every requestSpacing: clients that
//    ask as fast as they can get the pages at that pace, and the work they
//    cause below the program (the system's network processing, which no
//    thread priority lowers) stays small beside the night's.
// 6) The threads of the server never take SIGINT, SIGTERM or SIGHUP: those
//    go to the night, whose waits they cut short. Whatever fails in one of
//    them ends one connection at most.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "web/web_settings.h"

namespace vantrel {

class FileStore;
class WebSource;

struct WebLimits {
  // Enough for a household of phones and browsers; each costs one thread.
  std::size_t maxClients = 16;
  // A browser sends its request at once; only a stranger trickles it.
  std::chrono::milliseconds headTimeout{2000};
  // A page is made in microseconds and is at most a few hundred kilobytes:
  // ten seconds is room for the slowest phone line and far from "forever".
  std::chrono::milliseconds requestTimeout{10000};
  // Longer than the page's own refresh period, so a browser keeps its connection.
  std::chrono::milliseconds keepAliveIdle{5000};
  // The largest request a browser sends is a few cookies and headers.
  std::size_t maxRequestBytes = 16 * 1024;
  // No page changes faster than the night's 100 ms pace; 50 requests a
  // second on each thread is more than any browser asks.
  std::chrono::milliseconds requestSpacing{20};
  // Then a connection is closed and the next client gets its turn.
  int maxRequestsPerConnection = 100;
  // A night's log is a few hundred kilobytes; an answer never holds more than this.
  std::size_t maxLogAnswerBytes = 16 * 1024 * 1024;
};

// What a stop asked for from the page came to.
enum class WebStop { stopping, alreadyStopping, nightOver };
// Asks the night to end through the park for the client at `who` (its
// address). Called on a server thread: it must neither block nor throw.
using WebStopAction = std::function<WebStop(const std::string& who)>;

class StatusServer {
 public:
  virtual ~StatusServer() = default;
  // The address served, with the port the system chose for port 0.
  virtual std::string url() const = 0;
  // The addresses to open it by (webUrls): for a server of every interface,
  // one per address of this computer, then loopback.
  virtual std::vector<std::string> urls() const = 0;
};

// Listens at once and serves until the result is destroyed. Throws a Fault
// (exit status 1) naming the address when it cannot listen, e.g. because the
// port is in use. `source` and `files` must outlive the server. The page
// offers the stop only with a token and a `stop`.
std::unique_ptr<StatusServer> startStatusServer(const WebSettings& settings, const WebSource& source, FileStore& files,
                                                const WebLimits& limits = {}, WebStopAction stop = {});

}  // namespace vantrel
