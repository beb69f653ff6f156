// Exact branch and bound over the candidate channels, and an improvement
// phase that hands it good plans early.
//
// A node is a set of carriers: the fixed ones plus candidates chosen in
// ascending order, so the depth-first search meets complete plans in
// lexicographic order. Every node keeps, sorted, the values its carriers
// forbid or measure for the next one:
//  - 2tx3: products 2p - q of every ordered pair (a new carrier x is then
//    the victim) and sums p + q of every pair (|2x - (p + q)|: x makes the
//    product with one of them);
//  - 3tx3: sums p + q with the pair's indices (|x + a - (p + q)| over
//    carriers a not in the pair covers every four carriers with x);
//  - 2tx5: 3a - 2b (x the victim), 2b + c (3x - 2b near c) and 3a - c
//    (3a - 2x near c) over ordered pairs;
//  - the fixed carriers and the last chosen one, by the spacing.
// A candidate whose 2tx3 distance falls below the threshold is skipped with
// one jump to the first value past its window. A node's margins only fall as
// carriers join, so a node whose margins (in family order) are below the
// best plan's is cut. Where plans fill much of a narrow band, bounds on the
// span of any k valid carriers (found by small searches of their own, as
// ruler searches keep tables of bounds) cut a node whose carriers so far,
// or those still to come, cannot fit. Every node's state lives in buffers
// sized once per search: no heap allocation per node.
//
// The improvement phase is a large-neighbourhood search: it takes a carrier
// of the plan's closest 2tx3 product out and puts the best candidate for it
// back (all candidates scanned with the same jumps), with a short tabu list
// and kicks from the best plan when it stalls. On plans of many carriers,
// where many products share the smallest distance, that walk gets half the
// moves; the other half aim one step above the best margin and move
// carriers so as to leave the fewest products short of it. It runs in
// rounds of growing budgets between rounds of the exact search; all budgets
// count moves and nodes, never time, so a search that runs to its end gives
// the same answer on every run. The first plan comes from the exact search
// within a budget, or else from a greedy build.
#include <algorithm>
#include <array>
#include <compare>
#include <cstdlib>
#include <limits>
#include <numeric>

#include "zelmar/planner.h"

namespace zelmar::plan {
namespace {

constexpr Khz kNoMargin = std::numeric_limits<Khz>::max();
// Up to this many carriers a level keeps every 3tx3 value p + q - a sorted
// (n (n - 1) (n - 2) / 2 of them), so that 3tx3 windows are jumped over like
// 2tx3 ones; larger plans measure 3tx3 through the pair sums instead.
constexpr int kTripleCarriers = 24;
constexpr int kNewTriples = 3 * kTripleCarriers * (kTripleCarriers - 1) / 2;
constexpr std::uint64_t kStopCheckInterval = 4096;
// From this many carriers on, the improvement phase also counts the
// products short of a margin, besides chasing the closest one.
constexpr int kRepairCarriers = 24;

// Margins in family order; kNoMargin where nothing is measured (or the
// family is not checked). Larger is better, compared lexicographically.
struct Score {
  std::array<Khz, kFamilyCount> m{kNoMargin, kNoMargin, kNoMargin};
  // Written out: the WebAssembly build's C++ library has no std::array <=>.
  friend bool operator==(const Score& a, const Score& b) { return a.m == b.m; }
  friend std::strong_ordering operator<=>(const Score& a, const Score& b) {
    for (std::size_t k = 0; k < a.m.size(); ++k) {
      if (a.m[k] != b.m[k]) return a.m[k] <=> b.m[k];
    }
    return std::strong_ordering::equal;
  }
};

struct PairSum {
  Khz sum;
  std::uint8_t i, j;  // indices into the level's carriers
};

struct Level {
  Khz* products = nullptr;      // 2p - q, n (n - 1)
  Khz* sums = nullptr;          // p + q, n (n - 1) / 2
  PairSum* pairs = nullptr;     // 3tx3 only
  Khz* triples = nullptr;       // 3tx3 with at most kTripleCarriers
  Khz* diffs = nullptr;         // with `triples`: p - q, n (n - 1)
  std::array<Khz*, 3> fifth{};  // 2tx5 only: 3a - 2b, 2b + c, 3a - c
  Khz* carriers = nullptr;      // in the order added
  int n = 0;                    // carriers
  Score score;
  Khz last_chosen = 0;  // 0: nothing chosen yet
  std::array<std::uint8_t, kMaxGroups> taken{};
};

// Distance from `x` to the nearest of the sorted values, or kNoMargin.
Khz Nearest(const Khz* begin, const Khz* end, Khz x) {
  const Khz* it = std::lower_bound(begin, end, x);
  Khz best = kNoMargin;
  if (it != end) best = *it - x;
  if (it != begin) best = std::min(best, x - *(it - 1));
  return best;
}

// The optimal Golomb ruler lengths for 1, 2, ... marks: no k marks with
// pairwise distinct differences span fewer units.
constexpr std::array<Khz, 28> kGolombLength = {
    0,   1,   3,   6,   11,  17,  25,  34,  44,  55,  72,  85,  106, 127,
    151, 177, 199, 216, 246, 283, 333, 356, 372, 425, 480, 492, 553, 585};

// A small deterministic generator for the improvement phase.
struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : Next() % n; }
};

// Lower bounds on the span (highest minus lowest carrier) of any valid plan
// of k carriers whose 2tx3 margin is at least `threshold`, wherever on the
// raster they lie: the tables of bounds of ruler searches. The bound for k
// is probed with plans of k carriers between two fixed ones S raster steps
// apart, S growing from the bound for k - 1: each S without such a plan
// raises the bound, the first S with one is the span itself.
struct SpanTable {
  Khz threshold = 0;  // 0: no table yet
  std::array<Khz, kMaxCarriers + 1> span{};
  int next_count = 3;  // the count being probed
  Khz next_steps = 0;  // the span being probed, in raster steps
  bool done = false;
};

// The last N values a walk took out, which it does not put back yet.
template <int N>
struct Tabu {
  std::array<Khz, N> values{};
  int at = 0;
  void Add(Khz v) {
    values[static_cast<std::size_t>(at)] = v;
    at = (at + 1) % N;
  }
  bool Holds(Khz v) const {
    return std::find(values.begin(), values.end(), v) != values.end();
  }
};

class Searcher {
 public:
  enum class Mode { kFirst, kBest };

  struct Result {
    bool found = false;
    std::array<Khz, kMaxCarriers> plan{};  // sorted
    int size = 0;
    Score score;
  };

  Searcher(const PlanRequest& request, std::span<const Khz> fixed,
           int most_carriers, const StopCheck& stop)
      : cand_(request.candidates),
        fixed_(fixed),
        rules_(request.rules),
        stop_(stop),
        check3_(request.rules.window_3tx3.has_value()),
        check5_(request.rules.window_2tx5.has_value()) {
    groups_ = request.groups;
    need_ = request.group_counts;
    counted_ = !need_.empty();
    if (counted_) {
      group_index_.resize(need_.size());
      for (std::size_t i = 0; i < groups_.size(); ++i) {
        group_index_[groups_[i]].push_back(static_cast<std::uint32_t>(i));
      }
    }
    top_ = cand_.empty() ? 0 : cand_.back();
    if (!fixed.empty()) top_ = std::max(top_, fixed.back());
    low_ = cand_.empty() ? top_ : cand_.front();
    if (!fixed.empty()) low_ = std::min(low_, fixed.front());
    // When every carrier lies on one raster, every gap and every distance
    // is a whole number of raster steps.
    const Khz origin = cand_.empty() ? 0 : cand_.front();
    for (Khz v : cand_) raster_ = std::gcd(raster_, v - origin);
    for (Khz v : fixed) raster_ = std::gcd(raster_, v - origin);
    if (raster_ == 0) raster_ = 1;

    // One buffer for every level: sized for the most carriers once.
    capacity_ = most_carriers;
    const std::size_t n = static_cast<std::size_t>(most_carriers);
    const std::size_t ordered = n * (n - 1 + (n == 0));
    triples_ = check3_ && most_carriers <= kTripleCarriers;
    const std::size_t triples = triples_ ? ordered * (n - 1) / 2 : 0;
    const std::size_t per_level = ordered + ordered / 2 +
                                  (check5_ ? 3 * ordered : 0) + n + triples +
                                  (triples_ ? ordered : 0);
    levels_.resize(n + 2);
    khz_pool_.resize(per_level * levels_.size());
    pair_pool_.resize(check3_ ? ordered / 2 * levels_.size() : 0);
    for (std::size_t l = 0; l < levels_.size(); ++l) {
      Khz* at = khz_pool_.data() + l * per_level;
      Level& level = levels_[l];
      level.products = at;
      at += ordered;
      level.sums = at;
      at += ordered / 2;
      for (Khz*& f : level.fifth) {
        f = at;
        if (check5_) at += ordered;
      }
      level.carriers = at;
      at += n;
      level.triples = at;
      at += triples;
      level.diffs = at;
      if (check3_) level.pairs = pair_pool_.data() + l * (ordered / 2);
    }
    // The fixed carriers, added back and forth between two levels.
    int at = 0;
    for (Khz f : fixed) {
      Level& from = levels_[at];
      Level& to = levels_[1 - at];
      to.score = ScoreWith(from, f);
      Add(from, to, f);
      at = 1 - at;
    }
    if (at == 1) std::swap(levels_[0], levels_[1]);
    root_score_ = levels_[0].score;
    sorted_.resize(n + 1);
  }

  // The fixed carriers' own margins (they are valid: checked before).
  Score root_score() const { return root_score_; }
  bool has_secondary() const { return check3_ || check5_; }

  // Plans of `target` carriers, valid, with a 2tx3 margin of at least
  // `threshold`. kFirst stops at the first; kBest finds the best plan
  // better than `floor` (or equal to it when `accept_equal`). `node_budget`
  // (0: none) ends the run early like a stop does. No plan has a 2tx3
  // margin of `ceiling` or more.
  Result Run(int target, Khz threshold, Mode mode,
             std::uint64_t node_budget = 0, Khz ceiling = kNoMargin,
             std::optional<Score> floor = std::nullopt,
             bool accept_equal = false) {
    target_ = target;
    ceiling_ = ceiling;
    threshold_ = std::max(threshold, rules_.guard + 1);
    mode_ = mode;
    floor_ = floor;
    accept_equal_ = accept_equal;
    if (floor_ && mode_ == Mode::kBest) {
      const Khz m = floor_->m[0];
      if (m != kNoMargin) {
        threshold_ = std::max(threshold_,
                              (has_secondary() || accept_equal_) ? m : m + 1);
      }
    }
    budget_end_ = node_budget == 0 ? 0 : nodes_ + node_budget;
    cut_ = false;
    done_ = false;
    result_ = Result{};
    if (target > capacity_) {
      // The buffers hold no more carriers: never asked by FindBestPlan,
      // and answered as a search cut short, not as a proof.
      cut_ = true;
      return result_;
    }
    progress_.carriers = target;
    if (levels_[0].n == target) {
      if (Acceptable(levels_[0].score)) Record(levels_[0]);
    } else {
      Descend(0, 0);
    }
    return result_;
  }

  // Improves `plan` (a valid plan of `target` carriers) for `moves` moves.
  // Returns the best plan met; `plan` is kept as the walk's current plan
  // (on plans of many carriers, the best plan: see Repair).
  Result Improve(Result& plan, std::uint64_t moves);

  // The walk that takes a carrier of the closest 2tx3 product out and puts
  // the best candidate back, with a short tabu list and kicks from the best
  // plan when it stalls.
  Result Chase(Result& plan, std::uint64_t moves);

  // A walk's generator: seeded from its budget and the nodes so far, so
  // that every round walks differently and every run the same.
  Random WalkRandom(std::uint64_t moves) const {
    Random random;
    random.state ^= moves * 0x2545F4914F6CDD1Dull + nodes_;
    return random;
  }

  // The free carrier (an index into `free`) for the walk to take out:
  // mostly one of the closest product, among those with a free carrier in
  // them, of a checked family whose margin the fixed carriers alone do not
  // set; the later families only once the 2tx3 margin has long stalled.
  int PickOut(const Result& plan, std::span<const Khz> free, bool stalled,
              Random& random) const;

  // The improvement phase for plans of many carriers: the walk aims at a
  // 2tx3 margin one raster step above the best plan's and counts the
  // products (of the three carriers' orderings) short of it. A move takes a
  // carrier of such a product out and puts it where it makes the fewest, so
  // that the walk crosses the wide plateaus of equal margins. Returns the
  // best plan met and leaves it in `plan`: the next call aims above it.
  Result Repair(Result& plan, std::uint64_t moves);

  // A valid plan of `target` carriers built greedily, for requests whose
  // first plan in ascending order lies far in: each carrier in turn goes to
  // the best place left for it, the counted band with the fewest candidates
  // per missing carrier first. Later attempts start from a random carrier.
  // Not found when every attempt ran into a dead end.
  Result Construct(int target, int attempts);

  bool stopped() const { return stopped_; }
  Khz raster() const { return raster_; }
  bool cut() const { return cut_; }  // the last run ended early
  std::uint64_t nodes() const { return nodes_; }
  void NoteBest(const Result& r) {
    progress_.have_plan = true;
    progress_.best_margin = MarginOf(r.score.m[0]);
    progress_.best_plan.assign(r.plan.begin(), r.plan.begin() + r.size);
  }
  void NoteBound(Khz out_of_reach) {
    if (out_of_reach == kNoMargin) return;
    const Khz bound = std::max<Khz>(0, out_of_reach - raster_);
    if (!progress_.bound || bound < *progress_.bound) progress_.bound = bound;
  }
  // The bound from the span alone: `target` carriers with gaps of more
  // than the spacing, each two neighbouring gaps differing by the margin.
  void NoteSpanBound(int target) {
    if (target < 3) return;
    Khz low = cand_.empty() ? top_ : cand_.front();
    if (!fixed_.empty()) low = std::min(low, fixed_.front());
    const Khz gaps = target - 1;
    const Khz room = top_ - low - gaps * RoundUp(rules_.spacing + 1);
    const Khz t = room < 0 ? 0 : room / (gaps / 2) / raster_ * raster_;
    NoteBound(t + raster_);
  }
  const SearchProgress& progress() const { return progress_; }

  // Whether bounds on spans may pay: a raster of few steps, where plans
  // fill much of the band.
  bool SpansWorthwhile() const {
    constexpr Khz kMostSteps = 4096;
    return raster_ > 0 && (top_ - low_) / raster_ <= kMostSteps;
  }

  // Refines the span bounds for a 2tx3 margin of at least `threshold` (at
  // least the guard's) up to
  // `target` carriers, spending at most `budget` nodes (counted as this
  // search's own). A table for a smaller margin is where a new one starts:
  // its bounds hold for every larger margin too.
  void RefineSpans(Khz threshold, int target, std::uint64_t budget);

  static std::optional<Khz> MarginOf(Khz margin) {
    if (margin == kNoMargin) return std::nullopt;
    return margin;
  }

  // Whether the plan's margins keep every checked family's window.
  bool Valid(const Score& s) const {
    if (s.m[0] != kNoMargin && s.m[0] <= rules_.guard) return false;
    if (check3_ && s.m[1] != kNoMargin && s.m[1] <= *rules_.window_3tx3) {
      return false;
    }
    if (check5_ && s.m[2] != kNoMargin && s.m[2] <= *rules_.window_2tx5) {
      return false;
    }
    return true;
  }

 private:
  // Adds carrier x to `from`, giving `to` (whose score must be set).
  void Add(const Level& from, Level& to, Khz x) const {
    Khz products[2 * kMaxCarriers], sums[kMaxCarriers];
    PairSum pairs[kMaxCarriers];
    Khz fifth[3][2 * kMaxCarriers];
    const int n = from.n;
    int np = 0;
    for (int i = 0; i < n; ++i) {
      const Khz p = from.carriers[i];
      products[np] = 2 * x - p;
      products[np + 1] = 2 * p - x;
      fifth[0][np] = 3 * x - 2 * p;
      fifth[0][np + 1] = 3 * p - 2 * x;
      fifth[1][np] = 2 * x + p;
      fifth[1][np + 1] = 2 * p + x;
      fifth[2][np] = 3 * x - p;
      fifth[2][np + 1] = 3 * p - x;
      np += 2;
      sums[i] = x + p;
      pairs[i] = PairSum{x + p, static_cast<std::uint8_t>(i),
                         static_cast<std::uint8_t>(n)};
    }
    std::sort(products, products + np);
    std::sort(sums, sums + n);
    const int old_ordered = n * (n - 1), old_pairs = n * (n - 1) / 2;
    std::merge(from.products, from.products + old_ordered, products,
               products + np, to.products);
    std::merge(from.sums, from.sums + old_pairs, sums, sums + n, to.sums);
    if (check3_ && !triples_) {
      const auto by_sum = [](const PairSum& a, const PairSum& b) {
        return a.sum < b.sum;
      };
      std::sort(pairs, pairs + n, by_sum);
      std::merge(from.pairs, from.pairs + old_pairs, pairs, pairs + n, to.pairs,
                 by_sum);
    }
    if (triples_) {
      // The new values x + (p - a) (x in the pair) and (p + q) - x (x the
      // third), each run already sorted, merged with the old ones.
      Khz triples[kNewTriples];
      const Khz* d = from.diffs;
      const Khz* de = d + old_ordered;
      const Khz* q = from.sums;
      const Khz* qe = q + old_pairs;
      int nt = 0;
      while (d != de || q != qe) {
        if (q == qe || (d != de && x + *d <= *q - x)) {
          triples[nt++] = x + *d++;
        } else {
          triples[nt++] = *q++ - x;
        }
      }
      const int old = n * (n - 1) * (n - 2) / 2;
      std::merge(from.triples, from.triples + old, triples, triples + nt,
                 to.triples);
      Khz diffs[2 * kTripleCarriers];
      for (int i = 0; i < n; ++i) {
        diffs[2 * i] = x - from.carriers[i];
        diffs[2 * i + 1] = from.carriers[i] - x;
      }
      std::sort(diffs, diffs + 2 * n);
      std::merge(from.diffs, from.diffs + old_ordered, diffs, diffs + 2 * n,
                 to.diffs);
    }
    if (check5_) {
      for (int f = 0; f < 3; ++f) {
        std::sort(fifth[f], fifth[f] + np);
        std::merge(from.fifth[f], from.fifth[f] + old_ordered, fifth[f],
                   fifth[f] + np, to.fifth[f]);
      }
    }
    std::copy(from.carriers, from.carriers + n, to.carriers);
    to.carriers[n] = x;
    to.n = n + 1;
    to.last_chosen = from.last_chosen;
    to.taken = from.taken;
  }

  // The raw 2tx3 distance x adds to `level` (kNoMargin: none).
  static Khz Distance2(const Level& level, Khz x) {
    const int ordered = level.n * (level.n - 1);
    Khz d = Nearest(level.products, level.products + ordered, x);
    const Khz* s = level.sums;
    const Khz* se = s + ordered / 2;
    const Khz* it = std::lower_bound(s, se, 2 * x);
    if (it != se) d = std::min(d, *it - 2 * x);
    if (it != s) d = std::min(d, 2 * x - *(it - 1));
    return d;
  }

  // The score `level` would have with x added.
  Score ScoreWith(const Level& level, Khz x) const {
    Score s = level.score;
    s.m[0] = std::min(s.m[0], Distance2(level, x));
    const int n = level.n;
    const int ordered = n * (n - 1);
    if (triples_ && n >= 3) {
      const int count = n * (n - 1) * (n - 2) / 2;
      s.m[1] =
          std::min(s.m[1], Nearest(level.triples, level.triples + count, x));
    } else if (check3_ && n >= 3) {
      const PairSum* begin = level.pairs;
      const PairSum* end = begin + ordered / 2;
      Khz best = s.m[1];
      for (int a = 0; a < n; ++a) {
        const Khz want = x + level.carriers[a];
        const PairSum* it =
            std::lower_bound(begin, end, want,
                             [](const PairSum& p, Khz v) { return p.sum < v; });
        for (const PairSum* r = it; r != end; ++r) {
          if (r->sum - want >= best) break;
          if (r->i == a || r->j == a) continue;
          best = r->sum - want;
          break;
        }
        for (const PairSum* l = it; l != begin;) {
          --l;
          if (want - l->sum >= best) break;
          if (l->i == a || l->j == a) continue;
          best = want - l->sum;
          break;
        }
      }
      s.m[1] = best;
    }
    if (check5_ && n >= 2) {
      s.m[2] = std::min(
          {s.m[2], Nearest(level.fifth[0], level.fifth[0] + ordered, x),
           Nearest(level.fifth[1], level.fifth[1] + ordered, 3 * x),
           Nearest(level.fifth[2], level.fifth[2] + ordered, 2 * x)});
    }
    return s;
  }

  // The smallest value >= x whose 2tx3 distances to `level` reach t; the
  // spacing is left to the caller.
  static Khz FirstAllowed2(const Level& level, Khz x, Khz t) {
    const int ordered = level.n * (level.n - 1);
    const Khz* p = level.products;
    const Khz* pe = p + ordered;
    const Khz* it = std::lower_bound(p, pe, x - t + 1);
    Khz need = x;
    if (it != pe && *it <= x + t - 1) need = std::max(need, *it + t);
    const Khz* s = level.sums;
    const Khz* se = s + ordered / 2;
    it = std::lower_bound(s, se, 2 * x - t + 1);
    if (it != se && *it <= 2 * x + t - 1) {
      need = std::max(need, (*it + t + 1) / 2);
    }
    return need;
  }

  // The smallest value >= x that `level` allows as the next carrier.
  Khz FirstAllowed(const Level& level, Khz x) const {
    Khz need = FirstAllowed2(level, x, threshold_);
    if (triples_ && level.n >= 3) {
      // The 3tx3 distance every plan below this node needs: past the
      // window, and where its 2tx3 margin can only tie the floor's, the
      // floor's 3tx3 margin too (past it unless a tie there may still win
      // on the 2tx5 margin).
      Khz t = *rules_.window_3tx3 + 1;
      if (floor_ && level.score.m[0] <= floor_->m[0] &&
          floor_->m[1] != kNoMargin) {
        t = std::max(t, floor_->m[1] + (accept_equal_ || check5_ ? 0 : 1));
      }
      const Khz* begin = level.triples;
      const Khz* end = begin + level.n * (level.n - 1) * (level.n - 2) / 2;
      const Khz* it = std::lower_bound(begin, end, x - t + 1);
      if (it != end && *it <= x + t - 1) need = std::max(need, *it + t);
    }
    const Khz spacing = rules_.spacing;
    auto f = std::lower_bound(fixed_.begin(), fixed_.end(), x - spacing);
    if (f != fixed_.end() && *f <= x + spacing) {
      need = std::max(need, *f + spacing + 1);
    }
    if (SpansApply() && need == x) need = SpanFloor(level, x);
    return std::max(need, x);
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
      if (stop_(reported_ != nullptr ? *reported_ : progress_)) {
        stopped_ = true;
        cut_ = true;
        return true;
      }
    }
    return false;
  }

  // Whether a node (or plan) of this score may still lead to a plan that is
  // kept: valid, and not below the floor.
  bool Acceptable(const Score& s) const {
    if (!Valid(s)) return false;
    if (s.m[0] != kNoMargin && s.m[0] < threshold_) return false;
    if (!floor_) return true;
    return s > *floor_ || (accept_equal_ && s == *floor_);
  }

  void Record(const Level& level) {
    result_.found = true;
    result_.size = level.n;
    std::copy(level.carriers, level.carriers + level.n, result_.plan.begin());
    std::sort(result_.plan.begin(), result_.plan.begin() + level.n);
    result_.score = level.score;
    NoteBest(result_);
    // Without products every plan ties: the first is best.
    if (mode_ == Mode::kFirst || level.score == Score{}) {
      done_ = true;
      return;
    }
    floor_ = level.score;
    accept_equal_ = false;
    const Khz m = level.score.m[0];
    if (has_secondary()) {
      threshold_ = std::max(threshold_, m);
    } else if (RoundUp(m + 1) >= ceiling_) {
      done_ = true;
    } else {
      threshold_ = m + 1;
    }
  }

  // The span the carriers still to come above x need, with `above` of them.
  Khz NeededAbove(Khz above) const {
    Khz need = ReckonedSpan(above, threshold_);
    if (SpansApply()) {
      need = std::max(need, spans_.span[static_cast<std::size_t>(above + 1)]);
    }
    return need;
  }

  // The span `above` + 1 carriers need by counting alone, with a 2tx3
  // margin of at least `threshold`.
  Khz ReckonedSpan(Khz above, Khz threshold) const {
    const Khz step = RoundUp(rules_.spacing + 1);
    Khz need = above * step + above / 2 * RoundUp(threshold);
    if (check3_ && above > 0) {
      // x and the carriers above it form a Golomb ruler: all differences
      // distinct whole raster steps, the smallest at least `step`.
      const Khz marks = above + 1;
      const Khz units = marks <= static_cast<Khz>(kGolombLength.size())
                            ? kGolombLength[static_cast<std::size_t>(marks - 1)]
                            : 0;
      need = std::max(need, units * raster_);
      need = std::max(need, step + (above * (above + 1) / 2 - 1) * raster_);
    }
    return need;
  }

  bool SpansApply() const {
    return spans_.threshold != 0 && spans_.threshold <= threshold_;
  }

  // The smallest value the span bounds allow for the next carrier x: for
  // each carrier c below it, x - c is at least the span of the carriers
  // from c to x. Chosen carriers lie below x and ascend; fixed ones below x
  // are merged in.
  Khz SpanFloor(const Level& level, Khz x) const {
    const int fixed_count = static_cast<int>(fixed_.size());
    int chosen = level.n - fixed_count;
    int fixed_below = static_cast<int>(
        std::lower_bound(fixed_.begin(), fixed_.end(), x) - fixed_.begin());
    Khz need = 0;
    std::size_t count = 1;
    while (chosen > 0 || fixed_below > 0) {
      Khz c;
      if (fixed_below == 0 ||
          (chosen > 0 &&
           level.carriers[fixed_count + chosen - 1] >
               fixed_[static_cast<std::size_t>(fixed_below - 1)])) {
        c = level.carriers[fixed_count + --chosen];
      } else {
        c = fixed_[static_cast<std::size_t>(--fixed_below)];
      }
      need = std::max(need, c + spans_.span[++count]);
    }
    return need;
  }

  // Whether every counted group can still get its carriers from the
  // candidates after index i.
  bool GroupsFeasible(const Level& level, std::size_t i) const {
    for (std::size_t g = 0; g < need_.size(); ++g) {
      const int missing = need_[g] - level.taken[g];
      if (missing <= 0) continue;
      const auto& idx = group_index_[g];
      const auto after =
          idx.end() - std::upper_bound(idx.begin(), idx.end(),
                                       static_cast<std::uint32_t>(i));
      if (after < missing) return false;
    }
    return true;
  }

  // Extends levels_[depth] by candidates from index `from` on.
  void Descend(int depth, std::size_t from) {
    const Level& level = levels_[static_cast<std::size_t>(depth)];
    const int remaining = target_ - level.n;  // >= 1
    const std::size_t n = cand_.size();
    std::size_t i = from;
    if (level.last_chosen != 0) {
      const Khz low = level.last_chosen + rules_.spacing + 1;
      i = std::lower_bound(cand_.begin() + i, cand_.end(), low) - cand_.begin();
    }
    while (i < n) {
      if (done_ || cut_ || !Acceptable(level.score)) return;
      if (n - i < static_cast<std::size_t>(remaining)) return;
      const Khz x = cand_[i];
      const Khz need = FirstAllowed(level, x);
      if (need > x) {
        i = std::lower_bound(cand_.begin() + i + 1, cand_.end(), need) -
            cand_.begin();
        continue;
      }
      // Up to the next fixed carrier, a candidate that fails this bound
      // leaves every later one failing it too.
      const auto next_fixed = std::upper_bound(fixed_.begin(), fixed_.end(), x);
      const Khz above = remaining - 1 + (fixed_.end() - next_fixed);
      if (top_ - x < NeededAbove(above)) {
        if (next_fixed == fixed_.end()) return;
        i = std::upper_bound(cand_.begin() + i, cand_.end(), *next_fixed) -
            cand_.begin();
        continue;
      }
      if (counted_ && level.taken[groups_[i]] >= need_[groups_[i]]) {
        ++i;
        continue;
      }
      if (Tick()) return;
      const Score score = ScoreWith(level, x);
      if (!Acceptable(score)) {
        ++i;
        continue;
      }
      Level& child = levels_[static_cast<std::size_t>(depth) + 1];
      child.score = score;
      Add(level, child, x);
      child.last_chosen = x;
      if (counted_) {
        ++child.taken[groups_[i]];
        if (!GroupsFeasible(child, i)) {
          ++i;
          continue;
        }
      }
      if (remaining == 1) {
        Record(child);
      } else {
        Descend(depth + 1, i + 1);
      }
      ++i;
    }
  }

  // Builds levels_[1 ..] from the root with `carriers` (not fixed ones);
  // returns the level index reached.
  std::size_t Build(const Khz* carriers, int count) {
    std::size_t at = 0;
    for (int k = 0; k < count; ++k) {
      Level& next = levels_[at + 1];
      next.score = ScoreWith(levels_[at], carriers[k]);
      Add(levels_[at], next, carriers[k]);
      ++at;
    }
    return at;
  }

  // The best candidate (by score, then by its own 2tx3 distance, then at
  // random) to add to `level`, apart from the values in `tabu`, within
  // `group` when counted (-1: any). Spacing is checked against `others`
  // (sorted, the level's carriers). Returns the candidate index or npos.
  std::size_t BestInsert(const Level& level, std::span<const Khz> others,
                         std::span<const Khz> tabu, int group, Random& random,
                         Score& best_score) const {
    constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t best = npos;
    Khz best_own = -1;
    std::uint64_t ties = 0;
    const std::size_t n = cand_.size();
    const Khz spacing = rules_.spacing;
    for (std::size_t i = 0; i < n;) {
      const Khz x = cand_[i];
      // Only candidates at least as good as the best so far matter.
      Khz t = rules_.guard + 1;
      if (best != npos) {
        t = std::max(t, has_secondary() ? std::min(best_own, level.score.m[0])
                                        : best_own);
      }
      Khz need = t == kNoMargin ? x : FirstAllowed2(level, x, t);
      auto o = std::lower_bound(others.begin(), others.end(), x - spacing);
      if (o != others.end() && *o <= x + spacing) {
        need = std::max(need, *o + spacing + 1);
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
      const Score s = ScoreWith(level, x);
      if (Valid(s)) {
        const Khz own = Distance2(level, x);
        const bool better = best == npos || s > best_score ||
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

  using Carriers = std::array<Khz, kMaxCarriers>;
  using Groups = std::array<int, kMaxCarriers>;

  // Loads the free carriers of `r` (and their groups) into `free`.
  void LoadFree(const Result& r, Carriers& free, Groups& free_group) const {
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
  void Kick(Result& plan, Carriers& free, Groups& free_group, int free_count,
            Random& random);

  std::span<const Khz> cand_;
  std::span<const Khz> fixed_;
  Rules rules_;
  const StopCheck& stop_;
  bool check3_ = false;
  bool check5_ = false;
  bool triples_ = false;
  bool counted_ = false;
  int capacity_ = 0;  // the most carriers the level buffers hold
  std::vector<std::uint8_t> groups_;
  std::vector<int> need_;
  std::vector<std::vector<std::uint32_t>> group_index_;
  Khz top_ = 0;
  Khz low_ = 0;
  Khz raster_ = 0;
  SpanTable spans_;
  std::vector<Level> levels_;
  std::vector<Khz> khz_pool_;
  std::vector<PairSum> pair_pool_;
  std::vector<Khz> sorted_;
  Score root_score_;
  int target_ = 0;
  Khz threshold_ = 1;
  Khz ceiling_ = kNoMargin;
  std::optional<Score> floor_;
  bool accept_equal_ = false;
  Mode mode_ = Mode::kFirst;
  std::uint64_t nodes_ = 0;
  std::uint64_t budget_end_ = 0;
  bool stopped_ = false;
  bool cut_ = false;
  bool done_ = false;
  Result result_;
  SearchProgress progress_;
  // What the stop check is shown: a probe for span bounds shows the search
  // it serves.
  const SearchProgress* reported_ = nullptr;
};

bool Better(const Searcher::Result& a, const Searcher::Result& b) {
  if (!a.found) return false;
  if (!b.found) return true;
  if (a.score != b.score) return a.score > b.score;
  return std::lexicographical_compare(a.plan.begin(), a.plan.begin() + a.size,
                                      b.plan.begin(), b.plan.begin() + b.size);
}

void Searcher::RefineSpans(Khz threshold, int target, std::uint64_t budget) {
  if (threshold == kNoMargin) return;
  threshold = std::max(threshold, rules_.guard + 1);
  if (threshold < spans_.threshold) return;
  if (threshold > spans_.threshold) {
    SpanTable next;
    next.threshold = threshold;
    next.span = spans_.span;
    spans_ = next;
  }
  SpanTable& table = spans_;
  // Bounds pay where the plans fill much of the band; far below that they
  // cut nothing.
  const int most = std::min(target, kMaxCarriers);
  const Khz width = top_ - low_;
  if (std::max(ReckonedSpan(most - 1, threshold),
               table.span[static_cast<std::size_t>(most)]) < width / 2) {
    return;
  }
  const std::uint64_t end = nodes_ + budget;
  const Khz step = RoundUp(rules_.spacing + 1);
  PlanRequest probe;
  probe.rules = rules_;
  while (!table.done && table.next_count <= most && nodes_ < end) {
    const auto k = static_cast<std::size_t>(table.next_count);
    const Khz low = RoundUp(std::max(table.span[k], table.span[k - 1] + step));
    table.next_steps = std::max(table.next_steps, low / raster_);
    const Khz steps = table.next_steps;
    table.span[k] = steps * raster_;
    if (table.span[k] > width) {
      // Not even k carriers fit the band with this margin, nor more.
      for (std::size_t j = k + 1; j < table.span.size(); ++j) {
        table.span[j] = std::max(table.span[j], table.span[k]);
      }
      table.done = true;
      break;
    }
    probe.candidates.clear();
    for (Khz u = 2; u <= steps; ++u) probe.candidates.push_back(u * raster_);
    const std::array<Khz, 2> ends = {raster_, (steps + 1) * raster_};
    probe.count = table.next_count;
    Searcher sub(probe, ends, table.next_count, stop_);
    sub.spans_ = table;
    progress_.nodes = nodes_;
    sub.reported_ = &progress_;
    const Result r =
        sub.Run(table.next_count, threshold, Mode::kFirst, end - nodes_);
    nodes_ += sub.nodes();
    if (sub.stopped()) {
      stopped_ = true;
      break;
    }
    if (r.found) {
      ++table.next_count;
      table.next_steps = 0;
    } else if (sub.cut()) {
      break;  // out of budget: the bound so far stands
    } else {
      table.next_steps = steps + 1;
      table.span[k] = table.next_steps * raster_;
    }
  }
}

Searcher::Result Searcher::Improve(Result& plan, std::uint64_t moves) {
  if (plan.size < kRepairCarriers) return Chase(plan, moves);
  // Chasing the closest product climbs fast; counting the products short
  // of the next margin then crosses the plateau where that stalls.
  const std::uint64_t chase = moves / 2;
  Result best = Chase(plan, chase);
  if (stopped_) return best;
  plan = best;
  return Repair(plan, moves - chase);
}

Searcher::Result Searcher::Chase(Result& plan, std::uint64_t moves) {
  Result best = plan;
  budget_end_ = 0;
  cut_ = false;
  const int fixed_count = static_cast<int>(fixed_.size());
  const int free_count = plan.size - fixed_count;
  if (free_count <= 0 || cand_.empty()) return best;
  Tabu<7> tabu;
  Random random = WalkRandom(moves);
  std::uint64_t stall = 0;
  // Moves since the best 2tx3 margin last grew.
  std::uint64_t since_margin = 0;
  constexpr std::uint64_t kMarginStall = 20'000;
  // The free carriers of the walk's plan, with their groups.
  Carriers free{};
  Groups free_group{};
  LoadFree(plan, free, free_group);
  for (std::uint64_t move = 0; move < moves; ++move) {
    if (Tick()) break;
    const int out = PickOut(plan, std::span<const Khz>(free.data(), free_count),
                            since_margin > kMarginStall, random);
    std::swap(free[out], free[free_count - 1]);
    std::swap(free_group[out], free_group[free_count - 1]);
    const Khz removed = free[free_count - 1];
    const std::size_t at = Build(free.data(), free_count - 1);
    const Level& rest = levels_[at];
    for (int k = 0; k < rest.n; ++k) sorted_[k] = rest.carriers[k];
    std::sort(sorted_.begin(), sorted_.begin() + rest.n);
    tabu.Add(removed);
    Score score;
    const std::size_t pick =
        BestInsert(rest, std::span<const Khz>(sorted_.data(), rest.n),
                   tabu.values, free_group[free_count - 1], random, score);
    if (pick == static_cast<std::size_t>(-1)) continue;  // put back as it was
    free[free_count - 1] = cand_[pick];
    plan.score = score;
    std::copy(rest.carriers, rest.carriers + rest.n, plan.plan.begin());
    plan.plan[rest.n] = cand_[pick];
    std::sort(plan.plan.begin(), plan.plan.begin() + plan.size);
    ++since_margin;
    if (Better(plan, best)) {
      if (plan.score.m[0] > best.score.m[0]) since_margin = 0;
      best = plan;
      NoteBest(best);
      stall = 0;
    } else if (++stall > 400) {
      // A kick from the best plan: two carriers moved at random.
      plan = best;
      LoadFree(plan, free, free_group);
      stall = 0;
      for (int kick = 0; kick < 2; ++kick) {
        Kick(plan, free, free_group, free_count, random);
      }
    }
  }
  return best;
}

int Searcher::PickOut(const Result& plan, std::span<const Khz> free,
                      bool stalled, Random& random) const {
  const int any = static_cast<int>(random.Below(free.size()));
  if (random.Below(4) == 0) return any;
  // Any checked family whose margin the fixed carriers alone do not set:
  // where the 2tx3 margin grows no more, the others decide.
  std::array<int, kFamilyCount> open{};
  int open_count = 0;
  const std::array<bool, kFamilyCount> checked = {true, check3_, check5_};
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

void Searcher::Kick(Result& plan, Carriers& free, Groups& free_group,
                    int free_count, Random& random) {
  const int k = static_cast<int>(random.Below(free_count));
  std::swap(free[k], free[free_count - 1]);
  std::swap(free_group[k], free_group[free_count - 1]);
  const std::size_t top = Build(free.data(), free_count - 1);
  const Level& level = levels_[top];
  for (int j = 0; j < level.n; ++j) sorted_[j] = level.carriers[j];
  std::sort(sorted_.begin(), sorted_.begin() + level.n);
  const std::size_t start = random.Below(cand_.size());
  for (std::size_t step = 0; step < cand_.size(); ++step) {
    const std::size_t i = (start + step) % cand_.size();
    const Khz x = cand_[i];
    if (free_group[free_count - 1] >= 0 &&
        groups_[i] != free_group[free_count - 1]) {
      continue;
    }
    auto o = std::lower_bound(sorted_.begin(), sorted_.begin() + level.n,
                              x - rules_.spacing);
    if (o != sorted_.begin() + level.n && *o <= x + rules_.spacing) continue;
    const Score s = ScoreWith(level, x);
    if (!Valid(s)) continue;
    free[free_count - 1] = x;
    plan.score = s;
    std::copy(level.carriers, level.carriers + level.n, plan.plan.begin());
    plan.plan[level.n] = x;
    std::sort(plan.plan.begin(), plan.plan.begin() + plan.size);
    return;
  }
}

Searcher::Result Searcher::Repair(Result& plan, std::uint64_t moves) {
  Result best = plan;
  budget_end_ = 0;
  cut_ = false;
  const int fixed_count = static_cast<int>(fixed_.size());
  const int free_count = plan.size - fixed_count;
  if (free_count <= 0 || cand_.empty()) return best;
  Tabu<15> tabu;
  Random random = WalkRandom(moves);
  Carriers free{};
  Groups free_group{};
  LoadFree(plan, free, free_group);
  const std::uint64_t most_stall = 50 * static_cast<std::uint64_t>(plan.size);
  std::uint64_t stall = 0;
  for (std::uint64_t move = 0; move < moves; ++move) {
    // The margin aimed at; the fixed carriers alone may forbid it.
    const Khz aim = best.score.m[0] + raster_;
    if (best.score.m[0] == kNoMargin || aim > root_score_.m[0]) break;
    if (Tick()) break;
    // A product short of the aim, at random, and a free carrier of it.
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
      for (int k = 0; k < free_count; ++k) {
        if (free[k] == pick) out = k;
      }
    }
    // Now and then any carrier, so that the walk does not circle round the
    // few products it cannot mend.
    if (out < 0 || random.Below(3) == 0) {
      out = static_cast<int>(random.Below(free_count));
    }
    std::swap(free[out], free[free_count - 1]);
    std::swap(free_group[out], free_group[free_count - 1]);
    const Khz removed = free[free_count - 1];
    const int group = free_group[free_count - 1];
    const Level& rest = levels_[Build(free.data(), free_count - 1)];
    for (int k = 0; k < rest.n; ++k) sorted_[k] = rest.carriers[k];
    std::sort(sorted_.begin(), sorted_.begin() + rest.n);
    tabu.Add(removed);
    // One sweep over the candidates counts, for each, the products and
    // pair sums within the aim of it (and of its double).
    const int ordered = rest.n * (rest.n - 1);
    const Khz* products = rest.products;
    const Khz* products_end = products + ordered;
    const Khz* sums = rest.sums;
    const Khz* sums_end = sums + ordered / 2;
    const Khz* p_low = products;
    const Khz* p_high = products;
    const Khz* s_low = sums;
    const Khz* s_high = sums;
    std::size_t pick = static_cast<std::size_t>(-1);
    std::ptrdiff_t pick_count = 0;
    Khz pick_own = 0;
    Score pick_score;
    std::uint64_t ties = 0;
    for (std::size_t i = 0; i < cand_.size(); ++i) {
      const Khz x = cand_[i];
      while (p_low != products_end && *p_low <= x - aim) ++p_low;
      if (p_high < p_low) p_high = p_low;
      while (p_high != products_end && *p_high < x + aim) ++p_high;
      while (s_low != sums_end && *s_low <= 2 * x - aim) ++s_low;
      if (s_high < s_low) s_high = s_low;
      while (s_high != sums_end && *s_high < 2 * x + aim) ++s_high;
      const std::ptrdiff_t count = (p_high - p_low) + (s_high - s_low);
      if (pick != static_cast<std::size_t>(-1) && count > pick_count) continue;
      if ((group >= 0 && groups_[i] != group) || tabu.Holds(x)) {
        continue;
      }
      auto o = std::lower_bound(sorted_.begin(), sorted_.begin() + rest.n,
                                x - rules_.spacing);
      if (o != sorted_.begin() + rest.n && *o <= x + rules_.spacing) continue;
      const Score s = ScoreWith(rest, x);
      if (!Valid(s)) continue;
      const Khz own = Distance2(rest, x);
      if (pick == static_cast<std::size_t>(-1) || count < pick_count ||
          own > pick_own) {
        ties = 1;
      } else if (own < pick_own || random.Below(++ties) != 0) {
        continue;
      }
      pick = i;
      pick_count = count;
      pick_own = own;
      pick_score = s;
    }
    if (pick == static_cast<std::size_t>(-1)) continue;  // put back as it was
    free[free_count - 1] = cand_[pick];
    plan.score = pick_score;
    std::copy(rest.carriers, rest.carriers + rest.n, plan.plan.begin());
    plan.plan[rest.n] = cand_[pick];
    std::sort(plan.plan.begin(), plan.plan.begin() + plan.size);
    if (Better(plan, best)) {
      best = plan;
      NoteBest(best);
      stall = 0;
    } else if (++stall > most_stall) {
      plan = best;
      LoadFree(plan, free, free_group);
      stall = 0;
      for (int kick = 0; kick < 2; ++kick) {
        Kick(plan, free, free_group, free_count, random);
      }
    }
  }
  plan = best;
  return best;
}

Searcher::Result Searcher::Construct(int target, int attempts) {
  Result result;
  budget_end_ = 0;
  cut_ = false;
  const int free_count = target - static_cast<int>(fixed_.size());
  if (free_count <= 0 || cand_.empty() || target > capacity_) return result;
  constexpr std::size_t npos = static_cast<std::size_t>(-1);
  Random random;
  std::array<Khz, kMaxCarriers> chosen{};
  std::array<int, kMaxGroups> missing{};
  for (int attempt = 0; attempt < attempts; ++attempt) {
    std::copy(need_.begin(), need_.end(), missing.begin());
    int k = 0;
    for (; k < free_count; ++k) {
      if (Tick()) return result;
      const Level& level = levels_[Build(chosen.data(), k)];
      for (int j = 0; j < level.n; ++j) sorted_[j] = level.carriers[j];
      std::sort(sorted_.begin(), sorted_.begin() + level.n);
      int group = -1;
      for (std::size_t g = 0; g < need_.size(); ++g) {
        const auto at = static_cast<std::size_t>(group);
        if (missing[g] > 0 &&
            (group < 0 || group_index_[g].size() * missing[at] <
                              group_index_[at].size() * missing[g])) {
          group = static_cast<int>(g);
        }
      }
      std::size_t pick = npos;
      if (attempt > 0 && k == 0) {
        const auto g = static_cast<std::size_t>(group);
        const std::size_t i =
            group < 0 ? random.Below(cand_.size())
                      : group_index_[g][random.Below(group_index_[g].size())];
        const auto o =
            std::lower_bound(sorted_.begin(), sorted_.begin() + level.n,
                             cand_[i] - rules_.spacing);
        const bool spaced =
            o == sorted_.begin() + level.n || *o > cand_[i] + rules_.spacing;
        if (spaced && Valid(ScoreWith(level, cand_[i]))) pick = i;
      }
      if (pick == npos) {
        Score score;
        pick = BestInsert(level, std::span<const Khz>(sorted_.data(), level.n),
                          {}, group, random, score);
      }
      if (pick == npos) break;
      chosen[static_cast<std::size_t>(k)] = cand_[pick];
      if (counted_) --missing[groups_[pick]];
    }
    if (k == free_count) {
      const Level& level = levels_[Build(chosen.data(), free_count)];
      result.found = true;
      result.size = level.n;
      std::copy(level.carriers, level.carriers + level.n, result.plan.begin());
      std::sort(result.plan.begin(), result.plan.begin() + level.n);
      result.score = level.score;
      return result;
    }
  }
  return result;
}

void Fill(PlanOutcome& outcome, const Searcher::Result& result) {
  outcome.status = PlanOutcome::Status::kFound;
  outcome.plan.assign(result.plan.begin(), result.plan.begin() + result.size);
  outcome.margin = Searcher::MarginOf(result.score.m[0]);
  const PlanFigures figures = MeasurePlan(outcome.plan);
  outcome.margins = figures.margins;
}

// A good plan quickly, to start the exact search from: raises the 2tx3
// margin asked of a first-found plan (doubling, then halving the interval)
// while budgeted searches find one; a search cut short by its budget is
// tried again with a larger one, a search that ran to its end proves the
// margin out of reach. Margins are whole raster steps, so only those are
// asked.
struct Climbed {
  Searcher::Result best;
  Khz out_of_reach = kNoMargin;  // no plan has this 2tx3 margin or more
};
Climbed Climb(Searcher& searcher, int target, const Searcher::Result& start,
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
      const Searcher::Result r =
          searcher.Run(target, ask, Searcher::Mode::kFirst, budget);
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

constexpr int kConstructAttempts = 8;
constexpr std::uint64_t kFirstPlanNodes = 100'000;

// The most carriers (up to `limit`) of any valid plan, and the first such
// plan found.
struct Largest {
  int size = 0;
  Searcher::Result plan;
};
Largest FindLargest(Searcher& searcher, int fixed_count, int limit) {
  constexpr std::uint64_t kHuge = std::uint64_t{1} << 60;
  Largest largest;
  largest.size = fixed_count;
  if (fixed_count > 0) {
    largest.plan = searcher.Run(fixed_count, 0, Searcher::Mode::kFirst);
  }
  for (int size = fixed_count + 1; size <= limit; ++size) {
    // Searches of growing budgets; between them, bounds on spans are
    // refined with as many nodes as the search that was cut.
    Searcher::Result r;
    for (std::uint64_t budget = 50'000;; budget = std::min(budget * 4, kHuge)) {
      r = searcher.Run(size, 0, Searcher::Mode::kFirst, budget);
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
  int most = request.count > 0 ? request.count : std::max(limit, 1);
  if (request.count == 0 && request.rules.window_3tx3 && limit > 1) {
    // With 3tx3 checked, every plan is a Golomb ruler on the raster: no more
    // marks than the span holds.
    Khz low = kNoMargin, high = 0, raster = 0;
    const std::array<const std::vector<Khz>*, 2> sets = {&request.candidates,
                                                         &fixed};
    for (const std::vector<Khz>* values : sets) {
      for (Khz v : *values) {
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
    for (const std::vector<Khz>* values : sets) {
      for (Khz v : *values) raster = std::gcd(raster, v - low);
    }
    const Khz units = raster == 0 ? 0 : (high - low) / raster;
    int marks = 1;
    while (marks < static_cast<int>(kGolombLength.size()) &&
           kGolombLength[static_cast<std::size_t>(marks)] <= units) {
      ++marks;
    }
    if (marks < static_cast<int>(kGolombLength.size())) {
      most = std::min(most, marks);
    }
  }

  Searcher searcher(request, fixed, most, stop);
  const auto finish = [&](PlanOutcome& o) -> PlanOutcome& {
    o.nodes = searcher.nodes();
    return o;
  };
  int target = request.count;
  Searcher::Result start;
  if (target == 0) {
    const Largest largest =
        FindLargest(searcher, fixed_count, std::min(limit, most));
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
  } else {
    // The first plan in ascending order, or, where that lies far in, one
    // built greedily; failing both, the whole search decides.
    start = searcher.Run(target, 0, Searcher::Mode::kFirst, kFirstPlanNodes);
    if (!start.found && searcher.cut() && !searcher.stopped()) {
      start = searcher.Construct(target, kConstructAttempts);
      if (!start.found && !searcher.stopped()) {
        start = searcher.Run(target, 0, Searcher::Mode::kFirst);
      }
    }
    if (!start.found) {
      if (searcher.stopped() || counted) {
        outcome.proven = !searcher.stopped();
        return finish(outcome);
      }
      // Proven: no plan of this size. How many carriers do fit?
      const Largest largest = FindLargest(searcher, fixed_count, target - 1);
      if (!searcher.stopped()) {
        outcome.largest = largest.size;
        outcome.proven = true;
      }
      return finish(outcome);
    }
  }
  searcher.NoteBest(start);
  searcher.NoteSpanBound(target);

  // Rounds of growing budgets: improve the plan in hand, raise the 2tx3
  // margin by budgeted first-found searches, then try to finish the exact
  // search. Every budget counts moves or nodes.
  Searcher::Result incumbent = start;
  Searcher::Result walk = start;
  Khz out_of_reach = kNoMargin;
  bool proven = false;
  const bool has_products = start.score != Score{};
  constexpr std::uint64_t kFirstMoves = 1000;
  constexpr std::uint64_t kFirstNodes = 200'000;
  for (int round = 0; has_products && !searcher.stopped(); ++round) {
    const std::uint64_t grow = std::uint64_t{1} << std::min(2 * round, 40);
    const Searcher::Result improved =
        searcher.Improve(walk, kFirstMoves * grow);
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
    const Searcher::Result exact =
        searcher.Run(target, 0, Searcher::Mode::kBest, kFirstNodes * grow,
                     out_of_reach, incumbent.score, true);
    if (Better(exact, incumbent)) incumbent = exact;
    if (Better(incumbent, improved)) walk = incumbent;
    if (!searcher.cut()) {
      proven = true;
      break;
    }
  }
  if (!has_products) proven = true;
  Fill(outcome, incumbent);
  outcome.proven = proven && !searcher.stopped();
  return finish(outcome);
}

}  // namespace zelmar::plan
