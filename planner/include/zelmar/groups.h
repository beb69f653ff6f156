// Device groups: a show's carriers come in kinds (handhelds, bodypacks,
// in-ear monitors), each with its own spacing, its distance from the other
// kinds and its receivers' windows.
//
// The rules, for carriers each in one group:
//  - two carriers of one group are more than its spacing apart; two of
//    different groups more than the largest of both groups' spacings and
//    `apart` distances;
//  - every carrier transmits, so products are made from all carriers; a
//    product is judged by its victim's group: it must lie more than that
//    group's window for the family from the victim. A family is checked
//    where any group gives it a window; a group without one does not judge
//    that family's products (2tx3 is always checked, its window is the
//    guard).
//  - A product's headroom is its distance beyond its victim's window. The
//    best plan has the largest smallest 2tx3 headroom, then 3tx3, then
//    2tx5, then the lowest frequencies (see GroupRequest::names for plans
//    of the same frequencies in different groups). With one group the headroom
//    is the margin less a constant, so the order is the planner's own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::plan {

inline constexpr int kMaxDeviceGroups = 16;

struct GroupRules {
  Rules rules;    // the group's own spacing and windows (guard: 2tx3)
  Khz apart = 0;  // least distance from any carrier of another group
};

struct Carrier {
  Khz khz = 0;
  int group = 0;
  friend bool operator==(const Carrier&, const Carrier&) = default;
};

// How far apart two carriers of groups g and h must at least be (more than
// the value returned).
Khz SpacingBetween(std::span<const GroupRules> groups, int g, int h);

// Whether any group checks the family.
bool FamilyChecked(std::span<const GroupRules> groups, Family family);

// A broken rule, or a measured product, of carriers in groups.
struct Finding {
  enum class Kind { kSpacing, kProduct } kind = Kind::kProduct;
  Carrier a, b;     // spacing: the two carriers, a below b
  Khz least = 0;    // spacing: what they must be more than apart
  Product product;  // products: the product and its victim
  int victim_group = 0;
  Khz window = 0;  // the victim group's window for the family
  Khz Headroom() const { return product.Distance() - window; }
};

// A plan's figures: per family the margin and closest product over every
// product (as MeasurePlan), and the headroom and tightest product over the
// products judged (nullopt where none is).
struct GroupFigures {
  std::array<std::optional<Khz>, kFamilyCount> margins;
  std::array<std::optional<Product>, kFamilyCount> closest;
  std::array<std::optional<Khz>, kFamilyCount> headroom;
  std::array<std::optional<Finding>, kFamilyCount> tightest;
};
GroupFigures MeasureGroups(std::span<const Carrier> plan,
                           std::span<const GroupRules> groups);

// Every broken rule (at most `limit`), spacing ones first, and whether
// there were more than listed.
struct GroupViolations {
  std::vector<Finding> listed;
  bool more = false;
};
GroupViolations FindGroupViolations(std::span<const Carrier> plan,
                                    std::span<const GroupRules> groups,
                                    std::size_t limit = 10'000);

// A plan ascending by frequency (then group).
std::vector<Carrier> Ascending(std::span<const Carrier> plan);

// Where one group's new carriers come from: its channels (ascending, each
// once) and how many to take (0: as many as fit, for at most one pool).
struct Pool {
  int group = 0;
  std::vector<Khz> channels;
  int count = 0;
};

// A request of two or more groups (one group goes to FindBestPlan).
struct GroupRequest {
  std::vector<GroupRules> groups;
  std::vector<Pool> pools;
  std::vector<Carrier> fixed;
  int threads = 0;
  // One per group, or none. The search takes the groups in the byte order
  // of their names (groups of one name, or none, as given), so that the
  // order in which a front end lists them changes nothing: a tie between
  // plans of the same frequencies goes to the one whose lowest differing
  // frequency belongs to the group named first.
  std::vector<std::string> names;
};

enum class GroupRequestError {
  kNone,
  kTooManyGroups,      // more than kMaxDeviceGroups
  kTooManyCarriers,    // counts and fixed carriers above kMaxCarriers
  kTwoOpenPools,       // more than one pool takes as many as fit
  kBadPool,            // a pool of no group, unordered channels, count < 0
  kOutOfRange,         // a frequency, spacing, window or apart out of range
  kSpacingBelowCheck,  // a group's spacing below the check's
  kBadNames,           // names given, but not one per group
};
GroupRequestError CheckGroupRequest(const GroupRequest& request);

struct GroupOutcome {
  PlanOutcome::Status status = PlanOutcome::Status::kNone;
  GroupRequestError error = GroupRequestError::kNone;
  std::vector<Carrier> plan;  // ascending by frequency
  bool proven = false;
  std::optional<int> largest;  // the open pool's most carriers, when proven
  // What is not yet ruled out (as PlanOutcome's; nullopt: no bound known):
  // no valid plan holds more carriers than `most_possible` (with an open
  // pool), nor has a larger 2tx3 headroom than `headroom_possible`.
  std::optional<int> most_possible;
  std::optional<Khz> headroom_possible;
  std::uint64_t nodes = 0;
};

// The best plan of the request, as FindBestPlan finds one: proven where the
// search runs to its end, else the best found before `stop`.
GroupOutcome FindGroupPlan(const GroupRequest& request, const StopCheck& stop);

// Up to `count` frequencies of `channels` for a carrier of `group` that
// keep the whole of `plan` valid beside it, best headroom first (spares
// need not suit each other); channels in the plan are left out.
std::vector<Khz> FindSpares(std::span<const Carrier> plan,
                            std::span<const GroupRules> groups, int group,
                            std::span<const Khz> channels, int count);

}  // namespace zelmar::plan
