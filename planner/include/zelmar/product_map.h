// The products that land near a plan's carriers, for a picture of the air:
// every product of a checked family with every carrier it lands within
// reach of (its makers aside), and for each carrier the closest product of
// each checked family that it suffers, however far.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "zelmar/groups.h"

namespace zelmar::plan {

// A product is within reach of a victim when it lies no farther away than
// kReachWindows times the victim's group's window, or than the floor given.
inline constexpr int kReachWindows = 3;

struct ProductNear {
  Family family = Family::k2tx3;
  // Indices into the plan: 2tx3 is 2*a - b, 2tx5 3*a - 2*b, 3tx3 a + b - c.
  std::array<int, 3> makers{};
  int maker_count = 0;
  Khz value = 0;  // may lie below zero
  int victim = 0;
  Khz distance = 0;  // |value - victim|
  // The victim's group's window; nullopt where its group does not judge
  // the family.
  std::optional<Khz> window;
  bool Broken() const { return window && distance <= *window; }
};

struct ProductMap {
  // Ascending by value, then family, victim and makers.
  std::vector<ProductNear> products;
  // Per carrier and family: the index into `products` of the closest product
  // it suffers, or -1 (family not checked, or too few carriers).
  std::vector<std::array<int, kFamilyCount>> closest;
};

// `plan` in any order (indices stay the caller's); up to kMaxCarriers.
ProductMap MapProducts(std::span<const Carrier> plan,
                       std::span<const GroupRules> groups, Khz reach_floor);

}  // namespace zelmar::plan
