// Products near carriers. Every product of the plan is made once, sorted by
// value per family; each carrier then looks outward from its own frequency,
// so the work is the products' count (about n^3 / 2 for 3tx3) and a search
// per carrier, not every product against every carrier.
#include "zelmar/product_map.h"

#include <algorithm>
#include <tuple>

namespace zelmar::plan {
namespace {

struct Made {
  Khz value = 0;
  std::array<int, 3> makers{};
  int maker_count = 0;
  bool MadeBy(int carrier) const {
    for (int i = 0; i < maker_count; ++i) {
      if (makers[i] == carrier) return true;
    }
    return false;
  }
};

// Every product of one family, ascending by value.
std::vector<Made> MakeAll(std::span<const Carrier> p, Family family) {
  std::vector<Made> made;
  const int n = static_cast<int>(p.size());
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      if (b == a) continue;
      const Khz x = p[a].khz, y = p[b].khz;
      if (family == Family::k2tx3) made.push_back({2 * x - y, {a, b, 0}, 2});
      if (family == Family::k2tx5) {
        made.push_back({3 * x - 2 * y, {a, b, 0}, 2});
      }
      if (family != Family::k3tx3 || b < a) continue;
      for (int c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        made.push_back({x + y - p[c].khz, {a, b, c}, 3});
      }
    }
  }
  std::sort(made.begin(), made.end(), [](const Made& l, const Made& r) {
    return std::tie(l.value, l.makers) < std::tie(r.value, r.makers);
  });
  return made;
}

Khz Reach(std::optional<Khz> window, Khz floor) {
  return window ? std::max(kReachWindows * *window, floor) : floor;
}

bool Before(const ProductNear& l, const ProductNear& r) {
  return std::tie(l.value, l.family, l.victim, l.makers) <
         std::tie(r.value, r.family, r.victim, r.makers);
}

}  // namespace

ProductMap MapProducts(std::span<const Carrier> plan,
                       std::span<const GroupRules> groups, Khz reach_floor) {
  ProductMap map;
  map.closest.assign(plan.size(), {-1, -1, -1});
  // Per carrier and family: the closest product, listed or not.
  std::vector<std::array<std::optional<ProductNear>, kFamilyCount>> closest(
      plan.size());
  for (Family family : kFamilies) {
    if (!FamilyChecked(groups, family)) continue;
    const int f = static_cast<int>(family);
    const std::vector<Made> made = MakeAll(plan, family);
    for (int v = 0; v < static_cast<int>(plan.size()); ++v) {
      const std::optional<Khz> window =
          WindowOf(groups[plan[v].group].rules, family);
      const Khz reach = Reach(window, reach_floor);
      const Khz at = plan[v].khz;
      const auto note = [&](const Made& m) {
        const ProductNear near{family,  m.makers, m.maker_count,
                               m.value, v,        std::abs(m.value - at),
                               window};
        auto& best = closest[v][f];
        if (!best || near.distance < best->distance ||
            (near.distance == best->distance && Before(near, *best))) {
          best = near;
        }
        if (near.distance <= reach) map.products.push_back(near);
        return near.distance <= reach;
      };
      // Outward from the carrier on each side, until past its reach and a
      // product not its own was seen (the closest on that side).
      const auto start = std::lower_bound(
          made.begin(), made.end(), at,
          [](const Made& m, Khz value) { return m.value < value; });
      for (auto it = start; it != made.end(); ++it) {
        if (it->MadeBy(v)) continue;
        if (!note(*it)) break;
      }
      for (auto it = start; it != made.begin();) {
        --it;
        if (it->MadeBy(v)) continue;
        if (!note(*it)) break;
      }
    }
  }
  // The closest products beyond reach are listed too, once.
  for (const auto& per_family : closest) {
    for (const auto& near : per_family) {
      if (near && near->distance > Reach(near->window, reach_floor)) {
        map.products.push_back(*near);
      }
    }
  }
  std::sort(map.products.begin(), map.products.end(), Before);
  for (std::size_t v = 0; v < plan.size(); ++v) {
    for (int f = 0; f < kFamilyCount; ++f) {
      if (!closest[v][f]) continue;
      const auto it = std::lower_bound(map.products.begin(), map.products.end(),
                                       *closest[v][f], Before);
      map.closest[v][f] = static_cast<int>(it - map.products.begin());
    }
  }
  return map;
}

}  // namespace zelmar::plan
