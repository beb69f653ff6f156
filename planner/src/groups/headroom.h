// The headroom a carrier adds to a plan of device groups, counted
// incrementally: a new carrier is both a victim of the products already
// made and a maker of new products that hit the carriers already placed.
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "score.h"
#include "zelmar/groups.h"

namespace zelmar::plan {

// The rules of a request's groups as tables: the least distance between
// two groups' carriers and each group's window per family (-1: the group
// does not judge the family).
class GroupTables {
 public:
  explicit GroupTables(std::span<const GroupRules> groups);

  Khz Spacing(int g, int h) const { return spacing_[g][h]; }
  Khz Window(int g, int family) const { return window_[g][family]; }
  bool Checked(int family) const { return checked_[family]; }

  // The score of `plan` with x added, or nullopt when x breaks a rule
  // (too close to a carrier, or a product within a window). `score` is the
  // score of `plan` (headroom per family; kNoMargin where none is judged).
  // With a `floor`, also nullopt as soon as the score falls below it.
  std::optional<Score> ScoreWith(std::span<const Carrier> plan,
                                 const Score& score, Carrier x,
                                 const Score* floor = nullptr) const;

  // How many rules x breaks beside `plan`: carriers too close, products
  // with x among their makers or as their victim within a window.
  // Counting stops once past `limit`.
  int ConflictsWith(std::span<const Carrier> plan, Carrier x,
                    int limit = std::numeric_limits<int>::max()) const;

  // The score of a whole plan, carriers added in order; nullopt when it
  // breaks a rule.
  std::optional<Score> ScoreOf(std::span<const Carrier> plan) const;

  // Units of work one ScoreWith on `n` carriers costs, for the budget.
  std::uint64_t Cost(int n) const;

 private:
  std::array<std::array<Khz, kMaxDeviceGroups>, kMaxDeviceGroups> spacing_{};
  std::array<std::array<Khz, kFamilyCount>, kMaxDeviceGroups> window_{};
  std::array<bool, kFamilyCount> checked_{};
};

// Whether plan `a` (with score `sa`) is better than `b`: a larger score,
// then the lower frequencies, then the lower groups.
bool BetterGroupPlan(std::span<const Carrier> a, const Score& sa,
                     std::span<const Carrier> b, const Score& sb);

}  // namespace zelmar::plan
