// Costs of one Calculate run and of the number conversions it is built on.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "zelmar/engine.h"

namespace {

using zelmar::FieldTexts;

std::size_t CountLines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void RunChecks(benchmark::State& state, const FieldTexts& fields,
               std::size_t expected_lines) {
  const std::size_t lines =
      CountLines(zelmar::RunChannelCheck(fields).resultText);
  if (lines != expected_lines) {
    state.SkipWithError("unexpected number of result lines");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(zelmar::RunChannelCheck(fields));
  }
  state.SetItemsProcessed(state.iterations());
}

// Twelve entries 806.125 ... 807.500 on the 0.125 MHz raster: the most
// lines a run can produce (42 intermodulation hits and 11 close pairs).
void BM_RunChannelCheckTwelveRaster(benchmark::State& state) {
  FieldTexts fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    fields[i] = zelmar::FormatMHz(806.125 + 0.125 * static_cast<double>(i));
  }
  RunChecks(state, fields, 53);
}
BENCHMARK(BM_RunChannelCheckTwelveRaster);

// A plan as one is typed in: six entries in no order, nothing to report.
void BM_RunChannelCheckTypicalSix(benchmark::State& state) {
  const FieldTexts fields = {"806.500", "779.375", "797.875",
                             "770.125", "809.125", "790.250"};
  RunChecks(state, fields, 1);
}
BENCHMARK(BM_RunChannelCheckTypicalSix);

void BM_RunChannelCheckEmpty(benchmark::State& state) {
  RunChecks(state, FieldTexts{}, 1);
}
BENCHMARK(BM_RunChannelCheckEmpty);

// A mix of awkward values, most of them outside the raster.
void BM_FormatMHz(benchmark::State& state) {
  constexpr std::array<double, 8> kValues = {806.125,  770.5,  0.0625, -5.0,
                                             999.9995, 0.1245, 1e300,  512.002};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zelmar::FormatMHz(kValues[i]));
    i = (i + 1) % kValues.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatMHz);

// Raster values: every 0.125 MHz and every 25 kHz step below 2,000 MHz.
void BM_FormatMHzRaster(benchmark::State& state) {
  std::vector<double> values;
  for (int step = 1; step < 16000; ++step) values.push_back(step / 8.0);
  for (int step = 1; step < 80000; step += 7) values.push_back(step * 0.025);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zelmar::FormatMHz(values[i]));
    if (++i == values.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatMHzRaster);

void BM_ParseFrequencyText(benchmark::State& state) {
  const std::array<std::string, 8> kTexts = {
      "806.125",    "  770.5 MHz",
      "806.012345", "",
      "abc",        "1e999",
      "12.5e-1",    "806.125" + std::string(100, 'x')};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zelmar::ParseFrequencyText(kTexts[i]));
    i = (i + 1) % kTexts.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseFrequencyText);

}  // namespace
