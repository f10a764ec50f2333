// The status server on cpp-httplib (Debian's libcpp-httplib-dev): a small,
// widely used HTTP/1.1 server that needs no event loop of its own, so it can
// run beside the night on plain threads. The library's request parser and
// response writer are used as they are; the connection loop is ours, so
// that every connection has a deadline, a byte budget and a bounded pool.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "platform/fault.h"
#include "platform/file_store.h"
#include "platform/host_addresses.h"
#include "web/http/http_connection.h"
#include "web/page_cache.h"
#include "web/status_server.h"
#include "web/web_access.h"
#include "web/web_source.h"

namespace vantrel {
namespace {

// The page may run its own inline script and style and talk to this server
// only: nothing is loaded from anywhere else, and no other site may frame it.
const char* const contentPolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

const char* const plainText = "text/plain; charset=utf-8";

// The key of the page's stop: new each time the server starts, 128 bits from
// the system's random source.
std::string newStopKey() {
  std::random_device random;
  std::string key;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
    key += part;
  }
  return key;
}

// Set by the routing of a request that the connection must not outlive,
// e.g. one with a body that will never be read.
thread_local bool closeAfterAnswer = false;
// Set by the routing of a request that passed the token check.
thread_local bool tokenShown = false;

class GuardedServer : public httplib::Server {
 public:
  GuardedServer(const WebSettings& settings, const WebSource& source, FileStore& files, const WebLimits& limits,
                WebStopAction stop)
      : settings_(settings),
        limits_(limits),
        source_(source),
        files_(files),
        stop_(std::move(stop)),
        stopKey_(settings.token.empty() || !stop_ ? "" : newStopKey()),
        places_(limits.maxClients) {
    new_task_queue = [this] { return new BoundedPool(limits_.maxClients); };
    set_keep_alive_timeout(std::max<time_t>(1, limits.keepAliveIdle.count() / 1000));
    set_keep_alive_max_count(static_cast<std::size_t>(limits.maxRequestsPerConnection));
    set_payload_max_length(0);
    // SO_REUSEADDR only: the library's default also sets SO_REUSEPORT, which
    // would let a second program share the port instead of being told it is taken.
    set_socket_options([](socket_t s) {
      int yes = 1;
      ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
      // The library would answer a Range header with one copy of the page
      // per range: thousands of copies for one short request. A page is
      // small, so every answer is the whole of it. The request is the
      // library's own non-const object, lent to this handler as const.
      const_cast<httplib::Request&>(req).ranges.clear();
      answer(req, res);
      return HandlerResponse::Handled;
    });
    // A request the library could not read (400, 414) leaves the stream at
    // an unknown place: nothing after it can be trusted to be a request.
    set_error_handler(HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
      if (res.status == 400 || res.status == 414) closeAfterAnswer = true;
      return HandlerResponse::Unhandled;
    }));
  }

  // The library listens with a queue of 5 connections. Clients that come
  // while every place is taken wait in that queue; when it is full the
  // system drops their connection requests, and they only try again a
  // second later. Listening again on the bound socket only widens the queue.
  void widenBacklog() { ::listen(svr_sock_, listenBacklog); }

 private:
  static constexpr int listenBacklog = 64;

  // Runs on a door thread: the first request of a connection. A connection
  // that showed the token goes on in one of the places kept for clients.
  bool process_and_close_socket(socket_t fd) override {
    try {
      // The library writes the head and the body of an answer separately; with
      // Nagle's algorithm the body would wait for the client's delayed
      // acknowledgement of the head, about 40 ms.
      int yes = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
      std::shared_ptr<ConnectionStream> stream;
      try {
        stream = std::make_shared<ConnectionStream>(fd, svr_sock_);
      } catch (...) {
        ::close(fd);
        throw;
      }
      int served = 0;
      if (serveOne(*stream, served) && tokenShown) {
        places_.enqueue([this, stream, served]() mutable {
          while (serveOne(*stream, served)) {
          }
        });
      }
    } catch (...) {
      // Whatever went wrong ends this connection only (its stream closes it).
    }
    return true;
  }

  // Serves the next request; true when the connection may carry another.
  bool serveOne(ConnectionStream& stream, int& served) {
    if (served >= limits_.maxRequestsPerConnection || !stream.awaitRequest(limits_.keepAliveIdle)) return false;
    // Each thread answers at the pace of the pages, not of its clients.
    thread_local std::chrono::steady_clock::time_point lastBegun{};
    std::this_thread::sleep_until(lastBegun + limits_.requestSpacing);
    auto now = std::chrono::steady_clock::now();
    lastBegun = now;
    stream.beginRequest(now + limits_.headTimeout, now + limits_.requestTimeout, limits_.maxRequestBytes);
    closeAfterAnswer = false;
    tokenShown = false;
    bool clientCloses = false;
    bool last = ++served == limits_.maxRequestsPerConnection;
    bool answered = process_request(stream, last, clientCloses, nullptr);
    return answered && !clientCloses && !closeAfterAnswer && !stream.broken() && !last;
  }

  void answer(const httplib::Request& req, httplib::Response& res) const {
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Accept-Ranges", "none");
    if (req.has_header("Content-Length") || req.has_header("Transfer-Encoding")) {
      closeAfterAnswer = true;
      res.set_header("Connection", "close");
    }
    WebRequest request{req.method, req.path, req.get_header_value("Authorization"), req.get_header_value("Cookie"),
                       std::nullopt, req.get_header_value(stopKeyHeader)};
    if (req.has_param("token")) request.queryToken = req.get_param_value("token");
    WebDecision decision = decideWebAccess(request, settings_.token, stopKey_);
    tokenShown = decision.status != 401 && decision.status != 405;
    res.status = decision.status;
    switch (decision.status) {
      case 200:
        if (decision.page == WebPage::stop) {
          stopTheNight(req.remote_addr, res);
        } else {
          serve(*decision.page, res);
        }
        return;
      case 303:
        res.set_header("Set-Cookie", decision.setCookie);
        res.set_header("Location", decision.location);
        return;
      case 401:
        // A refused connection ends here, on any address: a stranger's next
        // try comes through a door again, and holds it for headTimeout at most.
        closeAfterAnswer = true;
        res.set_header("WWW-Authenticate", "Bearer realm=\"vantrel\"");
        res.set_content("This status server needs its token: open the page once as /?token=TOKEN, "
                        "or send \"Authorization: Bearer TOKEN\".\n", "text/plain; charset=utf-8");
        return;
      case 403:
        res.set_content(decision.refusal + "\n", plainText);
        return;
      case 405:
        closeAfterAnswer = true;
        if (decision.page == WebPage::stop) {
          res.set_header("Allow", "POST");
          res.set_content("The stop is asked for with POST, by the page's button.\n", plainText);
          return;
        }
        res.set_header("Allow", "GET, HEAD");
        res.set_content("This status server is read-only but for the page's stop: only GET and HEAD.\n", plainText);
        return;
      default:
        res.set_content("No such page. The pages are /, /status.json, /log.txt and /plan.json.\n",
                        "text/plain; charset=utf-8");
        return;
    }
  }

  // The one request that acts: the night's own stop, as a first Ctrl-C
  // would ask for it; a later press changes nothing more.
  void stopTheNight(const std::string& who, httplib::Response& res) const {
    switch (stop_(who)) {
      case WebStop::stopping:
        res.set_content("stopping: parking the mount\n", plainText);
        return;
      case WebStop::alreadyStopping:
        res.status = 409;
        res.set_content("The night is already stopping: the mount is being parked; nothing more was done.\n",
                        plainText);
        return;
      case WebStop::nightOver:
        res.status = 409;
        res.set_content("The night is over: there is nothing to stop.\n", plainText);
        return;
    }
  }

  void serve(WebPage page, httplib::Response& res) const {
    switch (page) {
      case WebPage::index:
        res.set_header("Content-Security-Policy", contentPolicy);
        res.set_content(pages_.page(page), "text/html; charset=utf-8");
        return;
      case WebPage::statusJson:
      case WebPage::planJson:
        res.set_content(pages_.page(page), "application/json");
        return;
      case WebPage::logText:
        serveLog(source_.snapshot().logFileName, res);
        return;
      case WebPage::stop:
        return;
    }
  }

  // The log is read by the name the program gave it; nothing of the request
  // takes part in naming a file. A log beyond the answer's bound is answered
  // with its last whole lines.
  void serveLog(const std::string& name, httplib::Response& res) const {
    try {
      // A missing log and an empty one both hold no record yet.
      std::string log;
      if (!name.empty()) log = files_.tail(name, limits_.maxLogAnswerBytes + 1);
      if (log.empty()) {
        res.status = 404;
        res.set_content("No log yet: the night creates it after the start-up delay.\n", "text/plain; charset=utf-8");
        return;
      }
      if (log.size() > limits_.maxLogAnswerBytes) {
        std::size_t lineEnd = log.find('\n', log.size() - limits_.maxLogAnswerBytes - 1);
        log.erase(0, lineEnd == std::string::npos ? log.size() : lineEnd + 1);
      }
      res.set_content(std::move(log), "text/plain; charset=utf-8");
    } catch (const Fault& fault) {
      res.status = 500;
      res.set_content(std::string(fault.what()) + "\n", "text/plain; charset=utf-8");
    }
  }

  const WebSettings settings_;
  const WebLimits limits_;
  const WebSource& source_;
  FileStore& files_;
  const WebStopAction stop_;
  const std::string stopKey_;  // empty: the page offers no stop
  mutable PageCache pages_{source_, stopKey_};
  // The places of clients that showed the token. Destroyed after the server
  // has stopped and closed its doors, so its connections end at once.
  BoundedPool places_;
};

class HttplibStatusServer : public StatusServer {
 public:
  HttplibStatusServer(const WebSettings& settings, const WebSource& source, FileStore& files, const WebLimits& limits,
                      WebStopAction stop)
      : server_(settings, source, files, limits, std::move(stop)), host_(settings.host), port_(settings.port) {
    errno = 0;
    if (port_ == 0) {
      port_ = server_.bind_to_any_port(host_);
      if (port_ < 0) failToListen(errno);
    } else if (!server_.bind_to_port(host_, port_)) {
      failToListen(errno);
    }
    server_.widenBacklog();
    // The server's threads leave the stop signals to the night.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    thread_ = std::thread([this] {
      lowerThreadPriority();
      try {
        server_.listen_after_bind();
      } catch (...) {
        // No memory for one more connection, or the like: the status pages
        // stop, the night does not.
      }
    });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // stop() only stops a server that runs: wait until it does (it starts at
    // once; the bound only keeps a broken start from hanging the program).
    for (int ms = 0; ms < 5000 && !server_.is_running(); ++ms) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ~HttplibStatusServer() override {
    server_.stop();
    thread_.join();
  }

  std::string url() const override { return webUrl(host_, port_); }
  std::vector<std::string> urls() const override { return webUrls(host_, port_, hostIPv4Addresses()); }

 private:
  [[noreturn]] void failToListen(int error) const {
    std::string where = host_ + " port " + std::to_string(port_);
    if (error == EADDRINUSE) {
      throw Fault("--web: cannot serve at " + where + ": the port is in use by another program; "
                  "choose another port with --web");
    }
    throw Fault("--web: cannot serve at " + where + ": " +
                (error != 0 ? std::strerror(error) : "the address cannot be resolved or bound"));
  }

  GuardedServer server_;
  std::string host_;
  int port_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<StatusServer> startStatusServer(const WebSettings& settings, const WebSource& source, FileStore& files,
                                                const WebLimits& limits, WebStopAction stop) {
  return std::make_unique<HttplibStatusServer>(settings, source, files, limits, std::move(stop));
}

}  // namespace vantrel
