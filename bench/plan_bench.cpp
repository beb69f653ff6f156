// The planner's search: the B band, proven best, and the 9,761 channels of
// 470-714 MHz at 25 kHz with twelve carriers, where the search cannot end
// and the plan in hand at a deadline counts. Each run also counts the heap
// allocations it makes, to show that they do not grow with the nodes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <new>

#include "zelmar/planner.h"

namespace {

using namespace zelmar::plan;

std::size_t g_allocations = 0;

std::vector<Khz> Channels(Khz low, Khz high, Khz step) {
  return BuildCandidates(std::vector<Band>{{low, high, step}}, {}).channels;
}

void Report(benchmark::State& state, const PlanOutcome& outcome,
            std::size_t allocations) {
  state.counters["carriers"] = static_cast<double>(outcome.plan.size());
  state.counters["margin_kHz"] =
      outcome.margin ? static_cast<double>(*outcome.margin) : -1.0;
  state.counters["proven"] = outcome.proven ? 1 : 0;
  state.counters["nodes"] = static_cast<double>(outcome.nodes);
  state.counters["allocs"] = static_cast<double>(allocations);
}

void Solve(benchmark::State& state, const PlanRequest& request,
           const StopCheck& stop) {
  PlanOutcome outcome;
  std::size_t allocations = 0;
  for (auto _ : state) {
    const std::size_t before = g_allocations;
    outcome = FindBestPlan(request, stop);
    allocations = g_allocations - before;
    benchmark::DoNotOptimize(outcome);
  }
  Report(state, outcome, allocations);
}

void BM_PlanBBandMax(benchmark::State& state) {
  PlanRequest request;
  request.candidates = Channels(806'125, 809'750, 125);
  request.count = 0;
  Solve(state, request, {});
}
BENCHMARK(BM_PlanBBandMax)->Unit(benchmark::kMillisecond);

void BM_PlanBBandCount(benchmark::State& state) {
  PlanRequest request;
  request.candidates = Channels(806'125, 809'750, 125);
  request.count = static_cast<int>(state.range(0));
  Solve(state, request, {});
}
BENCHMARK(BM_PlanBBandCount)->Arg(6)->Unit(benchmark::kMillisecond);

// Twelve carriers on 9,761 channels, stopped at the first stop check that
// sees a plan: the time to a first valid plan.
void BM_PlanWideFirstPlan(benchmark::State& state) {
  PlanRequest request;
  request.candidates = Channels(470'000, 714'000, 25);
  request.count = 12;
  Solve(state, request,
        [](const SearchProgress& progress) { return progress.have_plan; });
}
BENCHMARK(BM_PlanWideFirstPlan)->Unit(benchmark::kMillisecond);

// A request with a deadline of `ms` milliseconds: the best plan in hand when
// it passes (or the proven one before).
void Deadline(benchmark::State& state, const PlanRequest& request,
              std::int64_t ms) {
  const auto limit = std::chrono::milliseconds(ms);
  std::chrono::steady_clock::time_point start;
  const StopCheck stop = [&](const SearchProgress&) {
    return std::chrono::steady_clock::now() - start >= limit;
  };
  PlanOutcome outcome;
  std::size_t allocations = 0;
  for (auto _ : state) {
    start = std::chrono::steady_clock::now();
    const std::size_t before = g_allocations;
    outcome = FindBestPlan(request, stop);
    allocations = g_allocations - before;
  }
  Report(state, outcome, allocations);
  for (std::size_t f = 1; f < outcome.margins.size(); ++f) {
    if (outcome.margins[f] && WindowOf(request.rules, kFamilies[f])) {
      state.counters[f == 1 ? "margin3_kHz" : "margin5_kHz"] =
          static_cast<double>(*outcome.margins[f]);
    }
  }
}

// Twelve carriers on 9,761 channels, no other rule.
void BM_PlanWideDeadline(benchmark::State& state) {
  PlanRequest request;
  request.candidates = Channels(470'000, 714'000, 25);
  request.count = 12;
  Deadline(state, request, state.range(0));
}
BENCHMARK(BM_PlanWideDeadline)
    ->Arg(500)
    ->Arg(5000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// 470-714 MHz at 25 kHz without TV channels 13, 16, 21 and 27, fixed
// carriers 500 and 600 MHz, spacing 0.4 MHz, guard 0.1 MHz: range(0)
// carriers, range(1) milliseconds.
void BM_PlanWideShow(benchmark::State& state) {
  PlanRequest request;
  std::vector<Range> tv;
  for (int channel : {13, 16, 21, 27}) tv.push_back(TvChannelRange(channel));
  request.candidates =
      BuildCandidates(std::vector<Band>{{470'000, 714'000, 25}}, tv).channels;
  request.fixed = {500'000, 600'000};
  request.rules.spacing = 400;
  request.rules.guard = 100;
  request.count = static_cast<int>(state.range(0));
  Deadline(state, request, state.range(1));
}
BENCHMARK(BM_PlanWideShow)
    ->Args({12, 1000})
    ->Args({12, 10000})
    ->Args({24, 10000})
    ->Args({40, 10000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The largest plans with exact 3tx3 (and 2tx5) windows, proven: the B band,
// and 770.125-778.875 MHz (71 channels; also to 778.625 with spacing 0.375).
void BM_PlanExactWindows(benchmark::State& state) {
  PlanRequest request;
  const Khz high = state.range(0) == 3 ? 778'625 : 778'875;
  request.candidates = state.range(0) <= 1 ? Channels(806'125, 809'750, 125)
                                           : Channels(770'125, high, 125);
  request.rules.window_3tx3 = 0;
  if (state.range(0) == 1) request.rules.window_2tx5 = 0;
  if (state.range(0) == 3) request.rules.spacing = 375;
  Deadline(state, request, 60'000);
}
BENCHMARK(BM_PlanExactWindows)
    ->DenseRange(0, 3)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// GCC cannot see that the replaced operator new below takes its memory from
// malloc, and warns about the free in the replaced operator delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Counts every allocation of the program (the other benchmarks included;
// one increment is far below their own costs).
void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
