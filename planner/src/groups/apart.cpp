#include "groups/apart.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "dense/search.h"
#include "raster.h"
#include "score.h"

namespace zelmar::plan {
namespace {

struct Hull {
  Khz low = std::numeric_limits<Khz>::max();
  Khz high = std::numeric_limits<Khz>::min();
  void Take(Khz f) {
    low = std::min(low, f);
    high = std::max(high, f);
  }
};

// How far the values from `low` to `high` lie from the hull (0 inside).
Khz Gap(Khz low, Khz high, const Hull& h) {
  return std::max<Khz>({0, h.low - high, low - h.high});
}

// Per family, the least headroom any product that is not one group's own
// (all makers and the victim of one group) can have, from the hulls alone
// (kNoMargin: no such product is judged); nullopt where two groups'
// carriers may come within the spacing between them.
std::optional<std::array<Khz, kFamilyCount>> CrossLeast(
    const std::vector<Hull>& hulls, const GroupTables& tables) {
  const int n = static_cast<int>(hulls.size());
  std::array<Khz, kFamilyCount> least;
  least.fill(kNoMargin);
  const auto reach = [&](int family, Khz low, Khz high, int g, int h, int c) {
    for (int k = 0; k < n; ++k) {
      if (g == h && h == c && c == k) continue;  // the group's own
      const Khz w = tables.Window(k, family);
      if (w < 0) continue;
      least[family] = std::min(least[family], Gap(low, high, hulls[k]) - w);
    }
  };
  for (int g = 0; g < n; ++g) {
    for (int h = 0; h < n; ++h) {
      const Hull& a = hulls[g];
      const Hull& b = hulls[h];
      if (g < h && std::max(a.low, b.low) - std::min(a.high, b.high) <=
                       tables.Spacing(g, h)) {
        return std::nullopt;
      }
      if (tables.Checked(0)) {
        reach(0, 2 * a.low - b.high, 2 * a.high - b.low, g, h, h);
      }
      if (tables.Checked(2)) {
        reach(2, 3 * a.low - 2 * b.high, 3 * a.high - 2 * b.low, g, h, h);
      }
      for (int c = 0; c < n && tables.Checked(1); ++c) {
        const Hull& d = hulls[c];
        reach(1, a.low + b.low - d.high, a.high + b.high - d.low, g, h, c);
      }
    }
  }
  return least;
}

struct Alone {
  PlanRequest request;
  std::vector<Khz> fixed;
  int pool = -1;
  int target = 0;
};

}  // namespace

ApartAnswer PlanApart(const GroupRequest& request, const GroupTables& tables,
                      Budget& budget) {
  ApartAnswer answer;
  const int groups = static_cast<int>(request.groups.size());
  std::vector<Alone> alone(static_cast<std::size_t>(groups));
  std::vector<Hull> hulls(static_cast<std::size_t>(groups));
  for (std::size_t p = 0; p < request.pools.size(); ++p) {
    const Pool& pool = request.pools[p];
    Alone& a = alone[static_cast<std::size_t>(pool.group)];
    if (a.pool >= 0 || pool.count <= 0 || pool.channels.empty()) return answer;
    a.pool = static_cast<int>(p);
    a.request.candidates = pool.channels;
    a.request.rules = request.groups[pool.group].rules;
    hulls[pool.group].Take(pool.channels.front());
    hulls[pool.group].Take(pool.channels.back());
  }
  for (const Carrier& c : request.fixed) {
    alone[static_cast<std::size_t>(c.group)].fixed.push_back(c.khz);
    hulls[c.group].Take(c.khz);
  }
  for (Alone& a : alone) {
    if (a.pool < 0) return answer;
    std::sort(a.fixed.begin(), a.fixed.end());
    a.target = static_cast<int>(a.fixed.size()) +
               request.pools[static_cast<std::size_t>(a.pool)].count;
    if (!DenseApplies(a.request, a.fixed)) return answer;
  }
  const auto cross = CrossLeast(hulls, tables);
  if (!cross) return answer;
  for (Khz least : *cross) {
    if (least <= 0) return answer;  // a product may break a rule
  }
  // The headroom each family must keep at least (1: only valid), and the
  // first plan of group g at those floors.
  std::array<Khz, kFamilyCount> floor{1, 1, 1};
  const auto first = [&](int g, int family, Khz margin) {
    DenseQuery query;
    query.target = alone[static_cast<std::size_t>(g)].target;
    for (int f = 0; f < kFamilyCount; ++f) {
      const Khz w = tables.Window(g, f);
      query.at_least[f] = w < 0 ? 0 : w + floor[f];
    }
    if (family >= 0) query.at_least[family] = margin;
    const Alone& a = alone[static_cast<std::size_t>(g)];
    return DenseFindFirst(a.request, a.fixed, query, budget, 1);
  };
  std::vector<std::vector<Khz>> plans(static_cast<std::size_t>(groups));
  for (int g = 0; g < groups; ++g) {
    const DenseAnswer a = first(g, -1, 0);
    if (a.status != DenseAnswer::Status::kFound) {
      answer.status = a.status == DenseAnswer::Status::kNone
                          ? ApartAnswer::Status::kNone
                          : ApartAnswer::Status::kStopped;
      return answer;
    }
    plans[static_cast<std::size_t>(g)] = a.plan;
  }
  for (int f = 0; f < kFamilyCount; ++f) {
    if (!tables.Checked(f)) continue;
    Khz least = kNoMargin;  // the tightest group's most headroom
    for (int g = 0; g < groups; ++g) {
      const Khz w = tables.Window(g, f);
      if (w < 0) continue;
      // A plan at the floors settled so far, whose margin the climb starts
      // from.
      const DenseAnswer at = first(g, -1, 0);
      if (at.status != DenseAnswer::Status::kFound) {
        answer.status = ApartAnswer::Status::kStopped;
        return answer;
      }
      const std::optional<Khz> held = MeasurePlan(at.plan).margins[f];
      if (!held) continue;  // nothing of the family to judge
      // The most margin at the floors: up by doubling steps while a plan
      // has it, then halving the interval.
      const Khz step =
          RasterOf(alone[static_cast<std::size_t>(g)].request.candidates,
                   alone[static_cast<std::size_t>(g)].fixed)
              .step;
      Khz low = *held, high = kNoMargin;
      for (Khz up = step;;) {
        const Khz ask =
            high == kNoMargin ? low + up : low + (high - low) / 2 / step * step;
        if (ask <= low || (high != kNoMargin && ask >= high)) break;
        const DenseAnswer a = first(g, f, ask);
        if (a.status == DenseAnswer::Status::kStopped) {
          answer.status = ApartAnswer::Status::kStopped;
          return answer;
        }
        if (a.status == DenseAnswer::Status::kFound) {
          low = *MeasurePlan(a.plan).margins[f];
          up *= 2;
        } else {
          high = ask;
        }
      }
      least = std::min(least, low - w);
    }
    // The products between groups, far as they are, rank plans where they
    // are the family's closest: the groups then are not apart for it.
    if ((*cross)[f] != kNoMargin &&
        (least == kNoMargin || (*cross)[f] < least)) {
      return answer;
    }
    if (least != kNoMargin) floor[f] = least;
  }
  // Each group's first plan at the floors settled.
  for (int g = 0; g < groups; ++g) {
    const DenseAnswer a = first(g, -1, 0);
    if (a.status != DenseAnswer::Status::kFound) {
      answer.status = ApartAnswer::Status::kStopped;
      return answer;
    }
    plans[static_cast<std::size_t>(g)] = a.plan;
  }
  for (const Carrier& c : request.fixed) {
    answer.plan.push_back(c);
    answer.pool.push_back(-1);
  }
  for (int g = 0; g < groups; ++g) {
    const Alone& a = alone[static_cast<std::size_t>(g)];
    for (Khz f : plans[static_cast<std::size_t>(g)]) {
      if (std::binary_search(a.fixed.begin(), a.fixed.end(), f)) continue;
      answer.plan.push_back({f, g});
      answer.pool.push_back(a.pool);
    }
  }
  answer.status = ApartAnswer::Status::kFound;
  return answer;
}

}  // namespace zelmar::plan
