// Times the dense search on the narrow-raster cases it is built for:
//   zelmar_dense_bench CASE N THREADS
// CASE: ap      most carriers of N channels 800.000 + 0.250 k (the check's
//               own rule: no three in arithmetic progression)
//       ap-upto the same for every n from 1 to N
//       apart   N channels 806.125 + 0.125 k, neighbours excluded
//       ruler   N channels at 0.250 MHz with exact 3tx3 (a Golomb ruler)
//       climb-b the B band, N carriers: the 2tx3 margin raised until none
//       climb-71 770.125-778.875 step 0.125, 3tx3 and 2tx5 windows 0, N
//               carriers: the same climb
//       plan-71 today's FindBestPlan on that request, for comparison
//       climb-wide 470.000-570.000 step 0.025 (4001 channels), N carriers,
//               the same climb (plan-wide: today's FindBestPlan)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dense/search.h"
#include "zelmar/planner.h"

namespace {

using namespace zelmar::plan;

PlanRequest Channels(Khz low, Khz step, int count) {
  PlanRequest r;
  for (int k = 0; k < count; ++k) r.candidates.push_back(low + step * k);
  return r;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since)
      .count();
}

void Print(const char* what, int n, int size, bool proven, double s,
           std::uint64_t nodes, const std::vector<Khz>& plan) {
  std::printf("%s n=%d size=%d proven=%d %.3f s %llu nodes:", what, n, size,
              proven, s, static_cast<unsigned long long>(nodes));
  for (Khz f : plan) std::printf(" %s", FormatKhz(f).c_str());
  std::printf("\n");
}

void Largest(const char* what, const PlanRequest& r, int threads) {
  const StopCheck none;
  Budget budget(none);
  const auto start = std::chrono::steady_clock::now();
  const DenseLargest got =
      DenseFindLargest(r, {}, kMaxCarriers, budget, threads);
  Print(what, static_cast<int>(r.candidates.size()), got.size, got.proven,
        Seconds(start), budget.work(), got.plan);
}

// Raises the 2tx3 margin asked until no plan reaches it.
void Climb(const PlanRequest& r, int carriers, int threads) {
  const StopCheck none;
  Budget budget(none);
  const auto start = std::chrono::steady_clock::now();
  DenseQuery query;
  query.target = carriers;
  std::vector<Khz> best;
  for (;;) {
    const DenseAnswer got = DenseFindFirst(r, {}, query, budget, threads);
    if (got.status != DenseAnswer::Status::kFound) break;
    best = got.plan;
    query.at_least[0] = *MeasurePlan(best).margins[0] + 1;
  }
  std::printf("climb margin=%lld ",
              static_cast<long long>(query.at_least[0] - 1));
  Print("", carriers, static_cast<int>(best.size()), true, Seconds(start),
        budget.work(), best);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: zelmar_dense_bench CASE N THREADS\n");
    return 2;
  }
  const std::string what = argv[1];
  const int n = std::atoi(argv[2]);
  const int threads = std::atoi(argv[3]);
  if (what == "ap") {
    Largest("ap", Channels(800'000, 250, n), threads);
  } else if (what == "ap-upto") {
    const auto start = std::chrono::steady_clock::now();
    for (int k = 1; k <= n; ++k) {
      Largest("ap", Channels(800'000, 250, k), threads);
    }
    std::printf("all %.3f s\n", Seconds(start));
  } else if (what == "apart") {
    Largest("apart", Channels(806'125, 125, n), threads);
  } else if (what == "ruler") {
    PlanRequest r = Channels(800'000, 250, n);
    r.rules.window_3tx3 = 0;
    Largest("ruler", r, threads);
  } else if (what == "climb-b") {
    Climb(Channels(806'125, 125, 30), n, threads);
  } else if (what == "climb-71" || what == "plan-71" || what == "climb-wide" ||
             what == "plan-wide") {
    const bool wide = what.ends_with("wide");
    PlanRequest r =
        wide ? Channels(470'000, 25, 4001) : Channels(770'125, 125, 71);
    if (!wide) {
      r.rules.window_3tx3 = 0;
      r.rules.window_2tx5 = 0;
    }
    if (what.starts_with("climb")) {
      Climb(r, n, threads);
    } else {
      r.count = n;
      const auto start = std::chrono::steady_clock::now();
      const PlanOutcome got = FindBestPlan(r, {});
      std::printf("plan margin=%lld ",
                  static_cast<long long>(got.margin.value_or(-1)));
      Print("", n, static_cast<int>(got.plan.size()), got.proven,
            Seconds(start), got.nodes, got.plan);
    }
  } else {
    std::fprintf(stderr, "unknown case %s\n", what.c_str());
    return 2;
  }
  return 0;
}
