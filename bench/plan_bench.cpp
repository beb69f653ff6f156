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

// The same with a deadline of state.range(0) milliseconds: the best plan in
// hand when it passes.
void BM_PlanWideDeadline(benchmark::State& state) {
  PlanRequest request;
  request.candidates = Channels(470'000, 714'000, 25);
  request.count = 12;
  const auto limit = std::chrono::milliseconds(state.range(0));
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
}
BENCHMARK(BM_PlanWideDeadline)
    ->Arg(500)
    ->Arg(5000)
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
