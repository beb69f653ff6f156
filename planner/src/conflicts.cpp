#include "conflicts.h"

#include <algorithm>
#include <numeric>

#include "raster.h"

namespace zelmar::plan {
namespace {

// Rasters of up to this many steps get a table from step to candidate.
constexpr Khz kMostRankedSteps = Khz{1} << 20;

Khz FloorDiv(Khz a, Khz b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); }
Khz CeilDiv(Khz a, Khz b) { return -FloorDiv(-a, b); }
Khz Abs(Khz v) { return v < 0 ? -v : v; }

}  // namespace

ConflictRules ConflictRules::OfGroups(std::span<const GroupRules> groups) {
  ConflictRules rules;
  const int n = static_cast<int>(groups.size());
  for (int g = 0; g < n; ++g) {
    rules.window.emplace_back();
    for (Family f : kFamilies) {
      rules.window.back()[static_cast<std::size_t>(f)] =
          WindowOf(groups[g].rules, f).value_or(-1);
    }
    rules.spacing.emplace_back();
    for (int h = 0; h < n; ++h) {
      rules.spacing.back().push_back(SpacingBetween(groups, g, h));
    }
  }
  return rules;
}

ConflictRules ConflictRules::OneGroup(const Rules& rules) {
  const GroupRules one{rules, 0};
  return OfGroups({&one, 1});
}

ConflictCount::ConflictCount(const ConflictRules& rules,
                             std::span<const Khz> candidates, int group)
    : rules_(rules), cand_(candidates), group_(group) {
  widest_.fill(-1);
  for (int g = 0; g < rules_.groups(); ++g) {
    for (int f = 0; f < kFamilyCount; ++f) {
      widest_[f] = std::max(widest_[f], Window(g, f));
      checked_[f] = widest_[f] >= 0;
    }
    for (Khz s : rules_.spacing[static_cast<std::size_t>(g)]) {
      widest_spacing_ = std::max(widest_spacing_, s);
    }
  }
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
  if (window < 0) return;
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
  const std::vector<int>& g = groups_;
  const std::size_t n = c.size();
  const bool all = only == kNoSkip;
  const auto holds = [&](std::size_t a, std::size_t b) {
    return all || a == only || b == only;
  };
  const int x = group_;
  const std::vector<Khz>& spacing = rules_.spacing[static_cast<std::size_t>(x)];
  for (std::size_t a = 0; a < n; ++a) {
    if (holds(a, a)) {
      Mark(diff, c[a], 1, spacing[static_cast<std::size_t>(g[a])], sign);
    }
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a || !holds(a, b)) continue;
      if (checked_[0]) {
        // 2a - b near x, or 2a - x near b.
        Mark(diff, 2 * c[a] - c[b], 1, std::max(Window(g[b], 0), Window(x, 0)),
             sign);
        // 2x - a near b, or 2x - b near a.
        if (a < b) {
          Mark(diff, c[a] + c[b], 2, std::max(Window(g[a], 0), Window(g[b], 0)),
               sign);
        }
      }
      if (checked_[2]) {
        Mark(diff, 3 * c[a] - 2 * c[b], 1, Window(x, 2), sign);  // near x
        Mark(diff, 2 * c[b] + c[a], 3, Window(g[a], 2), sign);   // 3x - 2b
        Mark(diff, 3 * c[a] - c[b], 2, Window(g[b], 2), sign);   // 3a - 2x
      }
    }
  }
  if (!checked_[1]) return;
  // x + d near a + b, for every d outside the pair: the tuples holding
  // `only` are its pairs and those where it is d.
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      const bool in_pair = holds(a, b);
      const Khz pair_window =
          std::max({Window(x, 1), Window(g[a], 1), Window(g[b], 1)});
      for (std::size_t d = 0; d < n; ++d) {
        if (d == a || d == b || !(in_pair || d == only)) continue;
        Mark(diff, c[a] + c[b] - c[d], 1,
             std::max(pair_window, Window(g[d], 1)), sign);
      }
    }
  }
}

void ConflictCount::Load(std::span<const Khz> carriers,
                         std::span<const int> groups) {
  carriers_.assign(carriers.begin(), carriers.end());
  if (groups.empty()) {
    groups_.assign(carriers.size(), 0);
  } else {
    groups_.assign(groups.begin(), groups.end());
  }
  loaded_.assign(cand_.size() + 1, 0);
  if (!cand_.empty()) MarkValues(loaded_, kNoSkip, 1);
}

void ConflictCount::CostsWithout(std::size_t skip, std::vector<int>& costs) {
  work_ += cand_.size();
  diff_ = loaded_;
  if (skip < carriers_.size() && !cand_.empty()) MarkValues(diff_, skip, -1);
  costs.resize(cand_.size());
  int sum = 0;
  for (std::size_t i = 0; i < cand_.size(); ++i) {
    sum += diff_[i];
    costs[i] = sum;
  }
}

int ConflictCount::Broken(std::span<const Khz> carriers,
                          std::span<const int> groups,
                          std::vector<int>& per_carrier) {
  const std::size_t n = carriers.size();
  const auto group = [&](int i) {
    return groups.empty() ? 0 : groups[static_cast<std::size_t>(i)];
  };
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
         j < n && sorted_[j] - sorted_[i] <= widest_spacing_; ++j) {
      const int a = order_[i], b = order_[j];
      if (sorted_[j] - sorted_[i] <=
          rules_.spacing[static_cast<std::size_t>(group(a))]
                        [static_cast<std::size_t>(group(b))]) {
        count({a, b});
      }
    }
  }
  const int m = static_cast<int>(n);
  for (int a = 0; a < m; ++a) {
    for (int c = 0; c < m; ++c) {
      if (c == a) continue;
      // The pair {b, c} is met from both of its carriers: counted from
      // the larger index.
      const Khz v2 = 2 * carriers[a] - carriers[c];
      if (checked_[0]) {
        near(v2, widest_[0], [&](int b) {
          if (b != a && b > c &&
              Abs(v2 - carriers[b]) <=
                  std::max(Window(group(b), 0), Window(group(c), 0))) {
            count({a, b, c});
          }
        });
      }
      if (!checked_[2]) continue;
      const Khz v5 = 3 * carriers[a] - 2 * carriers[c];
      near(v5, widest_[2], [&](int b) {
        if (b != a && b != c && Abs(v5 - carriers[b]) <= Window(group(b), 2)) {
          count({a, c, b});
        }
      });
    }
  }
  if (checked_[1]) {
    struct Pair {
      Khz sum;
      int a, b;
      Khz window;  // the wider of the two groups'
    };
    std::vector<Pair> pairs;
    for (int a = 0; a < m; ++a) {
      for (int b = a + 1; b < m; ++b) {
        pairs.push_back({carriers[a] + carriers[b], a, b,
                         std::max(Window(group(a), 1), Window(group(b), 1))});
      }
    }
    std::sort(pairs.begin(), pairs.end(),
              [](const Pair& x, const Pair& y) { return x.sum < y.sum; });
    work_ += pairs.size();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      for (std::size_t j = i + 1;
           j < pairs.size() && pairs[j].sum - pairs[i].sum <= widest_[1]; ++j) {
        const Pair& x = pairs[i];
        const Pair& y = pairs[j];
        if (x.a == y.a || x.a == y.b || x.b == y.a || x.b == y.b) continue;
        if (y.sum - x.sum <= std::max(x.window, y.window)) {
          count({x.a, x.b, y.a, y.b});
        }
      }
    }
  }
  return broken;
}

}  // namespace zelmar::plan
