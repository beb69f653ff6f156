// A plain model of the rules of device groups, for small requests: every
// product of every two or three carriers against every other carrier,
// judged by the victim's group, and every choice of channels tried.
// Deliberately slow and literal; shared by the unit tests and the fuzz
// target.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "zelmar/groups.h"

namespace zelmar::model {

using plan::Carrier;
using plan::GroupRules;
using plan::Khz;

// A small generator of its own, so that a failing round can be replayed.
struct Lcg {
  std::uint64_t state;
  int Below(int n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
  }
};

struct GroupJudgement {
  bool valid = true;
  int broken = 0;  // rules broken: pairs too close, products near victims
  // Smallest headroom per family; absent where nothing is judged.
  std::array<std::optional<Khz>, plan::kFamilyCount> headroom;
};

inline std::optional<Khz> WindowOfGroup(const GroupRules& g, int family) {
  if (family == 0) return g.rules.guard;
  return family == 1 ? g.rules.window_3tx3 : g.rules.window_2tx5;
}

// What two carriers must be more than apart: the larger spacing of their
// groups, and of two groups the larger `apart` too.
inline Khz LeastApart(const std::vector<GroupRules>& groups, const Carrier& a,
                      const Carrier& b) {
  const GroupRules& ga = groups[a.group];
  const GroupRules& gb = groups[b.group];
  Khz least = std::max(ga.rules.spacing, gb.rules.spacing);
  if (a.group != b.group) least = std::max({least, ga.apart, gb.apart});
  return least;
}

inline GroupJudgement JudgeGroups(const std::vector<Carrier>& p,
                                  const std::vector<GroupRules>& groups) {
  GroupJudgement j;
  const std::size_t n = p.size();
  const auto note = [&](int family, Khz product, const Carrier& victim) {
    const auto w = WindowOfGroup(groups[victim.group], family);
    if (!w) return;
    const Khz h = std::abs(product - victim.khz) - *w;
    if (h <= 0) {
      j.valid = false;
      ++j.broken;
    }
    if (!j.headroom[family] || h < *j.headroom[family]) j.headroom[family] = h;
  };
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      if (a == b) continue;
      if (a < b &&
          std::abs(p[a].khz - p[b].khz) <= LeastApart(groups, p[a], p[b])) {
        j.valid = false;
        ++j.broken;
      }
      for (std::size_t c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        note(0, 2 * p[a].khz - p[b].khz, p[c]);
        note(2, 3 * p[a].khz - 2 * p[b].khz, p[c]);
        for (std::size_t d = 0; d < n && a < b; ++d) {
          if (d == a || d == b || d == c) continue;
          note(1, p[a].khz + p[b].khz - p[c].khz, p[d]);
        }
      }
    }
  }
  return j;
}

// The rules a plan breaks, one instance at a time, and how many instances
// each carrier is in: every pair not more than their groups' spacing apart;
// every carrier a with a pair {b, c} of others where 2a - b lies within the
// window of c's group of c, or 2a - c within b's of b (one distance, so
// one instance); every two disjoint pairs whose sums lie within the 3tx3
// window of any of the four carriers' groups; every ordered triple where
// 3a - 2b lies within the 2tx5 window of c's group of c.
struct Broken {
  int total = 0;
  std::vector<int> per_carrier;
};

inline Broken BrokenRules(const std::vector<Carrier>& p,
                          const std::vector<GroupRules>& groups) {
  const std::size_t n = p.size();
  Broken broken;
  broken.per_carrier.assign(n, 0);
  const auto count = [&](std::initializer_list<std::size_t> carriers) {
    ++broken.total;
    for (std::size_t i : carriers) ++broken.per_carrier[i];
  };
  // Whether `distance` is within the window of any of the carriers' groups.
  const auto within = [&](Khz distance, int family,
                          std::initializer_list<std::size_t> victims) {
    for (std::size_t v : victims) {
      const auto w = WindowOfGroup(groups[p[v].group], family);
      if (w && std::abs(distance) <= *w) return true;
    }
    return false;
  };
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a) continue;
      if (a < b &&
          std::abs(p[a].khz - p[b].khz) <= LeastApart(groups, p[a], p[b])) {
        count({a, b});
      }
      for (std::size_t c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        if (b < c && within(2 * p[a].khz - p[b].khz - p[c].khz, 0, {b, c})) {
          count({a, b, c});
        }
        if (within(3 * p[a].khz - 2 * p[b].khz - p[c].khz, 2, {c})) {
          count({a, b, c});
        }
        if (a >= b) continue;
        // {a, b} against {c, d}, each two pairs once.
        for (std::size_t d = c + 1; d < n; ++d) {
          if (d == a || d == b || c < a) continue;
          if (within(p[a].khz + p[b].khz - p[c].khz - p[d].khz, 1,
                     {a, b, c, d})) {
            count({a, b, c, d});
          }
        }
      }
    }
  }
  return broken;
}

// Calls visit(family, product, makers, victim) for every product of every
// family and every carrier not among its makers: 2tx3 2a - b and 2tx5
// 3a - 2b as {a, b}, 3tx3 a + b - c as {a, b, c} with a < b.
template <class Visit>
void ForEveryProduct(const std::vector<Carrier>& p, Visit&& visit) {
  const int n = static_cast<int>(p.size());
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      for (int c = 0; c < n && a != b; ++c) {
        for (int v = 0; v < n; ++v) {
          if (v == a || v == b) continue;
          if (c == 0) {
            visit(0, 2 * p[a].khz - p[b].khz, std::vector<int>{a, b}, v);
            visit(2, 3 * p[a].khz - 2 * p[b].khz, std::vector<int>{a, b}, v);
          }
          if (a < b && c != a && c != b && v != c) {
            visit(1, p[a].khz + p[b].khz - p[c].khz, std::vector<int>{a, b, c},
                  v);
          }
        }
      }
    }
  }
}

// Larger headroom first (an absent one above any), family by family.
inline bool HeadroomAbove(const GroupJudgement& a, const GroupJudgement& b) {
  for (int f = 0; f < plan::kFamilyCount; ++f) {
    const Khz x = a.headroom[f].value_or(std::numeric_limits<Khz>::max());
    const Khz y = b.headroom[f].value_or(std::numeric_limits<Khz>::max());
    if (x != y) return x > y;
  }
  return false;
}

inline bool CarrierBelow(const Carrier& a, const Carrier& b) {
  return a.khz != b.khz ? a.khz < b.khz : a.group < b.group;
}

struct GroupAnswer {
  std::optional<std::vector<Carrier>> plan;  // ascending
  std::optional<int> largest;                // the open pool's, if any
};

// The best plan: every pool's channels chosen every way, the open pool
// (count 0) filled to the most carriers any valid plan holds.
inline GroupAnswer BestGroupPlan(const plan::GroupRequest& request) {
  GroupAnswer answer;
  int open = -1;
  for (std::size_t p = 0; p < request.pools.size(); ++p) {
    if (request.pools[p].count == 0) open = static_cast<int>(p);
  }
  const auto best_of = [&](int open_count) {
    std::optional<std::vector<Carrier>> best;
    GroupJudgement best_j;
    std::vector<Carrier> plan = request.fixed;
    auto walk = [&](auto& self, std::size_t pool, int taken,
                    std::size_t from) -> void {
      if (pool == request.pools.size()) {
        std::vector<Carrier> sorted = plan;
        std::sort(sorted.begin(), sorted.end(), CarrierBelow);
        const GroupJudgement j = JudgeGroups(sorted, request.groups);
        if (!j.valid) return;
        if (!best || HeadroomAbove(j, best_j) ||
            (!HeadroomAbove(best_j, j) &&
             std::lexicographical_compare(sorted.begin(), sorted.end(),
                                          best->begin(), best->end(),
                                          CarrierBelow))) {
          best = sorted;
          best_j = j;
        }
        return;
      }
      const plan::Pool& p = request.pools[pool];
      const int need = static_cast<int>(pool) == open ? open_count : p.count;
      if (taken == need) return self(self, pool + 1, 0, 0);
      for (std::size_t i = from; i < p.channels.size(); ++i) {
        plan.push_back({p.channels[i], p.group});
        self(self, pool, taken + 1, i + 1);
        plan.pop_back();
      }
    };
    walk(walk, 0, 0, 0);
    return best;
  };
  if (open < 0) {
    answer.plan = best_of(0);
    return answer;
  }
  for (int n = 0;; ++n) {
    auto plan = best_of(n);
    if (!plan) break;
    answer.plan = plan;
    answer.largest = n;
  }
  return answer;
}

// Up to `count` spares of `group` from `channels`: each valid beside the
// whole plan, largest headroom first, then the lowest.
inline std::vector<Khz> SparesOf(const std::vector<Carrier>& plan,
                                 const std::vector<GroupRules>& groups,
                                 int group, const std::vector<Khz>& channels,
                                 int count) {
  std::vector<std::pair<GroupJudgement, Khz>> usable;
  for (Khz f : channels) {
    std::vector<Carrier> with = plan;
    with.push_back({f, group});
    const GroupJudgement j = JudgeGroups(with, groups);
    if (j.valid) usable.emplace_back(j, f);
  }
  std::stable_sort(usable.begin(), usable.end(),
                   [](const auto& a, const auto& b) {
                     return HeadroomAbove(a.first, b.first);
                   });
  std::vector<Khz> spares;
  for (std::size_t i = 0; i < usable.size() && i < std::size_t(count); ++i) {
    spares.push_back(usable[i].second);
  }
  return spares;
}

}  // namespace zelmar::model
