// The rules of device groups, measured literally: every product with every
// carrier it may hit, each judged by its victim's group. Used for the
// analysis of a rig, the check of every plan found and the spares; the
// search keeps its own incremental account (search.h and its rooms).
#include <algorithm>
#include <numeric>

#include "zelmar/groups.h"

namespace zelmar::plan {
namespace {

// Carriers ascending by frequency (then group), with their indices kept
// stable for equal frequencies.
std::vector<Carrier> Sorted(std::span<const Carrier> plan) {
  std::vector<Carrier> sorted(plan.begin(), plan.end());
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [](const Carrier& a, const Carrier& b) { return a.khz < b.khz; });
  return sorted;
}

Product MakeProduct(Family family, std::initializer_list<Khz> makers,
                    Khz product, Khz victim) {
  Product q;
  q.family = family;
  for (Khz c : makers) q.carriers[q.carrier_count++] = c;
  std::sort(q.carriers.begin(), q.carriers.begin() + q.carrier_count);
  q.product = product;
  q.victim = victim;
  return q;
}

// Calls visit(product, victim index) for every product of the families in
// `families` and every carrier not among its makers.
template <class Visit>
void ForEveryVictim(const std::vector<Carrier>& p,
                    const std::array<bool, kFamilyCount>& families,
                    Visit&& visit) {
  const std::size_t n = p.size();
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a) continue;
      for (std::size_t c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        const Khz x = p[a].khz, y = p[b].khz, v = p[c].khz;
        if (families[0]) {
          visit(MakeProduct(Family::k2tx3, {x, y}, 2 * x - y, v), c);
        }
        if (families[2]) {
          visit(MakeProduct(Family::k2tx5, {x, y}, 3 * x - 2 * y, v), c);
        }
        if (!families[1] || b < a) continue;
        for (std::size_t d = 0; d < n; ++d) {
          if (d == a || d == b || d == c) continue;
          visit(MakeProduct(Family::k3tx3, {x, y, v}, x + y - v, p[d].khz), d);
        }
      }
    }
  }
}

std::array<bool, kFamilyCount> CheckedFamilies(
    std::span<const GroupRules> groups) {
  std::array<bool, kFamilyCount> checked{};
  for (Family f : kFamilies) {
    checked[static_cast<int>(f)] = FamilyChecked(groups, f);
  }
  return checked;
}

}  // namespace

Khz SpacingBetween(std::span<const GroupRules> groups, int g, int h) {
  const GroupRules& a = groups[g];
  const GroupRules& b = groups[h];
  if (g == h) return a.rules.spacing;
  return std::max({a.rules.spacing, b.rules.spacing, a.apart, b.apart});
}

bool FamilyChecked(std::span<const GroupRules> groups, Family family) {
  return std::any_of(groups.begin(), groups.end(), [&](const GroupRules& g) {
    return WindowOf(g.rules, family).has_value();
  });
}

GroupFigures MeasureGroups(std::span<const Carrier> plan,
                           std::span<const GroupRules> groups) {
  const std::vector<Carrier> sorted = Sorted(plan);
  GroupFigures figures;
  ForEveryVictim(
      sorted, {true, true, true}, [&](const Product& q, std::size_t victim) {
        const int f = static_cast<int>(q.family);
        if (!figures.margins[f] || q.Distance() < *figures.margins[f]) {
          figures.margins[f] = q.Distance();
          figures.closest[f] = q;
        }
        const int g = sorted[victim].group;
        const std::optional<Khz> window = WindowOf(groups[g].rules, q.family);
        if (!window) return;
        Finding found;
        found.product = q;
        found.victim_group = g;
        found.window = *window;
        if (!figures.headroom[f] || found.Headroom() < *figures.headroom[f]) {
          figures.headroom[f] = found.Headroom();
          figures.tightest[f] = found;
        }
      });
  return figures;
}

GroupViolations FindGroupViolations(std::span<const Carrier> plan,
                                    std::span<const GroupRules> groups,
                                    std::size_t limit) {
  const std::vector<Carrier> sorted = Sorted(plan);
  GroupViolations found;
  const auto add = [&](const Finding& f) {
    if (found.listed.size() == limit) {
      found.more = true;
    } else {
      found.listed.push_back(f);
    }
  };
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    for (std::size_t j = i + 1; j < sorted.size(); ++j) {
      const Khz least =
          SpacingBetween(groups, sorted[i].group, sorted[j].group);
      if (sorted[j].khz - sorted[i].khz > least) continue;
      Finding f;
      f.kind = Finding::Kind::kSpacing;
      f.a = sorted[i];
      f.b = sorted[j];
      f.least = least;
      add(f);
    }
  }
  ForEveryVictim(sorted, CheckedFamilies(groups),
                 [&](const Product& q, std::size_t victim) {
                   const int g = sorted[victim].group;
                   const std::optional<Khz> window =
                       WindowOf(groups[g].rules, q.family);
                   if (!window || q.Distance() > *window) return;
                   Finding f;
                   f.product = q;
                   f.victim_group = g;
                   f.window = *window;
                   add(f);
                 });
  return found;
}

GroupRequestError CheckGroupRequest(const GroupRequest& request) {
  const int groups = static_cast<int>(request.groups.size());
  if (groups > kMaxDeviceGroups) return GroupRequestError::kTooManyGroups;
  if (!request.names.empty() && request.names.size() != request.groups.size()) {
    return GroupRequestError::kBadNames;
  }
  for (const GroupRules& g : request.groups) {
    const Rules& r = g.rules;
    for (const std::optional<Khz>& w :
         {std::optional<Khz>(r.spacing), std::optional<Khz>(r.guard),
          r.window_3tx3, r.window_2tx5, std::optional<Khz>(g.apart)}) {
      if (w && (*w < 0 || *w > kMaxKhz)) return GroupRequestError::kOutOfRange;
    }
    if (r.spacing < kDefaultSpacing) {
      return GroupRequestError::kSpacingBelowCheck;
    }
  }
  long long carriers = static_cast<long long>(request.fixed.size());
  int open = 0;
  for (const Carrier& c : request.fixed) {
    if (c.group < 0 || c.group >= groups) return GroupRequestError::kBadPool;
    if (c.khz <= 0 || c.khz > kMaxKhz) return GroupRequestError::kOutOfRange;
  }
  for (const Pool& pool : request.pools) {
    if (pool.group < 0 || pool.group >= groups || pool.count < 0 ||
        pool.count > kMaxCarriers ||
        !std::is_sorted(pool.channels.begin(), pool.channels.end(),
                        std::less_equal<Khz>()) ||
        pool.channels.size() > kMaxCandidates) {
      return GroupRequestError::kBadPool;
    }
    if (!pool.channels.empty() &&
        (pool.channels.front() <= 0 || pool.channels.back() > kMaxKhz)) {
      return GroupRequestError::kOutOfRange;
    }
    open += pool.count == 0;
    carriers += pool.count;
  }
  if (open > 1) return GroupRequestError::kTwoOpenPools;
  if (carriers > kMaxCarriers) return GroupRequestError::kTooManyCarriers;
  return GroupRequestError::kNone;
}

}  // namespace zelmar::plan
