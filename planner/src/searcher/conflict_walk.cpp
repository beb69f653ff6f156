// Valid plans of a given size found by a walk over plans that break rules,
// as SAT solvers' walkers look for a model: the plan holds the size asked
// from the start, and each move takes one carrier that breaks a rule to a
// candidate, the move that leaves the fewest broken rules of all the
// carriers that break one (conflicts.h), never to a place a carrier left in
// the last few moves unless that breaks fewer rules than ever before at
// this size. Now and then the carrier goes to a random place of nearly the
// least cost instead, and often any carrier moves to a random place where
// it breaks no more, so that the walk leaves the plateaus where one broken
// rule moves about. Where no rule is broken, the plan is valid; for the
// largest plan the walk then adds one carrier where it breaks the fewest
// and goes on.
#include <algorithm>
#include <limits>
#include <vector>

#include "searcher/conflicts.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

// The moves a vacated place stays closed: a few, plus a random part so that
// the walk does not fall into a cycle of its own length.
constexpr std::uint64_t kTabuMoves = 7;
constexpr std::uint64_t kTabuSpread = 8;
// One move in this many takes any carrier to a random place where it breaks
// no more rules than where it stands: the walk drifts along the plateau of
// its valid part, which opens places for the carrier that breaks one.
constexpr std::size_t kDriftIn = 4;
// Of the other moves, one in this many takes a carrier that breaks a rule
// to a random place of at most one more broken rule than the least.
constexpr std::size_t kNoiseIn = 20;
constexpr int kNoiseSlack = 1;
constexpr int kNoAspiration = std::numeric_limits<int>::max();

}  // namespace

Searcher::Result Searcher::WalkConflicts(const Result& from, int target,
                                         int most, std::uint64_t stall,
                                         bool note) {
  Result best;
  budget_end_ = 0;
  cut_ = false;
  const std::size_t fixed_count = fixed_.size();
  most = std::min(most, capacity_);
  if (counted_ || cand_.empty() || target > most ||
      target <= static_cast<int>(fixed_count)) {
    return best;
  }
  ConflictCount conflicts(rules_, cand_);
  // The fixed carriers first, which no move takes.
  std::vector<Khz> carriers(fixed_.begin(), fixed_.end());
  for (int i = 0; i < from.size; ++i) {
    const Khz f = from.plan[static_cast<std::size_t>(i)];
    if (!std::binary_search(fixed_.begin(), fixed_.end(), f)) {
      carriers.push_back(f);
    }
  }
  std::vector<int> costs, broken_by;
  std::vector<std::uint64_t> closed_until(cand_.size(), 0);
  Random random = WalkRandom(stall);
  std::uint64_t move = 0;
  // The open candidate of least cost (or, at `aspire` or below, any), at
  // random among ties; cand_.size() where none is open.
  const auto cheapest = [&](int aspire) {
    std::size_t pick = cand_.size();
    int least = std::numeric_limits<int>::max();
    std::size_t ties = 0;
    for (std::size_t i = 0; i < cand_.size(); ++i) {
      const int cost = costs[i];
      if (cost > least || (closed_until[i] > move && cost > aspire)) continue;
      if (cost < least) {
        least = cost;
        ties = 0;
      }
      if (random.Below(++ties) == 0) pick = i;
    }
    return pick;
  };
  // An open candidate of at most `slack` more than the least cost, at
  // random.
  const auto near_cheapest = [&](int slack) {
    const std::size_t c = cheapest(kNoAspiration);
    if (c == cand_.size()) return c;
    std::size_t pick = c, ties = 0;
    for (std::size_t i = 0; i < cand_.size(); ++i) {
      if (closed_until[i] <= move && costs[i] <= costs[c] + slack &&
          random.Below(++ties) == 0) {
        pick = i;
      }
    }
    return pick;
  };
  const auto add = [&] {
    conflicts.Load(carriers);
    conflicts.CostsWithout(ConflictCount::kNoSkip, costs);
    const std::size_t i = cheapest(kNoAspiration);
    carriers.push_back(
        cand_[i == cand_.size() ? random.Below(cand_.size()) : i]);
    return !Charge(conflicts.TakeWork());
  };
  const auto record = [&] {
    const std::span<const Khz> free(carriers.data() + fixed_count,
                                    carriers.size() - fixed_count);
    const Level& level =
        stack_[Build(free.data(), static_cast<int>(free.size()))];
    // The count and the levels judge alike; a plan they disagree on is
    // walked on rather than answered.
    if (!Valid(level.score)) return false;
    best.found = true;
    best.size = level.n;
    std::copy(level.carriers, level.carriers + level.n, best.plan.begin());
    std::sort(best.plan.begin(), best.plan.begin() + level.n);
    best.score = level.score;
    if (note) NoteBest(best);
    return true;
  };
  while (static_cast<int>(carriers.size()) < target) {
    if (!add()) return best;
  }
  int fewest = std::numeric_limits<int>::max();  // at this size
  for (std::uint64_t since = 0; since <= stall; ++move) {
    const int broken = conflicts.Broken(carriers, broken_by);
    if (Charge(conflicts.TakeWork())) break;
    if (broken == 0 && record()) {
      if (static_cast<int>(carriers.size()) >= most || !add()) break;
      fewest = std::numeric_limits<int>::max();
      since = 0;
      continue;
    }
    if (broken < fewest) {
      fewest = broken;
      since = 0;
    } else {
      ++since;
    }
    conflicts.Load(carriers);
    std::size_t out = carriers.size(), in = cand_.size();
    if (random.Below(kDriftIn) == 0) {
      // Any carrier to a random place that breaks no more than it does.
      out = fixed_count + random.Below(carriers.size() - fixed_count);
      conflicts.CostsWithout(out, costs);
      std::size_t ties = 0;
      for (std::size_t i = 0; i < cand_.size(); ++i) {
        if (closed_until[i] <= move && costs[i] <= broken_by[out] &&
            random.Below(++ties) == 0) {
          in = i;
        }
      }
    } else if (random.Below(kNoiseIn) == 0) {
      std::size_t seen = 0;
      for (std::size_t i = fixed_count; i < carriers.size(); ++i) {
        if (broken_by[i] > 0 && random.Below(++seen) == 0) out = i;
      }
      if (out == carriers.size()) break;
      conflicts.CostsWithout(out, costs);
      in = near_cheapest(kNoiseSlack);
    } else {
      int least = std::numeric_limits<int>::max();
      std::size_t ties = 0;
      for (std::size_t i = fixed_count; i < carriers.size(); ++i) {
        if (broken_by[i] == 0) continue;
        const int rest = broken - broken_by[i];
        conflicts.CostsWithout(i, costs);
        if (Charge(conflicts.TakeWork())) break;
        const std::size_t c = cheapest(fewest - rest - 1);
        if (c == cand_.size()) continue;
        const int total = rest + costs[c];
        if (total < least) {
          least = total;
          ties = 0;
        }
        if (total == least && random.Below(++ties) == 0) {
          out = i;
          in = c;
        }
      }
    }
    if (stopped_ || Charge(conflicts.TakeWork())) break;
    if (out == carriers.size()) break;  // only fixed carriers break rules
    const Khz left = carriers[out];
    const auto at = std::lower_bound(cand_.begin(), cand_.end(), left);
    if (at != cand_.end() && *at == left) {
      closed_until[static_cast<std::size_t>(at - cand_.begin())] =
          move + kTabuMoves + random.Below(kTabuSpread);
    }
    if (in != cand_.size()) carriers[out] = cand_[in];
  }
  return best;
}

}  // namespace zelmar::plan
