// End to end: the status server of the real binary while a real-clock night
// runs against vantrel-mountsim, read by a real browser that runs the page's
// script.
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

}  // namespace
}  // namespace vantrel::e2e
