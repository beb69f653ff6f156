// Exact branch and bound over the candidate channels.
//
// A node is a set of carriers: the fixed ones plus candidates chosen in
// ascending order, so the depth-first search meets complete plans in
// lexicographic order. Every node keeps, sorted, the values its carriers
// forbid for the next one:
//  - products 2p - q of every ordered pair: a new carrier x needs
//    |x - (2p - q)| >= threshold (p is then the middle of a triple);
//  - sums p + q of every pair: x needs |2x - (p + q)| >= threshold (x is the
//    middle);
//  - the fixed carriers and the last chosen one, by the spacing.
// A forbidden candidate is skipped with one jump to the first value past its
// window. The threshold is the guard plus one at first; once a plan of margin
// m is found it becomes m + 1, so only strictly better plans follow, and the
// first plan of the best margin met in lexicographic order is the one kept.
// Every node's state lives in fixed arrays: no heap allocation per node.
#include <algorithm>
#include <array>
#include <limits>
#include <numeric>

#include "zelmar/planner.h"

namespace zelmar::plan {
namespace {

constexpr Khz kNoMargin = std::numeric_limits<Khz>::max();
constexpr int kMaxPairs = kMaxCarriers * (kMaxCarriers - 1) / 2;
constexpr std::uint64_t kStopCheckInterval = 4096;

struct Level {
  std::array<Khz, 2 * kMaxPairs> products;
  std::array<Khz, kMaxPairs> sums;
  std::array<Khz, kMaxCarriers> carriers;  // unordered
  int product_count = 0;
  int sum_count = 0;
  int carrier_count = 0;
  Khz margin = kNoMargin;
  Khz last_chosen = 0;  // 0: nothing chosen yet
};

// Distance from `x` to the nearest of the sorted values, or kNoMargin.
Khz Nearest(const Khz* begin, const Khz* end, Khz x) {
  const Khz* it = std::lower_bound(begin, end, x);
  Khz best = kNoMargin;
  if (it != end) best = *it - x;
  if (it != begin) best = std::min(best, x - *(it - 1));
  return best;
}

// Merges the sorted `add` into the sorted `values[0, count)`, in place and
// from the back (std::inplace_merge may take a heap buffer).
void MergeInto(Khz* values, int count, const Khz* add, int add_count) {
  int i = count - 1, j = add_count - 1, k = count + add_count - 1;
  while (j >= 0) {
    if (i >= 0 && values[i] > add[j]) {
      values[k--] = values[i--];
    } else {
      values[k--] = add[j--];
    }
  }
}

std::optional<Khz> MarginOf(Khz margin) {
  if (margin == kNoMargin) return std::nullopt;
  return margin;
}

class Searcher {
 public:
  enum class Mode { kFirst, kBest };

  Searcher(std::span<const Khz> candidates, std::span<const Khz> fixed,
           const Rules& rules, const StopCheck& stop)
      : cand_(candidates), fixed_(fixed), rules_(rules), stop_(stop) {
    top_ = candidates.empty() ? 0 : candidates.back();
    if (!fixed.empty()) top_ = std::max(top_, fixed.back());
    // When every carrier lies on one raster, every gap and every distance
    // |l + r - 2m| is a whole number of raster steps.
    const Khz origin = candidates.empty() ? 0 : candidates.front();
    for (Khz v : candidates) raster_ = std::gcd(raster_, v - origin);
    for (Khz v : fixed) raster_ = std::gcd(raster_, v - origin);
    if (raster_ == 0) raster_ = 1;
    Level& root = levels_[0];
    for (Khz f : fixed) {
      root.margin = MarginWith(root, f);
      Add(root, f);
    }
  }

  struct Result {
    bool found = false;
    std::array<Khz, kMaxCarriers> plan{};  // sorted
    Khz margin = kNoMargin;
  };

  // Plans of `target` carriers whose triples are all at least `threshold`
  // apart. kFirst stops at the first; kBest keeps raising the threshold.
  // `node_budget` (0: none) ends the run early like a stop does. No plan
  // reaches `ceiling`, so kBest is done once its threshold gets there.
  Result Run(int target, Khz threshold, Mode mode,
             std::uint64_t node_budget = 0, Khz ceiling = kNoMargin) {
    target_ = target;
    ceiling_ = ceiling;
    threshold_ = threshold;
    mode_ = mode;
    budget_end_ = node_budget == 0 ? 0 : nodes_ + node_budget;
    cut_ = false;
    done_ = false;
    result_ = Result{};
    progress_.carriers = target;
    if (levels_[0].carrier_count == target) {
      if (levels_[0].margin >= threshold) Record(levels_[0]);
    } else {
      Descend(0, 0);
    }
    return result_;
  }

  bool stopped() const { return stopped_; }
  // The raster all carriers lie on (1 kHz at least).
  Khz raster() const { return raster_; }
  bool cut() const { return cut_; }  // the last run ended early
  std::uint64_t nodes() const { return nodes_; }
  void NoteBound(Khz bound) { progress_.margin_bound = bound; }
  void NoteBest(const Result& best, int size) {
    progress_.have_plan = true;
    progress_.best_margin = MarginOf(best.margin);
    progress_.best_plan.assign(best.plan.begin(), best.plan.begin() + size);
  }

 private:
  // Adds carrier x to `level` (whose margin must already account for x).
  static void Add(Level& level, Khz x) {
    Khz new_products[2 * kMaxCarriers];
    Khz new_sums[kMaxCarriers];
    int np = 0, ns = 0;
    for (int i = 0; i < level.carrier_count; ++i) {
      const Khz p = level.carriers[i];
      new_products[np++] = 2 * x - p;
      new_products[np++] = 2 * p - x;
      new_sums[ns++] = x + p;
    }
    std::sort(new_products, new_products + np);
    std::sort(new_sums, new_sums + ns);
    MergeInto(level.products.data(), level.product_count, new_products, np);
    MergeInto(level.sums.data(), level.sum_count, new_sums, ns);
    level.product_count += np;
    level.sum_count += ns;
    level.carriers[level.carrier_count++] = x;
  }

  // The margin `level` would have with x added.
  static Khz MarginWith(const Level& level, Khz x) {
    const Khz* p = level.products.data();
    const Khz* s = level.sums.data();
    Khz margin = std::min(level.margin, Nearest(p, p + level.product_count, x));
    // |2x - s| for the nearest sum.
    const Khz* it = std::lower_bound(s, s + level.sum_count, 2 * x);
    if (it != s + level.sum_count) margin = std::min(margin, *it - 2 * x);
    if (it != s) margin = std::min(margin, 2 * x - *(it - 1));
    return margin;
  }

  // The smallest value >= x that `level` allows as the next carrier.
  Khz FirstAllowed(const Level& level, Khz x) const {
    const Khz t = threshold_;
    const Khz* p = level.products.data();
    const Khz* pe = p + level.product_count;
    const Khz* it = std::lower_bound(p, pe, x - t + 1);
    Khz need = x;
    if (it != pe && *it <= x + t - 1) need = std::max(need, *it + t);
    const Khz* s = level.sums.data();
    const Khz* se = s + level.sum_count;
    it = std::lower_bound(s, se, 2 * x - t + 1);
    if (it != se && *it <= 2 * x + t - 1) {
      need = std::max(need, (*it + t + 1) / 2);
    }
    const Khz spacing = rules_.spacing;
    auto f = std::lower_bound(fixed_.begin(), fixed_.end(), x - spacing);
    if (f != fixed_.end() && *f <= x + spacing) {
      need = std::max(need, *f + spacing + 1);
    }
    return need;
  }

  Khz RoundUp(Khz value) const {
    if (value == kNoMargin) return value;
    return (value + raster_ - 1) / raster_ * raster_;
  }

  bool Tick() {
    ++nodes_;
    if (budget_end_ != 0 && nodes_ >= budget_end_) {
      cut_ = true;
      return true;
    }
    if (nodes_ % kStopCheckInterval == 0 && stop_) {
      progress_.nodes = nodes_;
      if (stop_(progress_)) {
        stopped_ = true;
        cut_ = true;
        return true;
      }
    }
    return false;
  }

  void Record(const Level& level) {
    result_.found = true;
    std::copy(level.carriers.begin(),
              level.carriers.begin() + level.carrier_count,
              result_.plan.begin());
    std::sort(result_.plan.begin(), result_.plan.begin() + level.carrier_count);
    result_.margin = level.margin;
    NoteBest(result_, level.carrier_count);
    // Without triples every plan ties: the first is best.
    if (mode_ == Mode::kFirst || level.margin == kNoMargin ||
        RoundUp(level.margin + 1) >= ceiling_) {
      done_ = true;
    } else {
      threshold_ = level.margin + 1;
    }
  }

  // Extends levels_[depth] by candidates from index `from` on.
  void Descend(int depth, std::size_t from) {
    const Level& level = levels_[depth];
    const int remaining = target_ - level.carrier_count;  // >= 1
    const Khz step = RoundUp(rules_.spacing + 1);
    const std::size_t n = cand_.size();
    std::size_t i = from;
    if (level.last_chosen != 0) {
      const Khz low = level.last_chosen + rules_.spacing + 1;
      i = std::lower_bound(cand_.begin() + i, cand_.end(), low) - cand_.begin();
    }
    while (i < n) {
      if (done_ || cut_ || level.margin < threshold_) return;
      if (n - i < static_cast<std::size_t>(remaining)) return;
      const Khz x = cand_[i];
      const Khz need = FirstAllowed(level, x);
      if (need > x) {
        i = std::lower_bound(cand_.begin() + i + 1, cand_.end(), need) -
            cand_.begin();
        continue;
      }
      // The carriers still to come above x, with gaps of at least `step`
      // whose neighbours differ by at least the threshold.
      // Up to the next fixed carrier, a candidate that fails this bound
      // leaves every later one failing it too.
      const auto next_fixed = std::upper_bound(fixed_.begin(), fixed_.end(), x);
      const Khz above = remaining - 1 + (fixed_.end() - next_fixed);
      if (top_ - x < above * step + above / 2 * RoundUp(threshold_)) {
        if (next_fixed == fixed_.end()) return;
        i = std::upper_bound(cand_.begin() + i, cand_.end(), *next_fixed) -
            cand_.begin();
        continue;
      }
      if (Tick()) return;
      const Khz margin = MarginWith(level, x);
      Level& child = levels_[depth + 1];
      child = level;
      child.margin = margin;
      Add(child, x);
      child.last_chosen = x;
      if (remaining == 1) {
        Record(child);
      } else {
        Descend(depth + 1, i + 1);
      }
      ++i;
    }
  }

  std::span<const Khz> cand_;
  std::span<const Khz> fixed_;
  Rules rules_;
  const StopCheck& stop_;
  Khz top_ = 0;
  Khz raster_ = 0;
  std::array<Level, kMaxCarriers + 1> levels_{};
  int target_ = 0;
  Khz threshold_ = 1;
  Khz ceiling_ = kNoMargin;
  Mode mode_ = Mode::kFirst;
  std::uint64_t nodes_ = 0;
  std::uint64_t budget_end_ = 0;
  bool stopped_ = false;
  bool cut_ = false;
  bool done_ = false;
  Result result_;
  SearchProgress progress_;
};

void Fill(PlanOutcome& outcome, const Searcher::Result& result, int size) {
  outcome.status = PlanOutcome::Status::kFound;
  outcome.plan.assign(result.plan.begin(), result.plan.begin() + size);
  outcome.margin = MarginOf(result.margin);
}

// A good plan quickly, to start the exact search from: raises the margin
// asked of a first-found plan (doubling, then halving the interval) while
// budgeted searches find one; a search cut short by its budget is tried
// again with a larger one, a search that ran to its end proves the margin out
// of reach. Margins are whole raster steps, so only those are asked.
struct Climbed {
  Searcher::Result best;
  Khz out_of_reach = kNoMargin;  // no plan has this margin or more
};
Climbed Climb(Searcher& searcher, int target, const Searcher::Result& start) {
  constexpr std::uint64_t kFirstBudget = 20'000;
  constexpr std::uint64_t kLastBudget = 5'120'000;
  const Khz raster = searcher.raster();
  Climbed climbed;
  climbed.best = start;
  Khz low = start.margin;  // reached
  for (std::uint64_t budget = kFirstBudget;
       budget <= kLastBudget && !searcher.stopped(); budget *= 4) {
    Khz high = climbed.out_of_reach;  // not reached within this budget
    bool cut = false;
    while (!searcher.stopped()) {
      Khz ask = high == kNoMargin ? low * 2 : low + (high - low) / 2;
      ask = (ask + raster - 1) / raster * raster;
      if (ask <= low || ask >= high) break;
      const Searcher::Result r =
          searcher.Run(target, ask, Searcher::Mode::kFirst, budget);
      if (r.found) {
        climbed.best = r;
        low = r.margin;
        searcher.NoteBest(r, target);
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
// plan found; `stopped` when the stop check ended the search first.
struct Largest {
  int size = 0;
  Searcher::Result plan;
};
Largest FindLargest(Searcher& searcher, int fixed_count, int limit, Khz guard) {
  Largest largest;
  largest.size = fixed_count;
  if (fixed_count > 0)
    largest.plan = searcher.Run(fixed_count, guard + 1, Searcher::Mode::kFirst);
  for (int size = fixed_count + 1; size <= limit; ++size) {
    const Searcher::Result r =
        searcher.Run(size, guard + 1, Searcher::Mode::kFirst);
    if (!r.found) break;
    largest.size = size;
    largest.plan = r;
  }
  return largest;
}

}  // namespace

PlanOutcome FindBestPlan(const PlanRequest& request, const StopCheck& stop) {
  PlanOutcome outcome;
  std::vector<Khz> fixed = request.fixed;
  std::sort(fixed.begin(), fixed.end());
  const int fixed_count = static_cast<int>(fixed.size());
  const Rules& rules = request.rules;
  if (fixed_count > kMaxCarriers ||
      (request.count > 0 && request.count < fixed_count)) {
    outcome.largest = 0;
    outcome.proven = true;
    return outcome;
  }
  if (FindViolation(fixed, rules).rule != Violation::Rule::kNone) {
    outcome.status = PlanOutcome::Status::kFixedBroken;
    outcome.largest = 0;
    outcome.proven = true;
    return outcome;
  }

  Searcher searcher(request.candidates, fixed, rules, stop);
  const auto finish = [&](PlanOutcome& o) -> PlanOutcome& {
    o.nodes = searcher.nodes();
    return o;
  };
  int target = request.count;
  Searcher::Result start;
  if (target == 0) {
    const int limit = static_cast<int>(std::min<std::size_t>(
        kMaxCarriers, fixed.size() + request.candidates.size()));
    const Largest largest =
        FindLargest(searcher, fixed_count, limit, rules.guard);
    if (largest.size == 0) {
      if (searcher.stopped()) return finish(outcome);
      outcome.largest = 0;
      outcome.proven = true;
      return finish(outcome);
    }
    if (searcher.stopped()) {
      Fill(outcome, largest.plan, largest.size);
      return finish(outcome);
    }
    target = largest.size;
    start = largest.plan;
  } else {
    start = searcher.Run(target, rules.guard + 1, Searcher::Mode::kFirst);
    if (!start.found) {
      if (searcher.stopped()) return finish(outcome);
      // Proven: no plan of this size. How many carriers do fit?
      const Largest largest =
          FindLargest(searcher, fixed_count, target - 1, rules.guard);
      if (!searcher.stopped()) {
        outcome.largest = largest.size;
        outcome.proven = true;
      }
      return finish(outcome);
    }
  }
  searcher.NoteBest(start, target);

  Climbed climbed{start};
  if (start.margin != kNoMargin) climbed = Climb(searcher, target, start);
  const Searcher::Result& incumbent = climbed.best;
  Searcher::Result exact;
  if (!searcher.stopped()) {
    // Plans of the incumbent's margin are accepted again, so that the
    // lexicographically first of them is found.
    const Khz threshold = incumbent.margin == kNoMargin
                              ? rules.guard + 1
                              : std::max(rules.guard + 1, incumbent.margin);
    exact = searcher.Run(target, threshold, Searcher::Mode::kBest, 0,
                         climbed.out_of_reach);
  }
  const bool exact_better =
      exact.found &&
      (exact.margin > incumbent.margin ||
       (exact.margin == incumbent.margin &&
        std::lexicographical_compare(
            exact.plan.begin(), exact.plan.begin() + target,
            incumbent.plan.begin(), incumbent.plan.begin() + target)));
  Fill(outcome, exact_better ? exact : incumbent, target);
  outcome.proven = !searcher.stopped();
  return finish(outcome);
}

}  // namespace zelmar::plan
