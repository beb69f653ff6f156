#include "searcher/conflicts.h"

#include <algorithm>
#include <numeric>

#include "raster.h"

namespace zelmar::plan {
namespace {

// Rasters of up to this many steps get a table from step to candidate.
constexpr Khz kMostRankedSteps = Khz{1} << 20;

Khz FloorDiv(Khz a, Khz b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); }
Khz CeilDiv(Khz a, Khz b) { return -FloorDiv(-a, b); }

}  // namespace

ConflictCount::ConflictCount(const Rules& rules,
                             std::span<const Khz> candidates)
    : rules_(rules), cand_(candidates) {
  if (cand_.empty()) return;
  const Raster raster = RasterOf(cand_, {});
  if (raster.steps > kMostRankedSteps) return;
  origin_ = raster.origin;
  step_ = raster.step;
  rank_.assign(static_cast<std::size_t>(raster.steps) + 1, 0);
  std::size_t at = 0;
  for (std::size_t p = 0; p < rank_.size(); ++p) {
    while (at < cand_.size() &&
           cand_[at] < origin_ + static_cast<Khz>(p) * step_) {
      ++at;
    }
    rank_[p] = static_cast<std::uint32_t>(at);
  }
}

std::size_t ConflictCount::FirstAtOrAbove(Khz value) const {
  if (value <= cand_.front()) return 0;
  if (value > cand_.back()) return cand_.size();
  if (!rank_.empty()) {
    return rank_[static_cast<std::size_t>(CeilDiv(value - origin_, step_))];
  }
  return static_cast<std::size_t>(
      std::lower_bound(cand_.begin(), cand_.end(), value) - cand_.begin());
}

void ConflictCount::Mark(std::vector<int>& diff, Khz value, int multiple,
                         Khz window, int sign) {
  ++work_;
  const std::size_t low = FirstAtOrAbove(CeilDiv(value - window, multiple));
  const std::size_t high =
      FirstAtOrAbove(FloorDiv(value + window, multiple) + 1);
  if (low >= high) return;
  diff[low] += sign;
  diff[high] -= sign;
}

void ConflictCount::MarkValues(std::vector<int>& diff, std::size_t only,
                               int sign) {
  const std::vector<Khz>& c = carriers_;
  const std::size_t n = c.size();
  const bool all = only == kNoSkip;
  const auto holds = [&](std::size_t a, std::size_t b) {
    return all || a == only || b == only;
  };
  const Khz g = rules_.guard;
  for (std::size_t a = 0; a < n; ++a) {
    if (holds(a, a)) Mark(diff, c[a], 1, rules_.spacing, sign);
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a || !holds(a, b)) continue;
      Mark(diff, 2 * c[a] - c[b], 1, g, sign);         // 2a - b near x
      if (a < b) Mark(diff, c[a] + c[b], 2, g, sign);  // 2x - a near b
      if (rules_.window_2tx5) {
        const Khz w = *rules_.window_2tx5;
        Mark(diff, 3 * c[a] - 2 * c[b], 1, w, sign);  // 3a - 2b near x
        Mark(diff, 2 * c[b] + c[a], 3, w, sign);      // 3x - 2b near a
        Mark(diff, 3 * c[a] - c[b], 2, w, sign);      // 3a - 2x near b
      }
    }
  }
  if (!rules_.window_3tx3) return;
  // x + d near a + b, for every d outside the pair: the tuples holding
  // `only` are its pairs and those where it is d.
  const Khz w = *rules_.window_3tx3;
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      const bool in_pair = holds(a, b);
      for (std::size_t d = 0; d < n; ++d) {
        if (d == a || d == b || !(in_pair || d == only)) continue;
        Mark(diff, c[a] + c[b] - c[d], 1, w, sign);
      }
    }
  }
}

void ConflictCount::Load(std::span<const Khz> carriers) {
  carriers_.assign(carriers.begin(), carriers.end());
  loaded_.assign(cand_.size() + 1, 0);
  if (!cand_.empty()) MarkValues(loaded_, kNoSkip, 1);
}

void ConflictCount::CostsWithout(std::size_t skip, std::vector<int>& costs) {
  work_ += cand_.size();
  diff_ = loaded_;
  if (skip < carriers_.size()) MarkValues(diff_, skip, -1);
  costs.resize(cand_.size());
  int sum = 0;
  for (std::size_t i = 0; i < cand_.size(); ++i) {
    sum += diff_[i];
    costs[i] = sum;
  }
}

int ConflictCount::Broken(std::span<const Khz> carriers,
                          std::vector<int>& per_carrier) {
  const std::size_t n = carriers.size();
  per_carrier.assign(n, 0);
  // The carriers in ascending order, each with its index.
  order_.resize(n);
  std::iota(order_.begin(), order_.end(), 0);
  std::sort(order_.begin(), order_.end(),
            [&](int x, int y) { return carriers[x] < carriers[y]; });
  sorted_.resize(n);
  for (std::size_t i = 0; i < n; ++i) sorted_[i] = carriers[order_[i]];
  work_ += n * n;
  int broken = 0;
  const auto count = [&](std::initializer_list<int> in) {
    for (int i : in) ++per_carrier[static_cast<std::size_t>(i)];
    ++broken;
  };
  // The carriers (as indices) within `window` of v.
  const auto near = [&](Khz v, Khz window, auto visit) {
    auto it = std::lower_bound(sorted_.begin(), sorted_.end(), v - window);
    for (; it != sorted_.end() && *it <= v + window; ++it) {
      visit(order_[static_cast<std::size_t>(it - sorted_.begin())]);
    }
  };
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1;
         j < n && sorted_[j] - sorted_[i] <= rules_.spacing; ++j) {
      count({order_[i], order_[j]});
    }
  }
  const int m = static_cast<int>(n);
  for (int a = 0; a < m; ++a) {
    for (int c = 0; c < m; ++c) {
      if (c == a) continue;
      // The pair {b, c} is met from both of its carriers: counted from
      // the larger index.
      near(2 * carriers[a] - carriers[c], rules_.guard, [&](int b) {
        if (b != a && b > c) count({a, b, c});
      });
      if (!rules_.window_2tx5) continue;
      near(3 * carriers[a] - 2 * carriers[c], *rules_.window_2tx5, [&](int b) {
        if (b != a && b != c) count({a, c, b});
      });
    }
  }
  if (rules_.window_3tx3) {
    struct Pair {
      Khz sum;
      int a, b;
    };
    std::vector<Pair> pairs;
    for (int a = 0; a < m; ++a) {
      for (int b = a + 1; b < m; ++b) {
        pairs.push_back({carriers[a] + carriers[b], a, b});
      }
    }
    std::sort(pairs.begin(), pairs.end(),
              [](const Pair& x, const Pair& y) { return x.sum < y.sum; });
    work_ += pairs.size();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      for (std::size_t j = i + 1;
           j < pairs.size() &&
           pairs[j].sum - pairs[i].sum <= *rules_.window_3tx3;
           ++j) {
        const Pair& x = pairs[i];
        const Pair& y = pairs[j];
        if (x.a == y.a || x.a == y.b || x.b == y.a || x.b == y.b) continue;
        count({x.a, x.b, y.a, y.b});
      }
    }
  }
  return broken;
}

}  // namespace zelmar::plan
