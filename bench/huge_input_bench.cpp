// Reading and checking cost must grow linearly with the length of the field
// texts, whatever the texts are made of. Each benchmark runs over texts of 1k
// to 1M bytes and lets Google Benchmark fit the complexity (expect O(N)).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "zelmar/engine.h"

namespace {

enum class Kind {
  kLeadingWhite,    // white space, then a short number
  kLeadingZeros,    // zeros, then 806.125
  kManyDecimals,    // 806. and digits to the end
  kOnlyDigits,      // integer digits only (reads as infinity)
  kExponentZeros,   // 1e, zeros, 5
  kExponentDigits,  // 1e-, nines (reads as zero)
  kTrailingJunk,    // 806.125, then bytes that are ignored
};

// A text of exactly n bytes of the given kind.
std::string MakeText(Kind kind, std::size_t n) {
  std::string s;
  s.reserve(n);
  auto fill = [&](char c, std::size_t keep) {
    if (s.size() + keep < n) s.append(n - keep - s.size(), c);
  };
  switch (kind) {
    case Kind::kLeadingWhite:
      fill(' ', 7);
      s += "806.125";
      break;
    case Kind::kLeadingZeros:
      fill('0', 7);
      s += "806.125";
      break;
    case Kind::kManyDecimals:
      s = "806.";
      for (std::size_t i = 0; s.size() < n; ++i) {
        s += static_cast<char>('0' + i % 10);
      }
      break;
    case Kind::kOnlyDigits:
      for (std::size_t i = 0; s.size() < n; ++i) {
        s += static_cast<char>('1' + i % 9);
      }
      break;
    case Kind::kExponentZeros:
      s = "1e";
      fill('0', 1);
      s += '5';
      break;
    case Kind::kExponentDigits:
      s = "1e-";
      fill('9', 0);
      break;
    case Kind::kTrailingJunk:
      s = "806.125";
      for (std::size_t i = 0; s.size() < n; ++i) {
        s += static_cast<char>(0x80 + i % 0x80);
      }
      break;
  }
  s.resize(n);
  return s;
}

void BM_HugeParse(benchmark::State& state, Kind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string text = MakeText(kind, n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zelmar::ParseFrequencyText(text));
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          state.range(0));
}

// Twelve texts of the kind, each n bytes long, with different numbers so
// that the checks have values to compare.
void BM_HugeRun(benchmark::State& state, Kind kind) {
  const auto n = static_cast<std::size_t>(state.range(0));
  zelmar::FieldTexts texts;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    texts[i] = MakeText(kind, n);
    // Vary one early byte where it changes the value but not the length.
    const std::size_t digit = texts[i].find_first_of("123456789");
    if (digit != std::string::npos) {
      texts[i][digit] = static_cast<char>('1' + i % 9);
    }
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(zelmar::RunChannelCheck(texts));
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          state.range(0) * 12);
}

#define ZELMAR_HUGE_BENCH(fn, kind)       \
  BENCHMARK_CAPTURE(fn, kind, Kind::kind) \
      ->RangeMultiplier(4)                \
      ->Range(1 << 10, 1 << 20)           \
      ->Unit(benchmark::kMicrosecond)     \
      ->Complexity(benchmark::oN)

ZELMAR_HUGE_BENCH(BM_HugeParse, kLeadingWhite);
ZELMAR_HUGE_BENCH(BM_HugeParse, kLeadingZeros);
ZELMAR_HUGE_BENCH(BM_HugeParse, kManyDecimals);
ZELMAR_HUGE_BENCH(BM_HugeParse, kOnlyDigits);
ZELMAR_HUGE_BENCH(BM_HugeParse, kExponentZeros);
ZELMAR_HUGE_BENCH(BM_HugeParse, kExponentDigits);
ZELMAR_HUGE_BENCH(BM_HugeParse, kTrailingJunk);

ZELMAR_HUGE_BENCH(BM_HugeRun, kLeadingWhite);
ZELMAR_HUGE_BENCH(BM_HugeRun, kLeadingZeros);
ZELMAR_HUGE_BENCH(BM_HugeRun, kManyDecimals);
ZELMAR_HUGE_BENCH(BM_HugeRun, kOnlyDigits);
ZELMAR_HUGE_BENCH(BM_HugeRun, kExponentZeros);
ZELMAR_HUGE_BENCH(BM_HugeRun, kExponentDigits);
ZELMAR_HUGE_BENCH(BM_HugeRun, kTrailingJunk);

}  // namespace
