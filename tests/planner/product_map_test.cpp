// The products near a plan's carriers against every product of the model
// (group_model.h): the same ones within reach, each victim's window, and
// the closest product of each family per carrier.
#include "zelmar/product_map.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "group_model.h"

namespace zelmar::plan {
namespace {

using model::Lcg;
using Key = std::tuple<int, Khz, int, std::vector<int>>;  // family, value,
                                                          // victim, makers

std::optional<Khz> Window(Lcg& r) {
  const int pick = r.Below(4);
  if (pick == 0) return std::nullopt;
  return std::array<Khz, 3>{0, 50, 400}[pick - 1];
}

TEST(ProductMap, ListsWhatTheModelFindsWithinReach) {
  Lcg r{11};
  for (int round = 0; round < 400; ++round) {
    std::vector<GroupRules> groups(1 + r.Below(3));
    for (GroupRules& g : groups) {
      g.rules.guard = r.Below(2) ? 0 : 100;
      g.rules.window_3tx3 = Window(r);
      g.rules.window_2tx5 = Window(r);
    }
    std::vector<Carrier> plan;
    for (int i = 0, n = r.Below(7); i < n; ++i) {
      plan.push_back({1'000 + 125 * r.Below(16),
                      r.Below(static_cast<int>(groups.size()))});
    }
    const Khz floor = r.Below(2) ? 0 : 300;
    SCOPED_TRACE(round);
    std::set<Key> want;
    std::vector<std::array<std::optional<Khz>, kFamilyCount>> nearest(
        plan.size());
    model::ForEveryProduct(
        plan, [&](int f, Khz value, std::vector<int> makers, int v) {
          if (!FamilyChecked(groups, static_cast<Family>(f))) return;
          const auto w = model::WindowOfGroup(groups[plan[v].group], f);
          const Khz distance = std::abs(value - plan[v].khz);
          if (distance <= (w ? std::max(3 * *w, floor) : floor)) {
            want.insert({f, value, v, makers});
          }
          auto& n = nearest[v][f];
          if (!n || distance < *n) n = distance;
        });
    const ProductMap map = MapProducts(plan, groups, floor);
    std::set<Key> listed;
    for (std::size_t i = 0; i < map.products.size(); ++i) {
      const ProductNear& p = map.products[i];
      if (i > 0) {
        EXPECT_LE(map.products[i - 1].value, p.value);
      }
      const int f = static_cast<int>(p.family);
      const auto w = model::WindowOfGroup(groups[plan[p.victim].group], f);
      EXPECT_EQ(p.window, w);
      EXPECT_EQ(p.Broken(), w && p.distance <= *w);
      EXPECT_EQ(p.distance, std::abs(p.value - plan[p.victim].khz));
      const Khz reach = w ? std::max(3 * *w, floor) : floor;
      if (p.distance <= reach) {
        listed.insert({f,
                       p.value,
                       p.victim,
                       {p.makers.begin(), p.makers.begin() + p.maker_count}});
      }
    }
    EXPECT_EQ(listed, want);
    for (std::size_t v = 0; v < plan.size(); ++v) {
      for (int f = 0; f < kFamilyCount; ++f) {
        const int i = map.closest[v][f];
        ASSERT_EQ(i >= 0, nearest[v][f].has_value()) << v << " " << f;
        if (i < 0) continue;
        EXPECT_EQ(map.products[i].victim, static_cast<int>(v));
        EXPECT_EQ(map.products[i].distance, *nearest[v][f]);
      }
    }
  }
}

}  // namespace
}  // namespace zelmar::plan
