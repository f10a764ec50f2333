// End to end: the status server of the real binary while a real-clock night
// runs against vantrel-mountsim, read by a real browser that runs the page's
// script, and whose stop button a person presses.
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

// Headless Chromium driven over the DevTools protocol on a pipe (commands in on its descriptor 3,
// answers and events out on 4, each ending in a NUL), so that a test clicks as a person does and
// answers the page's confirm(). Every read is bounded; the browser's group is killed at the end.
struct DevTools {
  int in[2], out[2], id = 0;
  std::string session, pending, dialogs;  // the message of each dialog accepted, a line each
  std::unique_ptr<Child> browser;
  explicit DevTools(const ScratchDir& dir) {
    EXPECT_EQ(::pipe(in) | ::pipe(out), 0);
    browser = std::make_unique<Child>(
        std::vector<std::string>{"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                 "--user-data-dir=" + dir / "profile-devtools", "--remote-debugging-pipe"},
        dir.path, "/dev/null", dir / "devtools.err",
        [&] { dup2(fcntl(in[0], F_DUPFD, 10), 3), dup2(fcntl(out[1], F_DUPFD, 10), 4); });
  }
  ~DevTools() { ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]); }

  std::string send(const std::string& method, const std::string& params) {
    std::string tag = "{\"id\":" + std::to_string(++id), text = tag + ",\"method\":\"" + method + "\",\"params\":" +
                                                               params + (session.empty() ? "" : ",\"sessionId\":\"" + session + "\"") + "}";
    return ::write(in[1], text.c_str(), text.size() + 1) > 0 ? tag + "," : "none";
  }
  // The answer to a command, or empty after 20 s of silence.
  std::string call(const std::string& method, const std::string& params) {
    const std::string tag = send(method, params);
    for (std::smatch m;;) {
      std::string message = pending.substr(0, pending.find('\0'));
      if (message.size() == pending.size()) {
        char buffer[65536];
        pollfd p{out[0], POLLIN, 0};
        ssize_t n = ::poll(&p, 1, 20000) > 0 ? ::read(out[0], buffer, sizeof buffer) : 0;
        if (n <= 0) return "";
        pending.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      pending.erase(0, message.size() + 1);
      if (message.rfind(tag, 0) == 0) return message;
      if (std::regex_search(message, m, std::regex("DialogOpening.*\"message\":\"([^\"]*)")))
        dialogs += m[1].str() + "\n", send("Page.handleJavaScriptDialog", "{\"accept\":true}");
    }
  }
  // Attaches to a new page at `url`.
  void open(const std::string& url) {
    std::smatch m;
    std::string answer = call("Target.createTarget", "{\"url\":\"" + url + "\"}");
    ASSERT_TRUE(std::regex_search(answer, m, std::regex("\"targetId\":\"([^\"]+)"))) << answer;
    answer = call("Target.attachToTarget", "{\"flatten\":true,\"targetId\":\"" + m[1].str() + "\"}");
    ASSERT_TRUE(std::regex_search(answer, m, std::regex("\"sessionId\":\"([^\"]+)"))) << answer;
    session = m[1];
    call("Page.enable", "{}");
  }
  // The value of an expression in the page, as JSON.
  std::string evaluate(const std::string& expression) {
    std::smatch m;
    std::string answer = call("Runtime.evaluate", "{\"returnByValue\":true,\"expression\":\"" + expression + "\"}");
    return std::regex_search(answer, m, std::regex("\"value\":(.*)\\}\\},")) ? m[1].str() : answer;
  }
};

TEST_F(Vantrel, StatusServerFollowsTheNightInABrowser) {
  if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "no Chromium (Debian package chromium)";
  // Three targets of declination 20 above 10 degrees, observed one after the other.
  night.ini.dwellMinutes = 0.05;
  writeNight(night.line("W0  ", 20, 345, 10) + night.line("W1  ", 20, 333, 10) + night.line("W2  ", 20, 321, 10));
  writeFile(dir / "token", "s3cret-token-0123456789\n");
  startMountsim({"--rate", "30"});
  startWeb({"--console", "--web", "0", "--zone", "UTC+9", "--web-token", "token"});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 3; }, 60s)) << log() << err();
  const std::string page = "http://127.0.0.1:" + std::to_string(port) + "/", token = "?token=s3cret-token-0123456789";
  std::string dom = chromium(dir, page + token, "--dump-dom", "dom.html");
  std::smatch clock;
  ASSERT_TRUE(std::regex_search(dom, clock, std::regex("data-clock=\"([0-9:]{8} UTC\\+09:00)\""))) << dom;
  EXPECT_THAT(dom, HasSubstr("<p id=\"live\" class=\"\">live at " + clock[1].str() + "</p>")) << "refreshed";
  EXPECT_THAT(dom, MatchesRegex("(.|\n)*<h1 id=\"status\">[a-z][^<]* \\| 3/3 [^<]*</h1>(.|\n)*"));
  // The page cut off from the program (a file cannot fetch) speaks of its own status time.
  writeFile(dir / "cut-off.html", dom);
  EXPECT_THAT(chromium(dir, "file://" + dir / "cut-off.html", "--dump-dom", "lost.html"),
              HasSubstr(">no contact with vantrel since " + clock[1].str() + " ("));
  EXPECT_THAT(chromium(dir, page + "log.txt" + token, "--dump-dom", "log.html"), HasSubstr(records().back()));
  // A person presses the page's stop and confirms; the page says it is stopping (each text it shows is
  // kept) until the night has parked, and then keeps the ended night, its start-up warning and its summary.
  DevTools browser(dir);
  browser.open(page + token);
  ASSERT_TRUE(waitUntil([&] { return browser.evaluate("!!document.querySelector('#stop button')") == "true"; }, 30s));
  browser.evaluate("var notes=[],note=document.getElementById('stopnote');new MutationObserver(function(){"
                   "notes.push(note.textContent);}).observe(note,{childList:true});"
                   "document.querySelector('#stop button').click()");
  EXPECT_EQ(browser.dialogs, "Stop the night and park the mount now?\n");
  ASSERT_TRUE(waitUntil([&] { return err().find("the ended night stays at") != std::string::npos; }, 30s)) << err();
  EXPECT_THAT(out(), HasSubstr(" when stopped from the web page by 127.0.0.1; park"));
  EXPECT_EQ(records().back(), "B4000,0000") << log();
  dom = chromium(dir, page + token, "--dump-dom", "ended.html");
  EXPECT_THAT(dom, HasSubstr("<h1 id=\"status\">ended, mount parked | 3 of 3 targets observed; night ended "));
  EXPECT_THAT(dom, HasSubstr("<li>Warning: vantrel.ini line 6"));
  EXPECT_THAT(dom, MatchesRegex("(.|\n)*<li>3 of 3 targets observed; night ended [^<]* when stopped from the web "
                                "page by 127.0.0.1; park[^<]*</li>(.|\n)*"));
  std::string notes;
  EXPECT_TRUE(waitUntil([&] { return (notes = browser.evaluate("notes.join('|')")).ends_with("|\""); }, 20s));
  EXPECT_THAT(notes, MatchesRegex("\"(stopping: parking the mount\\|)+\""));
  vantrel->signal(SIGINT);
  EXPECT_EQ(vantrel->waitForExit(20s).value_or(-1), 0) << err();
}

// After a Ctrl-C the page keeps the ended night and its summary while the program lingers; another ends it.
TEST_F(Vantrel, TheEndedNightStaysOnThePageAfterACtrlC) {
  if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "no Chromium (Debian package chromium)";
  writeNight(night.line("W0  ", 20, 345, 10));
  startMountsim({"--rate", "30"});
  startWeb({"--console", "--web", "0"});
  ASSERT_TRUE(waitUntil([&] { return records().size() == 1; }, 60s)) << log() << err();
  vantrel->signal(SIGINT);
  ASSERT_TRUE(waitUntil([&] { return err().find("the ended night stays at") != std::string::npos; }, 30s)) << err();
  const std::string dom = chromium(dir, "http://127.0.0.1:" + std::to_string(port) + "/", "--dump-dom", "end.html");
  EXPECT_THAT(dom, MatchesRegex("(.|\n)*<li>1 of 1 targets observed; night ended [^<]* by a stop request; "
                                "park[^<]*</li>(.|\n)*"));
  EXPECT_THAT(dom, HasSubstr("<h1 id=\"status\">ended, mount parked | 1 of 1 targets observed; night ended "));
  vantrel->signal(SIGINT);
  EXPECT_EQ(vantrel->waitForExit(20s).value_or(-1), 0) << err();
}

}  // namespace
}  // namespace vantrel::e2e
