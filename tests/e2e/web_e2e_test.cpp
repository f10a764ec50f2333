// End to end: the status server of the real binary while a real-clock night
// runs against vantrel-mountsim, read by a real browser that runs the page's
// script.
#include <poll.h>

#include "e2e/vantrel_fixture.h"

namespace vantrel::e2e {
namespace {

// Headless Chromium on a page with a fresh profile, bounded in time (killed by its id when late).
std::string chromium(const ScratchDir& dir, const std::string& page, const std::string& what, const std::string& out) {
  Child browser({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + dir / ("profile-" + out), "--window-size=800,1100", "--virtual-time-budget=5000",
                 what, page},
                dir.path, dir / out, dir / (out + ".err"));
  EXPECT_EQ(browser.waitForExit(90s).value_or(-1), 0) << readFile(dir / (out + ".err"));
  return readFile(dir / out);
}

TEST_F(Vantrel, StatusServerFollowsTheNightInABrowser) {
  if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "no Chromium (Debian package chromium)";
  // Three targets of declination 20 above 10 degrees, observed one after the other.
  night.ini.dwellMinutes = 0.05;
  writeNight(night.line("W0  ", 20, 345, 10) + night.line("W1  ", 20, 333, 10) + night.line("W2  ", 20, 321, 10));
  startMountsim({"--rate", "30"});
  startWeb({"--console", "--web", "0", "--zone", "UTC+9"});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 3; }, 60s)) << log() << err();
  const std::string page = "http://127.0.0.1:" + std::to_string(port) + "/";
  std::string dom = chromium(dir, page, "--dump-dom", "dom.html");
  std::smatch clock;
  ASSERT_TRUE(std::regex_search(dom, clock, std::regex("data-clock=\"([0-9:]{8} UTC\\+09:00)\""))) << dom;
  EXPECT_THAT(dom, HasSubstr("<p id=\"live\" class=\"\">live at " + clock[1].str() + "</p>")) << "refreshed";
  EXPECT_THAT(dom, MatchesRegex("(.|\n)*<h1 id=\"status\">[a-z][^<]* \\| 3/3 [^<]*</h1>(.|\n)*"));
  // The page cut off from the program (a file cannot fetch) speaks of its own status time.
  writeFile(dir / "cut-off.html", dom);
  EXPECT_THAT(chromium(dir, "file://" + dir / "cut-off.html", "--dump-dom", "lost.html"),
              HasSubstr(">no contact with vantrel since " + clock[1].str() + " ("));
  EXPECT_THAT(chromium(dir, page + "log.txt", "--dump-dom", "log.html"), HasSubstr(records().back()));
  // After a Ctrl-C the page keeps the ended night, its start-up warning and its summary; another ends it.
  vantrel->signal(SIGINT);
  ASSERT_TRUE(waitUntil([&] { return err().find("the ended night stays at") != std::string::npos; }, 30s)) << err();
  dom = chromium(dir, page, "--dump-dom", "ended.html");
  EXPECT_THAT(dom, HasSubstr("<h1 id=\"status\">ended, mount parked | 3 of 3 targets observed; night ended "));
  EXPECT_THAT(dom, HasSubstr("<li>Warning: vantrel.ini line 6"));
  EXPECT_THAT(dom, MatchesRegex("(.|\n)*<li>3 of 3 targets observed; night ended [^<]* by a stop request; park[^<]*</li>(.|\n)*"));
  vantrel->signal(SIGINT);
  EXPECT_EQ(vantrel->waitForExit(20s).value_or(-1), 0) << err();
}

// Headless Chromium driven over the DevTools protocol on a pipe (it reads commands on its descriptor 3
// and writes answers and events on 4, each ending in a NUL), so that a test clicks like a person and
// answers the page's confirm(). Every read is bounded; the browser's group is killed at the end.
class DevTools {
 public:
  explicit DevTools(const ScratchDir& dir) {
    int commands[2], answers[2];
    if (::pipe(commands) != 0 || ::pipe(answers) != 0 || (pid_ = fork()) < 0) return;
    if (pid_ == 0) {
      setpgid(0, 0);
      int in = fcntl(commands[0], F_DUPFD, 10), out = fcntl(answers[1], F_DUPFD, 10);
      dup2(in, 3), dup2(out, 4), dup2(open("/dev/null", O_RDWR), 0), dup2(0, 1);
      dup2(open((dir / "devtools.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      execl("/usr/bin/chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            ("--user-data-dir=" + dir / "profile-devtools").c_str(), "--remote-debugging-pipe", "about:blank", nullptr);
      _exit(127);
    }
    ::close(commands[0]), ::close(answers[1]);
    to_ = commands[1], from_ = answers[0];
  }
  ~DevTools() {
    ::close(to_), ::close(from_);
    if (pid_ > 0) kill(-pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }

  // The answer to one command (empty after 20 s without it). A dialog that opens meanwhile is
  // accepted, and its message kept.
  std::string call(const std::string& method, const std::string& params) {
    const std::string id = std::to_string(++lastId_);
    send("{\"id\":" + id + (session_.empty() ? "" : ",\"sessionId\":\"" + session_ + "\"") + ",\"method\":\"" + method +
         "\",\"params\":" + params + "}");
    for (std::string message; !(message = next()).empty();) {
      if (message.rfind("{\"id\":" + id + ",", 0) == 0) return message;
      std::smatch dialog;
      if (!std::regex_search(message, dialog, std::regex("javascriptDialogOpening.*\"message\":\"([^\"]*)"))) continue;
      dialogs += dialog[1].str() + "\n";
      send("{\"id\":" + std::to_string(++lastId_) + ",\"sessionId\":\"" + session_ +
           "\",\"method\":\"Page.handleJavaScriptDialog\",\"params\":{\"accept\":true}}");
    }
    return "";
  }
  // A fresh page that later calls go to.
  void openPage(const std::string& url) {
    std::smatch m;
    std::string target = call("Target.createTarget", "{\"url\":\"about:blank\"}");
    ASSERT_TRUE(std::regex_search(target, m, std::regex("\"targetId\":\"([^\"]+)"))) << target;
    std::string attached = call("Target.attachToTarget", "{\"targetId\":\"" + m[1].str() + "\",\"flatten\":true}");
    ASSERT_TRUE(std::regex_search(attached, m, std::regex("\"sessionId\":\"([^\"]+)"))) << attached;
    session_ = m[1];
    call("Page.enable", "{}");
    call("Page.navigate", "{\"url\":\"" + url + "\"}");
  }
  // The value of a script's expression in the page, as JSON.
  std::string evaluate(const std::string& expression) {
    std::string answer = call("Runtime.evaluate", "{\"expression\":\"" + expression + "\",\"returnByValue\":true}");
    std::smatch m;
    return std::regex_search(answer, m, std::regex("\"value\":(.*)\\}\\},")) ? m[1].str() : answer;
  }

  std::string dialogs;  // the message of each dialog accepted

 private:
  void send(const std::string& message) { (void)!::write(to_, message.c_str(), message.size() + 1); }
  std::string next() {
    std::size_t end;
    for (char buffer[65536]; (end = pending_.find('\0')) == std::string::npos;) {
      pollfd p{from_, POLLIN, 0};
      ssize_t n = ::poll(&p, 1, 20000) > 0 ? ::read(from_, buffer, sizeof buffer) : 0;
      if (n <= 0) return "";
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string message = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return message;
  }

  pid_t pid_ = -1;
  int to_ = -1, from_ = -1, lastId_ = 0;
  std::string session_, pending_;
};

TEST_F(Vantrel, StopButtonOfThePageParksTheNight) {
  if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "no Chromium (Debian package chromium)";
  night.ini.dwellMinutes = 5;
  writeNight(night.line("W0  ", 20, 345, 10));
  writeFile(dir / "token", "s3cret-token-0123456789\n");
  startMountsim({"--rate", "30"});
  startWeb({"--console", "--web", "0", "--web-token", "token"});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 1; }, 60s)) << log() << err();
  DevTools browser(dir);
  browser.openPage("http://127.0.0.1:" + std::to_string(port) + "/?token=s3cret-token-0123456789");
  ASSERT_TRUE(waitUntil([&] { return browser.evaluate("!!document.querySelector('#stop button')") == "true"; }, 30s))
      << readFile(dir / "devtools.err");
  // What the page says while it stops, as it changes; then the click, confirmed.
  browser.evaluate("var notes=[],note=document.getElementById('stopnote');new MutationObserver(function(){"
                   "if(notes[notes.length-1]!==note.textContent)notes.push(note.textContent);}).observe(note,{childList:true});"
                   "document.querySelector('#stop button').click()");
  EXPECT_EQ(browser.dialogs, "Stop the night and park the mount now?\n");
  const std::string summary = "when stopped from the web page by 127.0.0.1; park";
  ASSERT_TRUE(waitUntil([&] { return out().find(summary) != std::string::npos; }, 30s)) << out() << err();
  EXPECT_EQ(records().back(), "B4000,0000") << log();
  EXPECT_TRUE(waitUntil([&] { return browser.evaluate("document.getElementById('status').textContent").find(summary) !=
                                     std::string::npos; }, 20s));
  EXPECT_EQ(browser.evaluate("notes.join('|')"), "\"stopping: parking the mount|\"");
  EXPECT_EQ(browser.evaluate("!!document.querySelector('#stop button')"), "false") << "no button once it has ended";
  vantrel->signal(SIGINT);
  EXPECT_EQ(vantrel->waitForExit(20s).value_or(-1), 0) << err();
}

}  // namespace
}  // namespace vantrel::e2e
