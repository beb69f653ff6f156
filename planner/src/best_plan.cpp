// FindBestPlan: the phases of a search in order. The first plan (or, for
// --max, the largest size that has one), then rounds of growing budgets:
// the improvement walks, a climb of the 2tx3 margin by budgeted first-found
// searches, and a budgeted exact search from the best plan in hand, until
// one exact search runs to its end and so proves the plan best.
#include <algorithm>
#include <numeric>

#include "searcher.h"

namespace zelmar::plan {
namespace {

using Result = Searcher::Result;

constexpr int kConstructAttempts = 8;
constexpr std::uint64_t kFirstPlanNodes = 100'000;

void Fill(PlanOutcome& outcome, const Result& result) {
  outcome.status = PlanOutcome::Status::kFound;
  outcome.plan.assign(result.plan.begin(), result.plan.begin() + result.size);
  outcome.margin = Searcher::MarginOf(result.score.m[0]);
  const PlanFigures figures = MeasurePlan(outcome.plan);
  outcome.margins = figures.margins;
}

Searcher::RunOptions FirstOf(int target, Khz threshold,
                             std::uint64_t node_budget = 0) {
  Searcher::RunOptions run;
  run.target = target;
  run.threshold = threshold;
  run.node_budget = node_budget;
  return run;
}

// A good plan quickly, to start the exact search from: raises the 2tx3
// margin asked of a first-found plan (doubling, then halving the interval)
// while budgeted searches find one; a search cut short by its budget is
// tried again with a larger one, a search that ran to its end proves the
// margin out of reach. Margins are whole raster steps, so only those are
// asked.
struct Climbed {
  Result best;
  Khz out_of_reach = kNoMargin;  // no plan has this 2tx3 margin or more
};
Climbed Climb(Searcher& searcher, int target, const Result& start,
              std::uint64_t last_budget) {
  constexpr std::uint64_t kFirstBudget = 20'000;
  const Khz raster = searcher.raster();
  Climbed climbed;
  climbed.best = start;
  Khz low = start.score.m[0];  // reached
  for (std::uint64_t budget = kFirstBudget;
       budget <= last_budget && !searcher.stopped(); budget *= 4) {
    Khz high = climbed.out_of_reach;  // not reached within this budget
    bool cut = false;
    while (!searcher.stopped()) {
      Khz ask = high == kNoMargin ? low * 2 : low + (high - low) / 2;
      ask = (ask + raster - 1) / raster * raster;
      if (ask <= low || ask >= high) break;
      const Result r = searcher.Run(FirstOf(target, ask, budget));
      if (r.found) {
        if (Better(r, climbed.best)) climbed.best = r;
        low = r.score.m[0];
        searcher.NoteBest(climbed.best);
      } else {
        high = ask;
        if (searcher.cut()) {
          cut = true;
        } else {
          climbed.out_of_reach = ask;
          searcher.NoteBound(ask);
        }
      }
    }
    if (!cut) break;
  }
  return climbed;
}

// The most carriers (up to `limit`) of any valid plan, and the first such
// plan found.
struct Largest {
  int size = 0;
  Result plan;
};
Largest FindLargest(Searcher& searcher, int fixed_count, int limit) {
  constexpr std::uint64_t kHuge = std::uint64_t{1} << 60;
  Largest largest;
  largest.size = fixed_count;
  if (fixed_count > 0) largest.plan = searcher.Run(FirstOf(fixed_count, 0));
  for (int size = fixed_count + 1; size <= limit; ++size) {
    // Searches of growing budgets; between them, bounds on spans are
    // refined with as many nodes as the search that was cut.
    Result r;
    for (std::uint64_t budget = 50'000;; budget = std::min(budget * 4, kHuge)) {
      r = searcher.Run(FirstOf(size, 0, budget));
      if (r.found || !searcher.cut() || searcher.stopped()) break;
      r = searcher.Construct(size, kConstructAttempts);
      if (r.found || searcher.stopped()) break;
      if (searcher.SpansWorthwhile()) searcher.RefineSpans(0, size, budget);
    }
    if (!r.found) break;
    largest.size = size;
    largest.plan = r;
  }
  return largest;
}

// With 3tx3 checked, every plan is a Golomb ruler on the raster: no more
// carriers than the optimal rulers fit into the span of every candidate and
// fixed carrier. Nullopt where 3tx3 is not checked or the table ends.
std::optional<int> GolombMost(const PlanRequest& request) {
  if (!request.rules.window_3tx3) return std::nullopt;
  Khz low = kNoMargin, high = 0, raster = 0;
  const std::array<const std::vector<Khz>*, 2> sets = {&request.candidates,
                                                       &request.fixed};
  for (const std::vector<Khz>* values : sets) {
    for (Khz v : *values) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  if (low == kNoMargin) return std::nullopt;
  for (const std::vector<Khz>* values : sets) {
    for (Khz v : *values) raster = std::gcd(raster, v - low);
  }
  return GolombMarksWithin(raster == 0 ? 0 : (high - low) / raster);
}

// The answer when no plan of the size asked exists (proven unless the
// search was stopped): how many carriers do fit, where that is asked.
PlanOutcome& NoPlan(PlanOutcome& outcome, Searcher& searcher, bool counted,
                    int fixed_count, int below) {
  if (searcher.stopped() || counted) {
    outcome.proven = !searcher.stopped();
    return outcome;
  }
  const Largest largest = FindLargest(searcher, fixed_count, below);
  if (!searcher.stopped()) {
    outcome.largest = largest.size;
    outcome.proven = true;
  }
  return outcome;
}

// The rounds after the first plan: returns the best plan and whether an
// exact search ran to its end.
Result Rounds(Searcher& searcher, int target, const Result& start,
              bool& proven) {
  // Rounds of growing budgets: improve the plan in hand, raise the 2tx3
  // margin by budgeted first-found searches, then try to finish the exact
  // search. Every budget counts moves or nodes.
  Result incumbent = start;
  Result walk = start;
  Khz out_of_reach = kNoMargin;
  proven = false;
  constexpr std::uint64_t kFirstMoves = 1000;
  constexpr std::uint64_t kFirstNodes = 200'000;
  if (start.score == Score{}) {
    proven = true;  // without products every plan ties: the first is best
    return start;
  }
  for (int round = 0; !searcher.stopped(); ++round) {
    const std::uint64_t grow = std::uint64_t{1} << std::min(2 * round, 40);
    const Result improved = searcher.Improve(walk, kFirstMoves * grow);
    if (Better(improved, incumbent)) incumbent = improved;
    if (searcher.stopped()) break;
    const Climbed climbed = Climb(searcher, target, incumbent, 5'000 * grow);
    if (Better(climbed.best, incumbent)) incumbent = climbed.best;
    out_of_reach = std::min(out_of_reach, climbed.out_of_reach);
    if (searcher.stopped()) break;
    if (searcher.SpansWorthwhile()) {
      searcher.RefineSpans(incumbent.score.m[0], target,
                           kFirstNodes * grow / 4);
    }
    // Plans of the incumbent's score are accepted again, so that the
    // lexicographically first of them is found.
    Searcher::RunOptions best;
    best.target = target;
    best.mode = Searcher::Mode::kBest;
    best.node_budget = kFirstNodes * grow;
    best.ceiling = out_of_reach;
    best.floor = incumbent.score;
    best.accept_equal = true;
    const Result exact = searcher.Run(best);
    if (Better(exact, incumbent)) incumbent = exact;
    if (Better(incumbent, improved)) walk = incumbent;
    if (!searcher.cut()) {
      proven = true;
      break;
    }
  }
  return incumbent;
}

}  // namespace

PlanOutcome FindBestPlan(const PlanRequest& request, const StopCheck& stop) {
  PlanOutcome outcome;
  outcome.error = CheckRequest(request);
  if (outcome.error != RequestError::kNone) {
    outcome.status = PlanOutcome::Status::kRefused;
    return outcome;
  }
  std::vector<Khz> fixed = request.fixed;
  std::sort(fixed.begin(), fixed.end());
  const int fixed_count = static_cast<int>(fixed.size());
  const bool counted = !request.group_counts.empty();
  if (FindViolation(fixed, request.rules).rule != Violation::Rule::kNone) {
    outcome.status = PlanOutcome::Status::kFixedBroken;
    outcome.largest = 0;
    outcome.proven = true;
    return outcome;
  }
  const int limit = static_cast<int>(std::min<std::size_t>(
      kMaxCarriers, fixed.size() + request.candidates.size()));
  const int golomb = GolombMost(request).value_or(kMaxCarriers);
  const int most =
      request.count > 0 ? request.count : std::max(std::min(limit, golomb), 1);

  Budget budget(stop);
  Searcher searcher(request, fixed, most, budget);
  const auto finish = [&](PlanOutcome& o) -> PlanOutcome& {
    o.nodes = searcher.nodes();
    return o;
  };
  int target = request.count;
  Result start;
  if (target == 0) {
    const Largest largest = FindLargest(searcher, fixed_count, most);
    if (largest.size == 0) {
      if (searcher.stopped()) return finish(outcome);
      outcome.largest = 0;
      outcome.proven = true;
      return finish(outcome);
    }
    if (searcher.stopped()) {
      Fill(outcome, largest.plan);
      return finish(outcome);
    }
    target = largest.size;
    start = largest.plan;
  } else if (target > golomb) {
    // More carriers than any ruler of the span holds: no plan, proven at
    // once.
    return finish(NoPlan(outcome, searcher, counted, fixed_count,
                         std::min(golomb, target - 1)));
  } else {
    // The first plan in ascending order, or, where that lies far in, one
    // built greedily; failing both, the whole search decides.
    start = searcher.Run(FirstOf(target, 0, kFirstPlanNodes));
    if (!start.found && searcher.cut() && !searcher.stopped()) {
      start = searcher.Construct(target, kConstructAttempts);
      if (!start.found && !searcher.stopped()) {
        start = searcher.Run(FirstOf(target, 0));
      }
    }
    if (!start.found) {
      return finish(
          NoPlan(outcome, searcher, counted, fixed_count, target - 1));
    }
  }
  searcher.NoteBest(start);
  searcher.NoteSpanBound(target);
  bool proven = false;
  Fill(outcome, Rounds(searcher, target, start, proven));
  outcome.proven = proven && !searcher.stopped();
  return finish(outcome);
}

}  // namespace zelmar::plan
