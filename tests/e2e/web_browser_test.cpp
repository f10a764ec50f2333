// A real browser on the status page: headless Chromium loads it while a
// real-clock night runs, runs its script, and draws the chart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "e2e/vantrel_fixture.h"
#include "support/http_client.h"

namespace vantrel::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

const char* const chromiumBinary = "/usr/bin/chromium";

class Browser : public WebNight {
 protected:
  // Runs Chromium on the page with a fresh profile, bounded in time; its
  // standard output goes to `outName`.
  int chromium(std::vector<std::string> args, const std::string& outName) {
    std::vector<std::string> argv = {chromiumBinary, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                     "--no-first-run", "--disable-background-networking",
                                     "--disable-component-update", "--disable-sync",
                                     "--user-data-dir=" + dir / ("profile-" + outName), "--window-size=800,1100"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back("http://127.0.0.1:" + std::to_string(port) + "/");
    Child browser(argv, dir.path, dir / outName, dir / (outName + ".err"));
    return browser.waitForExit(90s).value_or(-1);  // the destructor kills it by its id when late
  }
};

TEST_F(Browser, ShowsTheStatusAndTheChart) {
  if (access(chromiumBinary, X_OK) != 0) GTEST_SKIP() << "no " << chromiumBinary << " (Debian package chromium)";
  prepareNight(2, 0.5);
  startVantrel({"--console", "--web", "0"});
  ASSERT_TRUE(waitUntil([&] { return log().find("W0 ") != std::string::npos; }, 30s)) << err();

  // The virtual time lets the page's script run its first refresh.
  ASSERT_EQ(chromium({"--virtual-time-budget=5000", "--dump-dom"}, "dom.html"), 0) << readFile(dir / "dom.html.err");
  std::string dom = readFile(dir / "dom.html");
  EXPECT_THAT(dom, HasSubstr("<p id=\"live\" class=\"\">live, updated ")) << "the script ran and refreshed";
  std::smatch status;
  ASSERT_TRUE(std::regex_search(dom, status, std::regex("<h1 id=\"status\">([^<]*)</h1>"))) << dom;
  EXPECT_THAT(status[1].str(), HasSubstr("observing W0 target (row 1) "));
  const std::regex dot("<circle class=\"(free|observed)\"");
  std::ptrdiff_t dots = std::distance(std::sregex_iterator(dom.begin(), dom.end(), dot), std::sregex_iterator());
  EXPECT_EQ(dots, 2) << "one dot per target above the horizon";
  EXPECT_THAT(dom, HasSubstr("<circle class=\"current\""));

  ASSERT_EQ(chromium({"--virtual-time-budget=3000", "--screenshot=" + dir / "page.png"}, "shot"), 0)
      << readFile(dir / "shot.err");
  std::string png = readFile(dir / "page.png");
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_GT(png.size(), 10000u) << "a page with a chart, not a blank one";
  if (const char* keep = std::getenv("VANTREL_KEEP_SCREENSHOT")) writeFile(keep, png);
}

}  // namespace
}  // namespace vantrel::e2e
