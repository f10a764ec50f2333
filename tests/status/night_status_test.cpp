// The status of a night as the views see it: through a rehearsed night of the
// examples, and the texts it is shown with.
#include "status/night_status.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "night/form1.h"
#include "platform/simulated_mount.h"
#include "platform/stop_request.h"
#include "support/night_files.h"

namespace vantrel::testing {
namespace {

using ::testing::HasSubstr;

// Every status a night of the examples published, in order, with the look-ahead on.
struct WatchedNight {
  MemoryFileStore files = examplesStore();
  std::vector<NightStatus> published;
  NightOutcome outcome;
  explicit WatchedNight(const char* start) {
    SimulatedClock clock(civil(start));
    SimulatedMount mount;
    RecordingWindow window;
    StopRequest stop;
    StatusBoard board;
    board.setListener([this](const NightStatus& s) { published.push_back(s); });
    NightOptions options;
    options.statusBoard = &board;
    options.lookAhead = true;
    outcome = Form1(NightSeams{clock, mount, window, files, stop}, options).Form_Load();
  }
};

TEST(NightStatus, ThroughARehearsedNightOfTheExamples) {
  WatchedNight night("2026-12-06T18:00");
  ASSERT_EQ(night.outcome.end, NightEnd::clock);
  std::string phases;  // one letter a phase change: S start-up, C choosing, O observing, W waiting, P parking, E ended
  std::vector<NightStatus> changes;  // the first status of every change of phase or row
  int previousRow = -1, previousElapsed = 0;
  for (const NightStatus& s : night.published) {
    const char letter = "sSCOWPEF"[static_cast<int>(s.phase)];
    if (phases.empty() || phases.back() != letter) phases += letter;
    if (changes.empty() || changes.back().phase != s.phase || changes.back().row != s.row) changes.push_back(s);
    EXPECT_EQ(s.nightEndText, "05:01");
    EXPECT_TRUE(s.phase == NightPhase::startupWait || s.targetCount == 56) << statusLine(s);
    if (s.phase != NightPhase::observing) continue;
    // The dwell counts up one second at a time to its whole length, on a mount that stands on
    // its target: chosen above 30 degrees in the window, it moves less than 3 degrees in a dwell.
    EXPECT_EQ(s.dwellElapsedSeconds, s.row != previousRow ? 0 : previousElapsed + 1) << "row " << s.row;
    EXPECT_TRUE(s.row == previousRow || previousRow < 0 || previousElapsed == 600) << "row " << previousRow;
    EXPECT_EQ(s.dwellTotalSeconds, 600);
    EXPECT_TRUE(s.dwellElapsedSeconds == 0 || (s.mountAltDeg > 27 && s.mountAzDeg > 265 && s.mountAzDeg < 356))
        << "row " << s.row << " alt " << s.mountAltDeg << " az " << s.mountAzDeg;
    previousRow = s.row, previousElapsed = s.dwellElapsedSeconds;
  }
  EXPECT_THAT(phases, ::testing::MatchesRegex("S(C[OW]|O)+C?PE"));
  EXPECT_THAT(phases, HasSubstr("WO")) << "the examples wait for a target at times";
  int observing = 0;
  for (auto s = changes.begin(); s != changes.end(); ++s) {
    if (s->phase != NightPhase::observing && s->phase != NightPhase::waitingForTarget) continue;
    ++observing;
    // What comes next is the next observation that happens, or the end.
    auto then = std::find_if(s + 1, changes.end(), [&](const NightStatus& n) {
      return (n.phase == NightPhase::observing && (n.row != s->row || s->phase != NightPhase::observing)) ||
             n.phase == NightPhase::parking;
    });
    ASSERT_TRUE(then != changes.end() && s->next.known) << statusLine(*s);
    EXPECT_EQ(s->next.nightEndsFirst, then->phase == NightPhase::parking) << statusLine(*s);
    EXPECT_EQ(s->next.atSeconds, then->nowSeconds) << statusLine(*s);
    if (then->phase == NightPhase::parking) continue;
    EXPECT_EQ(s->next.row, then->row) << statusLine(*s);
    if (s->phase == NightPhase::waitingForTarget) {
      EXPECT_THAT(statusLine(*s), HasSubstr("until " + clockText(then->nowSeconds).substr(0, 5)));
    }
  }
  EXPECT_GT(observing, 40);
  EXPECT_TRUE(night.published.back().phase == NightPhase::ended && night.published.back().parked);
  EXPECT_EQ(night.published.back().observedCount, night.outcome.observedCount);
}

// A start-up delay across midnight names the log after the new day: the
// status tells the views which file that is, nobody has to guess it.
TEST(NightStatus, NamesTheLogTheNightCreated) {
  WatchedNight night("2026-12-06T23:59:58");
  EXPECT_EQ(night.published.front().logFileName + "|" + night.published.back().logFileName, "|log2026-12-07.txt");
  EXPECT_EQ(night.files.files.count("log2026-12-07.txt") + 2 * night.files.files.count("log2026-12-06.txt"), 1u);
}

TEST(NightStatus, LinesOfEachPhase) {
  NightStatus s;
  s.phase = NightPhase::observing;
  s.row = 12;
  s.targetName = "M42 0532.9 -0525.0 Orion Nebula, cross of five 010111010";
  s.dwellElapsedSeconds = 250;
  s.dwellTotalSeconds = 600;
  s.reported = true;
  s.reportedDecDeg = 5.3;
  s.nowSeconds = s.reportedAtSeconds = 1000;
  s.observedCount = 14;
  s.targetCount = 56;
  s.next = NextGoto{true, false, civilSeconds("2026-12-06", "23:41:00"), 13, "M43 0533.0 -0518.0 De Mairan 000010000"};
  s.nightEndText = "05:01";
  EXPECT_EQ(statusLine(s), "observing M42 Orion Nebula, cross of f… (row 12) 4:10 of 10:00 | Dec +05.3 | 14/56 | "
                           "next M43 De Mairan at 23:41 | night ends 05:01");
  s.reportedAtSeconds = 1000 - 75;
  EXPECT_THAT(statusLine(s), HasSubstr("Dec +05.3 (1:15 ago)"));
  s.phase = NightPhase::waitingForTarget;
  s.nowSeconds = civilSeconds("2026-12-06", "23:38:30");
  s.reportedAtSeconds = s.nowSeconds - 4513;
  EXPECT_EQ(statusLine(s), "waiting: no target in the window until 23:41 (in 2:30), then M43 De Mairan | "
                           "Dec +05.3 (1:15:13 ago) | 14/56 | night ends 05:01");
  s.next.nightEndsFirst = true;
  EXPECT_THAT(statusLine(s), HasSubstr("no further target tonight"));
  s.phase = NightPhase::ended;
  s.parked = true;
  EXPECT_EQ(statusLine(s), "ended, mount parked");
  // A long name in UTF-8 is cut between characters, never inside one.
  const std::string orion = "\xE3\x82\xAA\xE3\x83\xAA\xE3\x82\xAA\xE3\x83\xB3";  // four characters
  const std::string six = orion + orion + orion + orion + orion + orion;
  EXPECT_EQ(targetLabel("M42 0532.9 -0525.0 " + six + orion + " 010111010"), "M42 " + six + "…");
  EXPECT_EQ(targetLabel("NGC 0629.7 +0454.0 NGC 2244, Rosette 010010010"), "NGC 2244, Rosette");
}

TEST(NightStatus, CivilSecondsAndBadTexts) {
  EXPECT_EQ(civilSeconds("1970-01-02", "00:00:01"), 86401);
  EXPECT_EQ(clockText(civilSeconds("2026-12-06", "23:41:05")), "23:41:05");
  for (auto [date, time] : {std::pair{"2026-02-30", "00:00:00"}, {"2026-12-06", "2x:00:00"}, {"2026-12-6", "00:00:00"}})
    EXPECT_EQ(civilSeconds(date, time), -1) << date << " " << time;
  EXPECT_EQ(durationText(3725) + " " + durationText(3600) + " " + durationText(59), "1:02:05 1:00:00 0:59");
}

// A value whose copy a reader can be held in, as a server thread is when the system preempts it there.
std::atomic<bool> readerInside{false}, holdReader{true};
struct Held {
  std::string text = "0";
  Held() = default;
  explicit Held(int v) : text(std::to_string(v)) {}
  Held(const Held& other) {
    readerInside = true;
    while (holdReader) std::this_thread::yield();
    text = other.text;
  }
  Held& operator=(const Held&) = default;
};

// The night publishes while a reader is held inside its copy: it never
// waits for it, and the reader still gets the whole value it began with.
TEST(SnapshotCell, PublishingNeverWaitsForAReader) {
  SnapshotCell<Held> cell;
  Held seen;
  std::thread reader([&] { seen = cell.read(); });
  while (!readerInside) std::this_thread::yield();
  auto night = std::async(std::launch::async, [&] {
    for (int v = 1; v <= 3; ++v) cell.publish(Held(v));
  });
  bool published = night.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  holdReader = false;
  reader.join();
  EXPECT_TRUE(published) << "the night waited for a reader";
  EXPECT_EQ(seen.text + cell.read().text, "03");
}

}  // namespace
}  // namespace vantrel::testing
