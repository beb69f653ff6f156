// The improvement phase: walks that move one free carrier at a time and
// hand the exact search good plans early. Both walks share one move
// skeleton (Walk): take a carrier out, rebuild the node of the rest, put
// the best candidate back (never one of the last few taken out), keep the
// best plan, and kick two carriers from the best plan when the walk stalls.
//  - The closest-product walk takes a carrier of the plan's closest
//    product out and puts the candidate with the best margins back.
//  - The walk for plans of many carriers, where many products share the
//    smallest distance, aims one raster step above the best margin and puts
//    back the candidate that leaves the fewest products short of it, so
//    that it crosses the wide plateaus of equal margins.
// Moves are counted for the walks' own budgets; the work of each move (the
// levels rebuilt, the candidates scanned) is charged to the search's budget
// as it is done, so a stop ends even a move over a million candidates.
#include <algorithm>
#include <cstdlib>

#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// From this many carriers on, the improvement phase also counts the
// products short of a margin, besides chasing the closest one.
constexpr int kRepairCarriers = 24;
// Moves since the best 2tx3 margin last grew after which the
// closest-product walk turns to the later families too.
constexpr std::uint64_t kMarginStall = 20'000;

// The last few values a walk took out, which it does not put back yet.
class Tabu {
 public:
  static constexpr int kMost = 15;
  explicit Tabu(int size) : size_(size) {}
  void Add(Khz v) {
    values_[static_cast<std::size_t>(at_)] = v;
    at_ = (at_ + 1) % size_;
  }
  std::span<const Khz> values() const {
    return {values_.data(), static_cast<std::size_t>(size_)};
  }

 private:
  std::array<Khz, kMost> values_{};
  int size_;
  int at_ = 0;
};

}  // namespace

bool Searcher::Charge(std::uint64_t work) {
  if (meter_.Charge(work)) stopped_ = true;
  return stopped_;
}

Random Searcher::WalkRandom(std::uint64_t moves) const {
  Random random;
  random.state ^= moves * 0x2545F4914F6CDD1Dull + nodes_;
  return random;
}

bool Searcher::Spaced(std::span<const Khz> others, Khz x) const {
  auto o = std::lower_bound(others.begin(), others.end(), x - rules_.spacing);
  return o == others.end() || *o > x + rules_.spacing;
}

// The closest-product walk.
struct Searcher::ChaseStyle {
  static constexpr int kTabu = 7;
  std::uint64_t most_stall = 400;
  std::uint64_t since_margin = 0;  // moves since the best margin last grew
  Khz best_margin = 0;

  bool Continue(const Searcher&, const Result&) const { return true; }
  int Out(const Searcher& s, const Result& plan, std::span<const Khz> free,
          Random& random) const {
    return s.PickOut(plan, free, since_margin > kMarginStall, random);
  }
  std::size_t In(Searcher& s, const Level& rest, std::span<const Khz> others,
                 std::span<const Khz> tabu, int group, Random& random,
                 Score& score) const {
    return s.BestInsert(rest, others, tabu, group, random, score);
  }
  void Moved(const Result& plan, const Result& best) {
    ++since_margin;
    if (plan.score.m[0] > best.score.m[0]) since_margin = 0;
  }
};

// The walk for plans of many carriers: aims above the best margin.
struct Searcher::AimStyle {
  static constexpr int kTabu = 15;
  std::uint64_t most_stall = 0;
  Khz aim = 0;

  bool Continue(const Searcher& s, const Result& best) {
    // The margin aimed at; the fixed carriers alone may forbid it.
    if (best.score.m[0] == kNoMargin) return false;
    aim = best.score.m[0] + s.raster_;
    return aim <= s.root_score_.m[0];
  }
  int Out(const Searcher& s, const Result& plan, std::span<const Khz> free,
          Random& random) const {
    return s.PickShortOut(plan, free, aim, random);
  }
  std::size_t In(Searcher& s, const Level& rest, std::span<const Khz> others,
                 std::span<const Khz> tabu, int group, Random& random,
                 Score& score) const {
    return s.FewestShortInsert(rest, others, tabu, group, aim, random, score);
  }
  void Moved(const Result&, const Result&) {}
};

template <class Style>
Searcher::Result Searcher::Walk(Result& plan, std::uint64_t moves,
                                Style& style) {
  Result best = plan;
  budget_end_ = 0;
  cut_ = false;
  const int free_count = plan.size - static_cast<int>(fixed_.size());
  if (free_count <= 0 || cand_.empty()) return best;
  static_assert(Style::kTabu >= 1 && Style::kTabu <= Tabu::kMost);
  Tabu tabu(Style::kTabu);
  Random random = WalkRandom(moves);
  // The free carriers of the walk's plan, with their groups.
  Carriers free{};
  Groups free_group{};
  LoadFree(plan, free, free_group);
  std::uint64_t stall = 0;
  const auto last = static_cast<std::size_t>(free_count - 1);
  for (std::uint64_t move = 0; move < moves; ++move) {
    if (!style.Continue(*this, best) || Tick()) break;
    const auto out = static_cast<std::size_t>(style.Out(
        *this, plan,
        std::span<const Khz>(free.data(), static_cast<std::size_t>(free_count)),
        random));
    std::swap(free[out], free[last]);
    std::swap(free_group[out], free_group[last]);
    tabu.Add(free[last]);
    const Level& rest = stack_[Build(free.data(), free_count - 1)];
    if (Charge(static_cast<std::uint64_t>(free_count))) break;
    std::copy(rest.carriers, rest.carriers + rest.n, sorted_.begin());
    std::sort(sorted_.begin(), sorted_.begin() + rest.n);
    Score score;
    const std::size_t pick = style.In(
        *this, rest,
        std::span<const Khz>(sorted_.data(), static_cast<std::size_t>(rest.n)),
        tabu.values(), free_group[last], random, score);
    if (stopped_) break;
    if (pick == kNone) continue;  // put back as it was
    free[last] = cand_[pick];
    plan.score = score;
    std::copy(rest.carriers, rest.carriers + rest.n, plan.plan.begin());
    plan.plan[static_cast<std::size_t>(rest.n)] = cand_[pick];
    std::sort(plan.plan.begin(), plan.plan.begin() + plan.size);
    style.Moved(plan, best);
    if (Better(plan, best)) {
      best = plan;
      NoteBest(best);
      stall = 0;
    } else if (++stall > style.most_stall) {
      // A kick from the best plan: two carriers moved at random.
      plan = best;
      LoadFree(plan, free, free_group);
      stall = 0;
      for (int kick = 0; kick < 2 && !stopped_; ++kick) {
        Kick(plan, free, free_group, free_count, random);
      }
    }
  }
  return best;
}

Searcher::Result Searcher::Improve(Result& plan, std::uint64_t moves) {
  ChaseStyle chase;
  if (plan.size < kRepairCarriers) return Walk(plan, moves, chase);
  // Chasing the closest product climbs fast; counting the products short
  // of the next margin then crosses the plateau where that stalls. That
  // walk leaves its best plan in `plan`: the next call aims above it.
  Result best = Walk(plan, moves / 2, chase);
  if (stopped_) return best;
  plan = best;
  AimStyle aim;
  aim.most_stall = 50 * static_cast<std::uint64_t>(plan.size);
  best = Walk(plan, moves - moves / 2, aim);
  plan = best;
  return best;
}

// The free carrier (an index into `free`) for the walk to take out: mostly
// one of the closest product, among those with a free carrier in them, of a
// checked family whose margin the fixed carriers alone do not set; the
// later families only once the 2tx3 margin has long stalled.
int Searcher::PickOut(const Result& plan, std::span<const Khz> free,
                      bool stalled, Random& random) const {
  const int any = static_cast<int>(random.Below(free.size()));
  if (random.Below(4) == 0) return any;
  // Any checked family whose margin the fixed carriers alone do not set:
  // where the 2tx3 margin grows no more, the others decide.
  std::array<int, kFamilyCount> open{};
  int open_count = 0;
  const std::array<bool, kFamilyCount> checked = {true, stack_.check3(),
                                                  stack_.check5()};
  for (int k = 0; k < kFamilyCount; ++k) {
    const auto f = static_cast<std::size_t>(k);
    if (checked[f] && plan.score.m[f] != root_score_.m[f] &&
        (k == 0 || stalled)) {
      open[static_cast<std::size_t>(open_count++)] = k;
    }
  }
  const int family =
      open_count <= 1
          ? (open_count == 0 ? kFamilyCount : open[0])
          : open[random.Below(static_cast<std::size_t>(open_count))];
  const int n = plan.size;
  // Four-carrier products cost n^4 to list: large plans take any carrier.
  if (family == kFamilyCount || (family > 0 && n > kTripleCarriers)) {
    return any;
  }
  const Khz* p = plan.plan.data();
  const auto is_free = [&](Khz v) {
    return std::find(free.begin(), free.end(), v) != free.end();
  };
  Khz closest = kNoMargin;
  std::array<Khz, 4> made{};  // the carriers of the closest product
  int made_count = 0;
  const auto consider = [&](Khz d, std::array<Khz, 4> carriers, int count) {
    if (d >= closest) return;
    if (std::none_of(carriers.begin(), carriers.begin() + count, is_free)) {
      return;
    }
    closest = d;
    made = carriers;
    made_count = count;
  };
  if (family == 0) {
    for (int m = 1; m + 1 < n; ++m) {
      for (int l = 0; l < m; ++l) {
        for (int r = m + 1; r < n; ++r) {
          consider(std::abs(p[l] + p[r] - 2 * p[m]), {p[l], p[m], p[r], 0}, 3);
        }
      }
    }
  }
  for (int a = 0; a < n && family > 0; ++a) {
    for (int b = a + 1; b < n; ++b) {
      for (int c = b + 1; c < n; ++c) {
        if (family == 2) {
          // 3x - 2y near z for every order of the three.
          const std::array<Khz, 3> t = {p[a], p[b], p[c]};
          for (int x = 0; x < 3; ++x) {
            for (int y = 0; y < 3; ++y) {
              if (x == y) continue;
              const Khz z = t[static_cast<std::size_t>(3 - x - y)];
              consider(std::abs(3 * t[static_cast<std::size_t>(x)] -
                                2 * t[static_cast<std::size_t>(y)] - z),
                       {t[0], t[1], t[2], 0}, 3);
            }
          }
          continue;
        }
        for (int d = c + 1; d < n; ++d) {
          const std::array<Khz, 4> q = {p[a], p[b], p[c], p[d]};
          consider(std::abs(q[0] + q[1] - q[2] - q[3]), q, 4);
          consider(std::abs(q[0] + q[2] - q[1] - q[3]), q, 4);
          consider(std::abs(q[0] + q[3] - q[1] - q[2]), q, 4);
        }
      }
    }
  }
  if (closest == kNoMargin) return any;
  std::array<int, 4> choices{};
  int count = 0;
  for (int i = 0; i < made_count; ++i) {
    const Khz v = made[static_cast<std::size_t>(i)];
    const auto at = std::find(free.begin(), free.end(), v);
    if (at != free.end()) {
      choices[static_cast<std::size_t>(count++)] =
          static_cast<int>(at - free.begin());
    }
  }
  return choices[random.Below(static_cast<std::size_t>(count))];
}

// A free carrier of a product short of the aim (of the three carriers'
// orderings), the product drawn at random; now and then any carrier, so
// that the walk does not circle round the few products it cannot mend.
int Searcher::PickShortOut(const Result& plan, std::span<const Khz> free,
                           Khz aim, Random& random) const {
  const Khz* p = plan.plan.data();
  const int n = plan.size;
  std::uint64_t short_count = 0;
  std::array<Khz, 3> triple{};
  for (int m = 1; m + 1 < n; ++m) {
    for (int l = 0; l < m; ++l) {
      for (int r = m + 1; r < n; ++r) {
        const Khz inner = std::abs(p[l] + p[r] - 2 * p[m]);
        const Khz low = p[m] + p[r] - 2 * p[l];
        const Khz high = 2 * p[r] - p[l] - p[m];
        const std::uint64_t c = (inner < aim) + (low < aim) + (high < aim);
        if (c == 0) continue;
        short_count += c;
        if (random.Below(short_count) < c) triple = {p[l], p[m], p[r]};
      }
    }
  }
  int out = -1;
  for (int tries = 0; tries < 3 && out < 0 && short_count > 0; ++tries) {
    const Khz pick = triple[random.Below(3)];
    for (std::size_t k = 0; k < free.size(); ++k) {
      if (free[k] == pick) out = static_cast<int>(k);
    }
  }
  if (out < 0 || random.Below(3) == 0) {
    out = static_cast<int>(random.Below(free.size()));
  }
  return out;
}

// The best candidate (by score, then by its own 2tx3 distance, then at
// random) to add to `level`, apart from the values in `tabu`, within
// `group` when counted (-1: any). Spacing is checked against `others`
// (sorted, the level's carriers). Returns the candidate index or kNone.
std::size_t Searcher::BestInsert(const Level& level,
                                 std::span<const Khz> others,
                                 std::span<const Khz> tabu, int group,
                                 Random& random, Score& best_score) {
  std::size_t best = kNone;
  Khz best_own = -1;
  std::uint64_t ties = 0;
  const std::size_t n = cand_.size();
  for (std::size_t i = 0; i < n;) {
    if (Charge(1)) return kNone;
    const Khz x = cand_[i];
    // Only candidates at least as good as the best so far matter.
    Khz t = rules_.guard + 1;
    if (best != kNone) {
      t = std::max(
          t, has_secondary() ? std::min(best_own, level.score.m[0]) : best_own);
    }
    Khz need = t == kNoMargin ? x : NodeStack::FirstAllowed2(level, x, t);
    auto o = std::lower_bound(others.begin(), others.end(), x - rules_.spacing);
    if (o != others.end() && *o <= x + rules_.spacing) {
      need = std::max(need, *o + rules_.spacing + 1);
    }
    if (need > x) {
      i = std::lower_bound(cand_.begin() + i + 1, cand_.end(), need) -
          cand_.begin();
      continue;
    }
    if ((group >= 0 && groups_[i] != group) ||
        std::find(tabu.begin(), tabu.end(), x) != tabu.end()) {
      ++i;
      continue;
    }
    const Score s = stack_.ScoreWith(level, x);
    if (Valid(s)) {
      const Khz own = NodeStack::Distance2(level, x);
      const bool better = best == kNone || s > best_score ||
                          (s == best_score && own > best_own);
      if (better) {
        best = i;
        best_score = s;
        best_own = own;
        ties = 1;
      } else if (s == best_score && own == best_own &&
                 random.Below(++ties) == 0) {
        best = i;
      }
    }
    ++i;
  }
  return best;
}

// The candidate that leaves the fewest products and pair sums within the
// aim of it (and of its double), found in one sweep over the candidates;
// ties go to the larger own 2tx3 distance, then at random.
std::size_t Searcher::FewestShortInsert(const Level& rest,
                                        std::span<const Khz> others,
                                        std::span<const Khz> tabu, int group,
                                        Khz aim, Random& random, Score& score) {
  const int ordered = rest.n * (rest.n - 1);
  const Khz* products = rest.products;
  const Khz* products_end = products + ordered;
  const Khz* sums = rest.sums;
  const Khz* sums_end = sums + ordered / 2;
  const Khz* p_low = products;
  const Khz* p_high = products;
  const Khz* s_low = sums;
  const Khz* s_high = sums;
  std::size_t pick = kNone;
  std::ptrdiff_t pick_count = 0;
  Khz pick_own = 0;
  std::uint64_t ties = 0;
  for (std::size_t i = 0; i < cand_.size(); ++i) {
    if (Charge(1)) return kNone;
    const Khz x = cand_[i];
    while (p_low != products_end && *p_low <= x - aim) ++p_low;
    if (p_high < p_low) p_high = p_low;
    while (p_high != products_end && *p_high < x + aim) ++p_high;
    while (s_low != sums_end && *s_low <= 2 * x - aim) ++s_low;
    if (s_high < s_low) s_high = s_low;
    while (s_high != sums_end && *s_high < 2 * x + aim) ++s_high;
    const std::ptrdiff_t count = (p_high - p_low) + (s_high - s_low);
    if (pick != kNone && count > pick_count) continue;
    if ((group >= 0 && groups_[i] != group) ||
        std::find(tabu.begin(), tabu.end(), x) != tabu.end()) {
      continue;
    }
    if (!Spaced(others, x)) continue;
    const Score s = stack_.ScoreWith(rest, x);
    if (!Valid(s)) continue;
    const Khz own = NodeStack::Distance2(rest, x);
    if (pick == kNone || count < pick_count || own > pick_own) {
      ties = 1;
    } else if (own < pick_own || random.Below(++ties) != 0) {
      continue;
    }
    pick = i;
    pick_count = count;
    pick_own = own;
    score = s;
  }
  return pick;
}

// Loads the free carriers of `r` (and their groups) into `free`.
void Searcher::LoadFree(const Result& r, Carriers& free,
                        Groups& free_group) const {
  int k = 0;
  for (int j = 0; j < r.size; ++j) {
    if (std::binary_search(fixed_.begin(), fixed_.end(), r.plan[j])) continue;
    free[k] = r.plan[j];
    const auto at = std::lower_bound(cand_.begin(), cand_.end(), r.plan[j]);
    free_group[k] = counted_ ? groups_[at - cand_.begin()] : -1;
    ++k;
  }
}

// Moves a free carrier chosen at random to the first valid place from a
// random start (it stays where none is found).
void Searcher::Kick(Result& plan, Carriers& free, Groups& free_group,
                    int free_count, Random& random) {
  const int k = static_cast<int>(random.Below(free_count));
  std::swap(free[k], free[free_count - 1]);
  std::swap(free_group[k], free_group[free_count - 1]);
  const std::size_t top = Build(free.data(), free_count - 1);
  const Level& level = stack_[top];
  std::copy(level.carriers, level.carriers + level.n, sorted_.begin());
  std::sort(sorted_.begin(), sorted_.begin() + level.n);
  const std::size_t start = random.Below(cand_.size());
  for (std::size_t step = 0; step < cand_.size(); ++step) {
    if (Charge(1)) return;
    const std::size_t i = (start + step) % cand_.size();
    const Khz x = cand_[i];
    if (free_group[free_count - 1] >= 0 &&
        groups_[i] != free_group[free_count - 1]) {
      continue;
    }
    auto o = std::lower_bound(sorted_.begin(), sorted_.begin() + level.n,
                              x - rules_.spacing);
    if (o != sorted_.begin() + level.n && *o <= x + rules_.spacing) continue;
    const Score s = stack_.ScoreWith(level, x);
    if (!Valid(s)) continue;
    free[free_count - 1] = x;
    plan.score = s;
    std::copy(level.carriers, level.carriers + level.n, plan.plan.begin());
    plan.plan[level.n] = x;
    std::sort(plan.plan.begin(), plan.plan.begin() + plan.size);
    return;
  }
}

}  // namespace zelmar::plan
