// A search node's state: its carriers and, sorted, the values they forbid
// or measure for the next carrier, kept level by level in buffers sized once
// per search (no heap allocation per node). Every node keeps:
//  - 2tx3: products 2p - q of every ordered pair (a new carrier x is then
//    the victim) and sums p + q of every pair (|2x - (p + q)|: x makes the
//    product with one of them);
//  - 3tx3: sums p + q with the pair's indices (|x + a - (p + q)| over
//    carriers a not in the pair covers every four carriers with x), and on
//    plans of up to kTripleCarriers every value p + q - a, sorted, so that
//    3tx3 windows are jumped over like 2tx3 ones;
//  - 2tx5: 3a - 2b (x the victim), 2b + c (3x - 2b near c) and 3a - c
//    (3a - 2x near c) over ordered pairs.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "score.h"
#include "zelmar/planner.h"

namespace zelmar::plan {

// Up to this many carriers a level keeps every 3tx3 value p + q - a sorted
// (n (n - 1) (n - 2) / 2 of them); larger plans measure 3tx3 through the
// pair sums instead.
constexpr int kTripleCarriers = 24;
constexpr int kNewTriples = 3 * kTripleCarriers * (kTripleCarriers - 1) / 2;

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
inline Khz Nearest(const Khz* begin, const Khz* end, Khz x) {
  const Khz* it = std::lower_bound(begin, end, x);
  Khz best = kNoMargin;
  if (it != end) best = *it - x;
  if (it != begin) best = std::min(best, x - *(it - 1));
  return best;
}

// The levels of one search, from the root (the fixed carriers) up.
class NodeStack {
 public:
  // Levels for plans of up to `most_carriers`, measuring the families the
  // rules check.
  NodeStack(const Rules& rules, int most_carriers);

  Level& operator[](std::size_t depth) { return levels_[depth]; }
  const Level& operator[](std::size_t depth) const { return levels_[depth]; }
  std::size_t size() const { return levels_.size(); }
  bool check3() const { return check3_; }
  bool check5() const { return check5_; }
  // Whether levels keep the 3tx3 values themselves.
  bool triples() const { return triples_; }

  // Puts the fixed carriers (valid among themselves) into the root level.
  void SetRoot(std::span<const Khz> fixed);

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

 private:
  bool check3_ = false;
  bool check5_ = false;
  bool triples_ = false;
  std::vector<Level> levels_;
  std::vector<Khz> khz_pool_;
  std::vector<PairSum> pair_pool_;
};

}  // namespace zelmar::plan
