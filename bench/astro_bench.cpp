// astro_bench.cpp - the cost of the positions of one pass of 2700 rows.
//
//  plain_routine   koudo_keisan_1950 called once per row, step by step
//  position_pass   PositionPass with its cache warm (second and later passes),
//                  as the night runs it
//  erfa_peer       eraGmst82 once per pass and eraHd2ae per row
// Every iteration is one pass over the same 2700 rows at an instant one minute
// later than the last (the instants repeat after 256 passes), so no pass can
// reuse the previous pass's results. The time per iteration is the time per
// pass; "per_row" is the time per row.
//
// Run (2 cores shared, keep it short); the CPU-time medians and the ratios,
// as one command line:
//   build-astro/bench/vantrel_bench --benchmark_min_time=0.5
//     --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//     --benchmark_format=csv 2>/dev/null | awk -F, '/_median/ {
//     gsub(/"/, "", $1); sub(/_median/, "", $1); t[$1] = $4;
//     printf "%-14s %8.1f us/pass %7.1f ns/row\n", $1, $4, $4 * 1000 / 2700 }
//     END { printf "b/c %.3f  a/c %.3f\n", t["position_pass"] / t["erfa_peer"],
//     t["plain_routine"] / t["erfa_peer"] }'
#include <benchmark/benchmark.h>
#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "astro/koudo_keisan_1950.h"
#include "astro/position_pass.h"

namespace {

constexpr std::size_t kRows = 2700;
constexpr std::size_t kInstants = 256;
constexpr double kLatitude = 35.0;
constexpr double kLongitude = 135.0;

struct Table {
  std::vector<double> raDeg, decDeg, raRad, decRad;
  std::vector<vantrel::ClockSample> samples;
  std::vector<double> ut1;  // the samples as UT, Modified Julian Date
  Table() {
    std::mt19937_64 random(1950);
    std::uniform_real_distribution<double> ra(0, 360), sinDec(-0.5, 1.0);
    for (std::size_t i = 0; i < kRows; ++i) {
      raDeg.push_back(ra(random));
      decDeg.push_back(std::asin(sinDec(random)) * 180 / std::numbers::pi);
      raRad.push_back(raDeg.back() * std::numbers::pi / 180);
      decRad.push_back(decDeg.back() * std::numbers::pi / 180);
    }
    for (std::size_t k = 0; k < kInstants; ++k) {
      const int minute = 20 * 60 + static_cast<int>(k);  // 20:00 on, one minute apart
      char timeText[16];
      std::snprintf(timeText, sizeof timeText, "%02d:%02d:00", minute / 60 % 24, minute % 60);
      samples.push_back(vantrel::sampleClock("2026-05-14", timeText));
      ut1.push_back(vantrel::detail::siderealTrace(samples.back(), kLongitude).T);
    }
  }
};

const Table& table() {
  static const Table t;
  return t;
}

void perRowCounter(benchmark::State& state) {
  state.counters["per_row"] =
      benchmark::Counter(static_cast<double>(kRows),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void plain_routine(benchmark::State& state) {
  const Table& t = table();
  std::vector<float> az(kRows);
  std::vector<double> alt(kRows);
  std::size_t k = 0;
  for (auto _ : state) {
    const vantrel::ClockSample& sample = t.samples[k++ % kInstants];
    for (std::size_t i = 0; i < kRows; ++i) {
      const vantrel::HorizontalPosition p =
          vantrel::koudo_keisan_1950(t.raDeg[i], t.decDeg[i], kLatitude, kLongitude, sample);
      az[i] = p.outAz;
      alt[i] = p.outAlt;
    }
    benchmark::DoNotOptimize(az.data());
    benchmark::DoNotOptimize(alt.data());
    benchmark::ClobberMemory();
  }
  perRowCounter(state);
}

void position_pass(benchmark::State& state) {
  const Table& t = table();
  std::vector<float> az(kRows);
  std::vector<double> alt(kRows);
  vantrel::PositionPass pass;
  pass.compute(t.raDeg.data(), t.decDeg.data(), kRows, kLatitude, kLongitude, t.samples[kInstants - 1],
               az.data(), alt.data());  // the first pass of the night fills the cache
  std::size_t k = 0;
  for (auto _ : state) {
    pass.compute(t.raDeg.data(), t.decDeg.data(), kRows, kLatitude, kLongitude, t.samples[k++ % kInstants],
                 az.data(), alt.data());
    benchmark::DoNotOptimize(az.data());
    benchmark::DoNotOptimize(alt.data());
    benchmark::ClobberMemory();
  }
  perRowCounter(state);
}

void erfa_peer(benchmark::State& state) {
  const Table& t = table();
  std::vector<double> az(kRows), alt(kRows);
  const double longitude = kLongitude * ERFA_DD2R;
  const double latitude = kLatitude * ERFA_DD2R;
  std::size_t k = 0;
  for (auto _ : state) {
    const double gmst = eraGmst82(ERFA_DJM0, t.ut1[k++ % kInstants]);
    for (std::size_t i = 0; i < kRows; ++i) {
      eraHd2ae(gmst + longitude - t.raRad[i], t.decRad[i], latitude, &az[i], &alt[i]);
    }
    benchmark::DoNotOptimize(az.data());
    benchmark::DoNotOptimize(alt.data());
    benchmark::ClobberMemory();
  }
  perRowCounter(state);
}

}  // namespace

BENCHMARK(plain_routine)->Unit(benchmark::kMicrosecond);
BENCHMARK(position_pass)->Unit(benchmark::kMicrosecond);
BENCHMARK(erfa_peer)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
