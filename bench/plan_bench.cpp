// plan_bench.cpp - whole nights of a 2700-row list: as a plan rehearses them,
// and as the rehearsal did before it skipped what cannot change.
//
//  plan_one_night       planNight: dwells crossed in jumps, log in memory
//  plan_thirty_nights   planNights over 30 nights, on every core
//  stepwise_one_night   the night driver polled query by query: the clock's
//                       texts through printf, every mount command recorded,
//                       every row computed in every pass, the log synced to
//                       disk per record (a scratch folder)
//  stepwise_thirty_nights   30 of those, one after the other
// The list is examples/vantrel.ini with 300 lines of 3 x 3 grids spread over
// the sky (tests/support/full_table.h), from 2026-12-06 17:00 on. Each plan
// night is checked against the stepwise night's log once before timing.
//
// Run (the stepwise month takes about half a minute; wall time, since the
// plan uses both cores): scripts/bench-plan.sh
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "night/form1.h"
#include "night/nights_plan.h"
#include "platform/posix_file_store.h"
#include "simulation/simulated_clock.h"
#include "simulation/simulated_files.h"
#include "simulation/simulated_mount.h"
#include "platform/stop_request.h"
#include "platform/event_pump.h"
#include "support/full_table.h"

namespace {

using namespace vantrel;

constexpr std::int64_t msPerDay = 86400000;

std::int64_t startMs() { return *SimulatedClock::parseCivilTime("2026-12-06T17:00"); }

// The inputs in a scratch folder of their own, removed at exit.
struct Inputs {
  std::filesystem::path dir;
  Inputs() {
    char name[] = "/tmp/vantrel-bench-XXXXXX";
    if (::mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = name;
    std::ifstream ini(VANTREL_SOURCE_DIR "/examples/vantrel.ini", std::ios::binary);
    std::ofstream(dir / "vantrel.ini", std::ios::binary) << std::string(std::istreambuf_iterator<char>(ini), {});
    std::ofstream(dir / "vantrel.adf", std::ios::binary) << testing::fullTargetList();
  }
  ~Inputs() { std::filesystem::remove_all(dir); }
};

Inputs& inputs() {
  static Inputs once;
  return once;
}


// The simulated clock as it was: texts through printf, and no jumps.
class PrintfClock : public Clock {
 public:
  explicit PrintfClock(SimulatedClock& clock) : clock_(clock) {}
  ClockReading now() override {
    std::int64_t ms = clock_.civilMs();
    std::int64_t days = ms / msPerDay;
    auto seconds = static_cast<int>((ms - days * msPerDay) / 1000);
    std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{days}}};
    char date[32], time[16];
    std::snprintf(date, sizeof date, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return ClockReading{date, time};
  }
  void pause(std::chrono::milliseconds duration) override { clock_.pause(duration); }
  void waitForNext(ClockUnit unit, EventPump* events, const StopRequest& stop) override {
    clock_.waitForNext(unit, events, stop);
  }

 private:
  SimulatedClock& clock_;
};

// One night the old way; returns its log.
std::string stepwiseNight(std::int64_t start) {
  SimulatedClock clock(start);
  PrintfClock printfClock(clock);
  SimulatedMount mount(SimulatedMount::Transcript::kept);
  // With a sky chart, as the rehearsal ran before: every row in every pass.
  NoEvents events;
  StatusBoard board(/*keepsSky=*/true);
  PosixFileStore files(inputs().dir.string());
  StopRequest stop;
  clock.raiseStopAt(start + 72 * 3600 * 1000LL, stop);
  NightOptions options;
  options.logFilePrefix = "rehearsal-";
  options.emptyLogAtStart = true;
  Form1(NightSeams{printfClock, mount, events, files, stop, &board}, options).Form_Load();
  std::string name = "rehearsal-log" + civilReading(start).dateText + ".txt";
  return files.readAll(name).value_or("");
}

NightsPlan plan(int nights) {
  PosixFileStore files(inputs().dir.string());
  return planNights(startMs(), nights, files);
}

// Once: the plan's nights are the stepwise nights, log by log.
void checkOnce() {
  static bool checked = false;
  if (checked) return;
  checked = true;
  NightsPlan month = plan(3);
  for (int night = 0; night < 3; ++night) {
    if (month.nights[static_cast<std::size_t>(night)].rehearsal.log != stepwiseNight(startMs() + night * msPerDay)) {
      throw std::runtime_error("night " + std::to_string(night + 1) + " of the plan differs from its rehearsal");
    }
  }
}

void plan_one_night(benchmark::State& state) {
  checkOnce();
  for (auto _ : state) benchmark::DoNotOptimize(plan(1));
}

void plan_thirty_nights(benchmark::State& state) {
  checkOnce();
  for (auto _ : state) benchmark::DoNotOptimize(plan(30));
}

void stepwise_one_night(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(stepwiseNight(startMs()));
}

void stepwise_thirty_nights(benchmark::State& state) {
  for (auto _ : state) {
    for (int night = 0; night < 30; ++night) benchmark::DoNotOptimize(stepwiseNight(startMs() + night * msPerDay));
  }
}

}  // namespace

BENCHMARK(plan_one_night)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(plan_thirty_nights)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(stepwise_one_night)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(stepwise_thirty_nights)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
