// The pages made from a snapshot: valid text whatever the names hold, and
// a chart with every dot where the sky puts it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "web/json_text.h"
#include "web/web_pages.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Each row: the text, then as a JSON string and as HTML text.
TEST(PageText, IsEscaped) {
  // The first and last characters of each length of sequence.
  const std::string edges = "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"
                            "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  const struct {
    std::string in, json, html;
  } cases[] = {
      {edges, "\"" + edges + "\"", edges},
      {"M42 Orion", "\"M42 Orion\"", "M42 Orion"},
      {"a\"b\\c'd", "\"a\\\"b\\\\c'd\"", "a&quot;b\\c&#39;d"},
      {"<script>&", "\"<script>&\"", "&lt;script&gt;&amp;"},
      {"a\r\nb\tc", "\"a\\r\\nb\\tc\"", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c"},
      {std::string("\x01\x1b\x7f\0", 4), "\"\\u0001\\u001b\\u007f\\u0000\"",
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xE3\x82\xAA\xE0\xA4\x85 \xF0\x9F\x94\xAD", "\"\xE3\x82\xAA\xE0\xA4\x85 \xF0\x9F\x94\xAD\"",  // UTF-8 kept
       "\xE3\x82\xAA\xE0\xA4\x85 \xF0\x9F\x94\xAD"},
      {"20\xC2\xB0 \xC2\xB1" "1", "\"20\xC2\xB0 \xC2\xB1" "1\"", "20\xC2\xB0 \xC2\xB1" "1"},  // U+0080-U+00BF kept
      {"M\x83\x49", "\"M\xEF\xBF\xBDI\"", "M\xEF\xBF\xBDI"},  // a Shift_JIS byte
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"",  // a surrogate
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"ab\xE3\x82", "\"ab\xEF\xBF\xBD\xEF\xBF\xBD\"", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},  // cut sequence
  };
  for (const auto& c : cases) {
    EXPECT_EQ(jsonString(c.in), c.json);
    EXPECT_EQ(htmlText(c.in), c.html);
  }
}

TEST(PageNumbers, ShortestExactOrNull) {
  const struct { double value; const char* json; } cases[] = {
      {30, "30"}, {-25.6, "-25.6"}, {0.1 + 0.2, "0.30000000000000004"}, {275.6f, "275.6000061035156"},
      {1.0 / 0.0, "null"}, {0.0 / 0.0, "null"}};
  for (const auto& c : cases) EXPECT_EQ(jsonNumber(c.value), c.json);
}

// (x, y) of every dot of the chart, in the order drawn.
std::vector<std::pair<std::string, std::string>> dots(const std::string& svg, const char* cls) {
  std::vector<std::pair<std::string, std::string>> found;
  std::regex dot(std::string("<circle class=\"") + cls + "\" cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\"");
  for (std::sregex_iterator it(svg.begin(), svg.end(), dot), end; it != end; ++it) {
    found.emplace_back((*it)[1], (*it)[2]);
  }
  return found;
}

SkyView sampleSky() {
  SkyView sky;
  sky.points = {{0.0f, 0.0, false},     // south on the horizon: straight down
                {90.0f, 45.0, true},    // west, half way up: right
                {180.0f, 90.0, false},  // the zenith: the middle
                {270.0f, 30.0, false},  // east at 30: left, on the 30-degree ring
                {300.0f, -5.0, false},  // below the horizon: not drawn
                {45.0f, 91.0, false}};  // no such altitude: not drawn
  sky.chosenIndex = 3;
  sky.minAltitude = 30;
  sky.timeText = "23:41:07";
  return sky;
}

TEST(SkyChart, PutsEachDotWhereTheSkyIs) {
  std::string svg = skySvg(sampleSky());
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(dots(svg, "free"), (std::vector<P>{{"0.00", "100.00"}, {"0.00", "0.00"}, {"-66.67", "0.00"}}));
  EXPECT_EQ(dots(svg, "observed"), (std::vector<P>{{"50.00", "0.00"}}));
  EXPECT_EQ(dots(svg, "current"), (std::vector<P>{{"-66.67", "0.00"}})) << "the current row is ringed";
  // The choosing sector: from due east to 7.5 degrees short of south, out to 30 degrees.
  EXPECT_THAT(svg, HasSubstr("<path class=\"window\" d=\"M0 0L-66.67 0.00A66.67 66.67 0 0 0 -8.70 66.10Z\"/>"));
  EXPECT_THAT(svg, HasSubstr(">23:41:07</text>"));
  SkyView horizon = sampleSky();
  horizon.minAltitude = -90;
  EXPECT_THAT(skySvg(horizon), HasSubstr("d=\"M0 0L-100.00 0.00A100.00 100.00 0 0 0 -13.05 99.14Z\""))
      << "the sector stops at the horizon";
}

TEST(SkyChart, MarksTheMountWhereItReported) {
  NightStatus mount;
  EXPECT_THAT(skySvg(sampleSky(), &mount), Not(HasSubstr("class=\"mount\""))) << "no reply yet";
  mount.reported = true;
  mount.mountAzDeg = 90;
  mount.mountAltDeg = 45;
  EXPECT_THAT(skySvg(sampleSky(), &mount), HasSubstr("<path class=\"mount\" d=\"M46.00 0.00h8M50.00 -4.00v8\"/>"));
  mount.mountAltDeg = -1;
  EXPECT_THAT(skySvg(sampleSky(), &mount), Not(HasSubstr("class=\"mount\""))) << "below the horizon";
}

WebSnapshot sampleSnapshot() {
  WebSnapshot s;
  s.version = 7;
  s.title = "Vantrel v1.10 M42 <Orion>";
  s.lines = {"2026-12-06 23:41:07 AL=...", "RD Limit, over : < 80.1 >"};
  s.sky = sampleSky();
  s.hasSky = true;
  return s;
}

TEST(StatusJson, CarriesTheSnapshot) {
  std::string json = statusJson(sampleSnapshot());
  EXPECT_THAT(json, HasSubstr("\"version\":7,\"title\":\"Vantrel v1.10 M42 <Orion>\""));
  EXPECT_THAT(json, HasSubstr("\"status\":\"Vantrel v1.10 M42 <Orion> | RD Limit, over : < 80.1 >\""));
  EXPECT_THAT(json, HasSubstr("\"observed\":1,\"targets\":6"));
  EXPECT_THAT(json, HasSubstr("\"records\":[\"2026-12-06 23:41:07 AL=...\",\"RD Limit, over : < 80.1 >\"]"));
  EXPECT_THAT(json, HasSubstr("\"current\":4,"));
  EXPECT_THAT(json, HasSubstr("{\"az\":90,\"alt\":45,\"observed\":true}"));
  WebSnapshot empty;
  EXPECT_THAT(statusJson(empty), HasSubstr("\"records\":[],\"sky\":null}"));
}

TEST(IndexPage, IsSelfContainedAndEscaped) {
  std::string html = indexHtml(sampleSnapshot());
  EXPECT_THAT(html, HasSubstr("<h1 id=\"status\">Vantrel v1.10 M42 &lt;Orion&gt; | RD Limit"));
  EXPECT_THAT(html, HasSubstr("<li>RD Limit, over : &lt; 80.1 &gt;</li>"));
  EXPECT_THAT(html, HasSubstr("setTimeout(poll,2000)"));
  EXPECT_EQ(dots(html, "free").size(), 3u);
  for (const char* outside : {"http:", "https:", "src=", "href=", "@import", "url("}) {
    EXPECT_THAT(html, Not(HasSubstr(outside))) << "loads nothing from elsewhere";
  }
}

TEST(StatusJson, CarriesTheNightsStatus) {
  WebSnapshot s = sampleSnapshot();
  s.hasStatus = true;
  s.status.phase = NightPhase::observing;
  s.status.nowSeconds = civilSeconds("2026-12-06", "23:45:07");
  s.status.row = 12;
  s.status.targetName = "M42 0532.9 -0525.0 Orion";
  s.status.dwellElapsedSeconds = 250;
  s.status.dwellTotalSeconds = 600;
  s.status.reported = true;
  s.status.reportedDecDeg = -5.25;
  s.status.reportedAtSeconds = s.status.nowSeconds - 1;
  s.status.observedCount = 14;
  s.status.targetCount = 56;
  s.status.nightEndText = "05:00";
  s.status.next = NextGoto{true, false, civilSeconds("2026-12-06", "23:55:08"), 13, "M43 0533.0 -0518.0 x"};
  std::string json = statusJson(s);
  EXPECT_THAT(json, HasSubstr("\"observed\":14,\"targets\":56,\"phase\":\"observing\",\"now\":\"23:45:07\""));
  EXPECT_THAT(json, HasSubstr("\"row\":12,\"target\":\"M42 0532.9 -0525.0 Orion\",\"dwellElapsedSeconds\":250,"
                              "\"dwellTotalSeconds\":600,\"reported\":{\"decDeg\":-5.25,\"ageSeconds\":1,"));
  EXPECT_THAT(json, HasSubstr("\"nightEnds\":\"05:00\",\"parked\":false,\"next\":{\"nightEndsFirst\":false,"
                              "\"at\":\"23:55:08\",\"row\":13,\"target\":\"M43 0533.0 -0518.0 x\"}"));
  EXPECT_THAT(json, HasSubstr("\"status\":" + jsonString(statusLine(s.status))));
  s.status.next = NextGoto{true, true, civilSeconds("2026-12-07", "05:01:00"), 0, ""};
  s.status.row = 0;
  EXPECT_THAT(statusJson(s), HasSubstr("\"row\":null,\"target\":null,"));
  EXPECT_THAT(statusJson(s), HasSubstr("\"next\":{\"nightEndsFirst\":true,\"at\":\"05:01:00\"}"));
  EXPECT_EQ(planJson(s), "{\"plan\":null}\n");
}

}  // namespace
}  // namespace vantrel
