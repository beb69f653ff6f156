// Large plans found fast, for the largest plan and for a first plan of the
// size asked where the exact search takes long: first fit in ascending
// order, then an iterated local search as maximum independent set solvers
// walk: take one or two carriers out at random and fill the plan again,
// each time with the first channel free of every rule from a random point
// on (conflicts.h tells every channel's broken rules in one pass). A plan
// no smaller is kept, one carrier smaller now and then, so that the walk
// crosses plateaus of equal size; two smaller, the walk goes back to the
// largest plan.
#include <algorithm>
#include <vector>

#include "conflicts.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

// One kept plan in this many is a carrier smaller than the last.
constexpr std::size_t kDownhillIn = 20;

}  // namespace

bool Searcher::TakeValid(std::span<const Khz> free, bool note, Result& best) {
  const Level& level =
      stack_[Build(free.data(), static_cast<int>(free.size()))];
  // The count of broken rules and the levels judge alike; a plan they
  // disagree on is not answered.
  if (!Valid(level.score)) return false;
  best.found = true;
  best.size = level.n;
  std::copy(level.carriers, level.carriers + level.n, best.plan.begin());
  std::sort(best.plan.begin(), best.plan.begin() + level.n);
  best.score = level.score;
  if (note) NoteBest(best);
  return true;
}

Searcher::Result Searcher::Grow(const Result& from, int most,
                                std::uint64_t stall, bool note) {
  Result best;
  budget_end_ = 0;
  cut_ = false;
  const std::size_t fixed_count = fixed_.size();
  const int free_most =
      std::min(most, capacity_) - static_cast<int>(fixed_count);
  if (counted_ || free_most <= 0 || cand_.empty()) return best;
  ConflictCount count(ConflictRules::OneGroup(rules_), cand_);
  const std::size_t n = cand_.size();
  std::vector<int> costs;
  // The fixed carriers first, then the free ones of the plan to start from.
  std::vector<Khz> current(fixed_.begin(), fixed_.end());
  for (int i = 0; i < from.size; ++i) {
    const Khz f = from.plan[static_cast<std::size_t>(i)];
    if (!std::binary_search(fixed_.begin(), fixed_.end(), f)) {
      current.push_back(f);
    }
  }
  const auto free_of = [&](const std::vector<Khz>& plan) {
    return static_cast<int>(plan.size() - fixed_count);
  };
  const auto record = [&](const std::vector<Khz>& plan) {
    return TakeValid(std::span<const Khz>(plan).subspan(fixed_count), note,
                     best);
  };
  // Adds the first channel free of every rule from index `start` on (around
  // the end) while there is one. The work is charged once the channel is
  // in, so that a plan larger than any before (`noted`) is the search's
  // best before the stop is asked.
  const auto fill = [&](std::vector<Khz>& plan, std::size_t start, bool noted) {
    while (free_of(plan) < free_most) {
      count.Load(plan);
      count.CostsWithout(ConflictCount::kNoSkip, costs);
      std::size_t k = 0;
      while (k < n && costs[(start + k) % n] != 0) ++k;
      if (k < n) plan.push_back(cand_[(start + k) % n]);
      if (k < n && noted && !record(plan)) return false;
      if (Charge(count.TakeWork()) || k == n) return true;
    }
    return true;
  };
  if (!record(current) || !fill(current, 0, true)) return best;
  std::vector<Khz> largest = current, next;
  Random random = WalkRandom(stall);
  for (std::uint64_t since = 0; since < stall && free_of(current) > 0 &&
                                free_of(largest) < free_most && !stopped_;
       ++since) {
    next = current;
    const std::size_t out = 1 + random.Below(2);
    for (std::size_t k = 0; k < out && free_of(next) > 0; ++k) {
      next.erase(next.begin() +
                 static_cast<std::ptrdiff_t>(
                     fixed_count + random.Below(next.size() - fixed_count)));
    }
    fill(next, random.Below(n), false);
    if (stopped_) break;
    if (next.size() >= current.size() ||
        (next.size() + 1 == current.size() && random.Below(kDownhillIn) == 0)) {
      current.swap(next);
    }
    if (current.size() > largest.size()) {
      if (!record(current)) break;
      largest = current;
      since = 0;
    } else if (current.size() + 2 <= largest.size()) {
      current = largest;
    }
  }
  return best;
}

}  // namespace zelmar::plan
