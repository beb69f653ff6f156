// FindBestPlan: the phases of a search in order. The first plan (or, for
// --max, the largest size that has one), then rounds of growing budgets:
// the improvement walks, a climb of the 2tx3 margin by budgeted first-found
// searches, and a budgeted exact search from the best plan in hand, until
// one exact search runs to its end and so proves the plan best. On narrow
// rasters the dense search (dense/search.h) finds the largest size and the
// first plans, and its climb of every family's margin (dense/raster_climb.h) is
// the exact phase of each round.
#include <algorithm>
#include <limits>
#include <optional>

#ifndef ZELMAR_NO_THREADS
#include <thread>
#endif

#include "count_bounds.h"
#include "dense/raster_climb.h"
#include "raster.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

using Result = Searcher::Result;

constexpr int kConstructAttempts = 8;
constexpr std::uint64_t kFirstPlanNodes = 100'000;
// Moves in a row without a larger plan after which the local search of
// large plans gives way to the exact search; it grows with the budgets
// where the two take turns.
constexpr std::uint64_t kGrowStall = 2'000;
// Moves in a row without fewer broken rules after which the walk on broken
// rules gives up a size; it too grows with the budgets.
constexpr std::uint64_t kConflictStall = 2'000;
// The dense search's first turn at the largest plan, in its units of work,
// and the turn after which they grow no more.
constexpr std::uint64_t kDenseFirstWork = 16'000'000;
constexpr std::uint64_t kLastDenseWork = std::uint64_t{1} << 60;

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

Result ResultOf(std::span<const Khz> plan, const Score& score) {
  Result r;
  r.found = true;
  r.size = static_cast<int>(plan.size());
  std::copy(plan.begin(), plan.end(), r.plan.begin());
  r.score = score;
  return r;
}

// The most carriers (up to `limit`) of any valid plan, and the first such
// plan found; no valid plan holds more than `possible` carriers (`size`
// where the search ran to its end).
struct Largest {
  int size = 0;
  Result plan;
  int possible = 0;
};
// `grown`: the largest plan a local search found, which the exact search
// goes on from.
Largest FindLargest(Searcher& searcher, int fixed_count, int limit,
                    const Result& grown) {
  constexpr std::uint64_t kHuge = std::uint64_t{1} << 60;
  Largest largest;
  largest.size = fixed_count;
  if (fixed_count > 0) largest.plan = searcher.Run(FirstOf(fixed_count, 0));
  if (grown.found && grown.size > largest.size) {
    largest.size = grown.size;
    largest.plan = grown;
  }
  // Stopped already (in the local search), the plan in hand is the answer
  // the progress last showed.
  for (int size = largest.size + 1; size <= limit && !searcher.stopped();
       ++size) {
    // Searches of growing budgets; between them, the local search goes on
    // from the largest plan in hand, and bounds on spans are refined with
    // as many nodes as the search that was cut.
    Result r;
    for (std::uint64_t budget = 50'000;; budget = std::min(budget * 4, kHuge)) {
      r = searcher.Run(FirstOf(size, 0, budget));
      if (r.found || !searcher.cut() || searcher.stopped()) break;
      r = searcher.Construct(size, kConstructAttempts);
      if (r.found || searcher.stopped()) break;
      r = searcher.WalkConflicts(largest.plan, size, limit,
                                 kConflictStall * (budget / 50'000), true);
      if (r.found && r.size >= size) break;
      if (searcher.stopped()) break;
      r = searcher.Grow(largest.plan, limit, kGrowStall * (budget / 50'000),
                        true);
      if (r.found && r.size >= size) break;
      r = {};
      if (searcher.stopped()) break;
      if (searcher.SpansWorthwhile()) searcher.RefineSpans(0, size, budget);
    }
    if (!r.found) break;
    largest.size = r.size;
    largest.plan = r;
    size = r.size;
  }
  largest.possible = searcher.stopped() ? limit : largest.size;
  return largest;
}

// The larger of `grown` and what the walk on broken rules climbs to from it.
Result Walked(Searcher& searcher, const Result& grown, int limit,
              std::uint64_t stall) {
  if (searcher.stopped() || grown.size >= limit) return grown;
  const Result walked =
      searcher.WalkConflicts(grown, grown.size + 1, limit, stall, true);
  return walked.found && walked.size > grown.size ? walked : grown;
}

// The most carriers (up to `limit`) of any valid plan, by the dense search
// where it applies. The largest plan a local search finds is the answer
// wherever the exact search ends before it reaches that size. The search of
// many candidates gets its turns where the exact one is cut; on a narrow raster
// the local searches go first, each for eight moves in a row without a larger
// plan a candidate (at most 16 kConflictStall), then take turns with the dense
// search: small requests, proven at once, hardly pay for them.
Largest LargestOf(Searcher& searcher, RasterClimb* climb, const Rules& rules,
                  int fixed_count, int limit, std::size_t candidates) {
  if (climb == nullptr) {
    return FindLargest(searcher, fixed_count, limit,
                       Walked(searcher, searcher.Grow({}, limit, 0, true),
                              limit, kConflictStall));
  }
  // Each turn of the local searches: the iterated one, then the walk on
  // broken rules from the largest plan it found.
  const auto local_turn = [&](const Result& from, std::uint64_t stall) {
    const Result grown = searcher.Grow(from, limit, stall, true);
    return Walked(searcher, grown.found ? grown : from, limit, stall);
  };
  std::uint64_t stall =
      std::min<std::uint64_t>(kConflictStall * 16, 8 * candidates);
  Result grown = local_turn({}, stall);
  // The dense search and the local searches take turns of growing work
  // until the dense search runs to its end; it goes on each turn where the
  // last one stopped.
  DenseLargest dense;
  for (std::uint64_t cap = kDenseFirstWork; !searcher.stopped();
       cap = std::min(cap, kLastDenseWork) * 4) {
    dense = climb->Largest(limit, cap);
    if (dense.proven || searcher.stopped()) break;
    // Where the dense search is ahead, its proof is near: it keeps the
    // turn.
    stall *= 4;
    if (dense.size < grown.size) grown = local_turn(grown, stall);
  }
  Largest largest;
  largest.size = dense.size;
  largest.possible = dense.proven ? dense.size : limit;
  if (!dense.plan.empty()) {
    largest.plan = ResultOf(dense.plan, ScoreOf(dense.plan, rules));
  }
  if (grown.found && grown.size > largest.size) {
    largest.size = grown.size;
    largest.plan = grown;
  }
  return largest;
}

// The first plan of `target` carriers by a search without a budget (the
// dense one where it applies); not found when there is none, or when the
// search was stopped.
Result WholeFirst(Searcher& searcher, RasterClimb* climb, const Rules& rules,
                  int target) {
  if (climb == nullptr) return searcher.Run(FirstOf(target, 0));
  const DenseAnswer first = climb->First(target);
  if (first.status != DenseAnswer::Status::kFound) return {};
  return ResultOf(first.plan, ScoreOf(first.plan, rules));
}

// The answer when no plan of the size asked exists (proven unless the
// search was stopped): how many carriers do fit, where that is asked.
PlanOutcome& NoPlan(PlanOutcome& outcome, const Budget& budget,
                    Searcher& searcher, RasterClimb* climb,
                    const PlanRequest& request, int fixed_count, int below) {
  if (budget.stopped() || !request.group_counts.empty()) {
    outcome.proven = !budget.stopped();
    return outcome;
  }
  const Largest largest = LargestOf(searcher, climb, request.rules, fixed_count,
                                    below, request.candidates.size());
  if (!budget.stopped()) {
    outcome.largest = largest.size;
    outcome.proven = true;
  }
  return outcome;
}

// The exact phase on a narrow raster: the climb takes the best plan in hand
// and asks its questions within the round's cap. True once proven.
bool RasterRound(RasterClimb& climb, Result& incumbent, std::uint64_t cap) {
  climb.Offer(std::span<const Khz>(incumbent.plan.data(),
                                   static_cast<std::size_t>(incumbent.size)));
  const bool proven = climb.Advance(cap);
  const Result best = ResultOf(climb.best(), climb.score());
  if (proven || Better(best, incumbent)) incumbent = best;
  return proven;
}

// The rounds after the first plan: returns the best plan and whether an
// exact search ran to its end.
Result Rounds(Searcher& searcher, int target, const Result& start,
              RasterClimb* climb, bool& proven) {
  // Rounds of growing budgets: improve the plan in hand, raise the 2tx3
  // margin by budgeted first-found searches, then try to finish the exact
  // search. Every budget counts moves or nodes.
  Result incumbent = start;
  Result walk = start;
  Khz out_of_reach = kNoMargin;
  proven = false;
  constexpr std::uint64_t kFirstMoves = 1000;
  constexpr std::uint64_t kFirstNodes = 200'000;
  // A node of the dense search costs a small part of one of the exact
  // search's, and its questions are proofs: it gets more of each round
  // than the walks before it.
  constexpr std::uint64_t kRasterWork = 64 * kFirstNodes;
  if (start.score == Score{}) {
    // Without products every plan ties: the first is best, which the exact
    // search meets first and the dense one is asked for.
    if (climb == nullptr) {
      proven = true;
      return start;
    }
    proven = RasterRound(*climb, incumbent,
                         std::numeric_limits<std::uint64_t>::max());
    return incumbent;
  }
  for (int round = 0; !searcher.stopped(); ++round) {
    const std::uint64_t grow = std::uint64_t{1} << std::min(2 * round, 40);
    const Result improved = searcher.Improve(walk, kFirstMoves * grow);
    if (Better(improved, incumbent)) incumbent = improved;
    if (searcher.stopped()) break;
    if (climb != nullptr) {
      proven = RasterRound(*climb, incumbent, kRasterWork * grow);
      if (proven || climb->stopped()) break;
      if (Better(incumbent, improved)) walk = incumbent;
      continue;
    }
    const Climbed climbed = Climb(searcher, target, incumbent, 5'000 * grow);
    if (Better(climbed.best, incumbent)) incumbent = climbed.best;
    out_of_reach = std::min(out_of_reach, climbed.out_of_reach);
    if (searcher.stopped()) break;
    if (searcher.SpansWorthwhile()) {
      searcher.RefineSpans(incumbent.score.m[0], target,
                           kFirstNodes * grow / 4);
    }
    // The suffix table for a margin one above the plan in hand: built
    // whole, it holds a better plan or proves there is none.
    const Khz above = incumbent.score.m[0] + 1;
    const Result larger =
        searcher.RefineSuffix(above, target, kFirstNodes * grow / 2);
    if (Better(larger, incumbent)) incumbent = larger;
    if (searcher.SuffixRefutes(above, target) ||
        searcher.GroupAloneRefutes(above, kFirstNodes * grow / 2)) {
      out_of_reach = std::min(out_of_reach, above);
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

// The threads a request asks for: every hardware thread for 0.
int ThreadsOf(const PlanRequest& request) {
#ifdef ZELMAR_NO_THREADS
  (void)request;
  return 1;
#else
  int threads = request.threads;
  if (threads <= 0) {
    threads = static_cast<int>(std::thread::hardware_concurrency());
  }
  return std::clamp(threads, 1, kMaxThreads);
#endif
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
  if (FindViolation(fixed, request.rules).rule != Violation::Rule::kNone) {
    outcome.status = PlanOutcome::Status::kFixedBroken;
    outcome.largest = 0;
    outcome.proven = true;
    return outcome;
  }
  const int by_rules = MostByRules(request, fixed);
  const int most = request.count > 0 ? request.count : std::max(by_rules, 1);

  Budget budget(stop);
  std::optional<RasterClimb> raster;
  if (DenseApplies(request, fixed)) {
    raster.emplace(request, fixed, budget, ThreadsOf(request));
  }
  RasterClimb* climb = raster ? &*raster : nullptr;
  Searcher searcher(request, fixed, most, budget);
  searcher.SetThreads(ThreadsOf(request));
  const auto finish = [&](PlanOutcome& o) -> PlanOutcome& {
    o.nodes = budget.nodes();
    if (o.status != PlanOutcome::Status::kFound) return o;
    if (o.proven) {
      o.margin_possible = o.margin;
      if (request.count == 0) o.most_possible = o.plan.size();
    } else {
      o.margin_possible = budget.bound();
    }
    return o;
  };
  int target = request.count;
  Result start;
  if (target == 0) {
    const Largest largest =
        LargestOf(searcher, climb, request.rules, fixed_count, most,
                  request.candidates.size());
    outcome.most_possible = largest.possible;
    if (largest.size == 0) {
      if (budget.stopped()) return finish(outcome);
      outcome.largest = 0;
      outcome.proven = true;
      return finish(outcome);
    }
    if (budget.stopped()) {
      if (largest.plan.found) Fill(outcome, largest.plan);
      return finish(outcome);
    }
    target = largest.size;
    start = largest.plan;
  } else if (target > by_rules) {
    // More carriers than the rules allow (count_bounds.h): no plan, proven
    // at once. How many do fit is searched for as ever, but only a short
    // while where the span is narrow (the dense search takes it); not found
    // then, it stays unknown.
    if (climb == nullptr) {
      NoPlan(outcome, budget, searcher, climb, request, fixed_count,
             std::min(by_rules, target - 1));
      outcome.proven = true;
      return finish(outcome);
    }
    outcome.proven = true;
    if (request.group_counts.empty()) {
      constexpr std::uint64_t kLargestWork = 16'000'000;
      const DenseLargest largest =
          climb->Largest(std::min(by_rules, target - 1), kLargestWork);
      if (largest.proven) outcome.largest = largest.size;
    }
    return finish(outcome);
  } else {
    // The first plan in ascending order, or, where that lies far in, one
    // built greedily; failing both, the whole search decides.
    start = searcher.Run(FirstOf(target, 0, kFirstPlanNodes));
    if (!start.found && searcher.cut() && !budget.stopped()) {
      start = searcher.Construct(target, kConstructAttempts);
      if (!start.found && !budget.stopped()) {
        start = searcher.WalkConflicts({}, target, target, kConflictStall * 32,
                                       false);
      }
      if (!start.found && !budget.stopped()) {
        start = searcher.Grow({}, target, kGrowStall * 32, false);
        if (start.size < target) start = {};
      }
      if (!start.found && !budget.stopped()) {
        start = WholeFirst(searcher, climb, request.rules, target);
      }
    }
    if (!start.found) {
      return finish(NoPlan(outcome, budget, searcher, climb, request,
                           fixed_count, target - 1));
    }
  }
  searcher.NoteBest(start);
  searcher.NoteSpanBound(target);
  if (climb != nullptr) {
    climb->Start(target,
                 std::span<const Khz>(start.plan.data(),
                                      static_cast<std::size_t>(start.size)));
  }
  bool proven = false;
  Fill(outcome, Rounds(searcher, target, start, climb, proven));
  outcome.proven = proven && !budget.stopped();
  return finish(outcome);
}

}  // namespace zelmar::plan
