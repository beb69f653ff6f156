// Zelmar frequency planner: finds carrier plans that the channel check calls
// low-risk, best first.
//
// Everything here works in whole kilohertz (int64), never in accumulated
// doubles: frequencies are read from MHz texts with at most three decimals
// and written back the same way. Portable C++20 without platform headers.
//
// The rules, for a plan of carriers (fixed ones included):
//  - spacing: every two carriers are more than `spacing` apart;
//  - products of each checked family lie more than that family's window
//    from every carrier not used to make them. The families:
//      2tx3: 2a - b and 2b - a of two carriers (always checked; its window
//            is `guard`);
//      3tx3: a + b - c of three distinct carriers;
//      2tx5: 3a - 2b and 3b - 2a of two carriers.
// A family's margin is the smallest |product - c| over its products and
// victims (none when too few carriers). For three carriers l < m < r the
// smallest 2tx3 distance is |l + r - 2m|; for four carriers the 3tx3
// distances are the differences of the sums of two disjoint pairs.
// Plans are ranked by the 2tx3 margin, then the 3tx3 margin, then the 2tx5
// margin (each only where checked), then the lexicographically smallest list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/engine.h"

namespace zelmar::plan {

using Khz = std::int64_t;

// The most carriers of a plan; plans up to kCheckedCarriers also go
// through the check, which has that many fields.
inline constexpr int kMaxCarriers = 64;
inline constexpr int kCheckedCarriers = static_cast<int>(kSlotCount);
static_assert(kCheckedCarriers <= kMaxCarriers);
static_assert(kMaxCarriers <= 255, "carrier indices are held in one byte");
// Counted bands (groups of candidates with a number of carriers each).
inline constexpr int kMaxGroups = 32;
inline constexpr std::size_t kMaxCandidates = 1'000'000;
inline constexpr int kMaxThreads = 64;
// Every frequency, spacing and guard is below 1,000,000 MHz. Far below that
// bound a double still resolves a kilohertz a million times over, which is
// what makes a plan valid here also low-risk for the check's doubles.
inline constexpr Khz kMaxKhz = 999'999'999;
// The check's own too-close rule, in kilohertz.
inline constexpr Khz kDefaultSpacing =
    static_cast<Khz>(kCloseSpacingMHz * 1000.0);
static_assert(static_cast<double>(kDefaultSpacing) == kCloseSpacingMHz * 1000.0,
              "the check's spacing is a whole number of kilohertz");
inline constexpr Khz kDefaultStep = kDefaultSpacing;

enum class NumberError {
  kNone,
  kMalformed,        // not digits with an optional "." and digits
  kTooManyDecimals,  // more than three decimals
  kNotPositive,      // zero or below (where zero is not allowed)
  kNegative,         // below zero (where zero is allowed)
  kTooLarge,         // above kMaxKhz
};

struct NumberReading {
  Khz khz = 0;
  NumberError error = NumberError::kNone;
};

// Reads "806", "806.1" or "806.125" (MHz) as whole kilohertz. A sign, an
// exponent, white space, a missing digit on either side of "." or more than
// three decimals are refused. Zero is accepted only when `allow_zero`; a
// number below zero is then kNegative, else kNotPositive.
NumberReading ReadMHz(std::string_view text, bool allow_zero = false);

// Human words for a reading error, e.g. "has more than three decimals".
std::string_view DescribeNumberError(NumberError error);

// "806.125": the integer MHz, ".", three decimals; "-0.080" below zero.
std::string FormatKhz(Khz khz);

struct Band {
  Khz low = 0;
  Khz high = 0;
  Khz step = kDefaultStep;
};

struct Range {
  Khz low = 0;
  Khz high = 0;
};

struct Candidates {
  std::vector<Khz> channels;  // ascending, each once
  bool too_many = false;      // more than the cap; `channels` is then partial
};

// The channels of all bands (LOW, LOW + STEP, ... up to HIGH), each once,
// without those inside any excluded range (both ends included). Stops as soon
// as more than `cap` channels would remain.
Candidates BuildCandidates(std::span<const Band> bands,
                           std::span<const Range> excludes,
                           std::size_t cap = kMaxCandidates);

// Presets. The B band: 806.125 to 809.750 MHz, channel 1 at 806.125.
inline constexpr Band kBBand{806'125, 809'750, 125};
// Its channel number (1-30) of a frequency, or 0 when it is none.
int BBandChannel(Khz khz);

// Japanese UHF TV channels 13-52: channel N spans low = 470 + 6 (N - 13) MHz
// to low + 6 MHz. Its carriers are the multiples of `step` from low + edge up
// to but not including low + 6 MHz - edge (so neighbours share none).
inline constexpr int kFirstTvChannel = 13;
inline constexpr int kLastTvChannel = 52;
inline constexpr Khz kTvChannelWidth = 6'000;
inline constexpr Khz kDefaultTvStep = 25;
Range TvChannelRange(int channel);  // low, high (high not a carrier)
// The band of a TV channel; nullopt when no multiple of `step` fits.
std::optional<Band> TvChannelBand(int channel, Khz step, Khz edge);
// The TV channel whose range holds `khz` (low included), or 0.
int TvChannelOf(Khz khz);

enum class Family { k2tx3, k3tx3, k2tx5 };
inline constexpr int kFamilyCount = 3;
inline constexpr std::array<Family, kFamilyCount> kFamilies = {
    Family::k2tx3, Family::k3tx3, Family::k2tx5};
std::string_view FamilyName(Family family);  // "2tx3", "3tx3", "2tx5"

struct Rules {
  Khz spacing = kDefaultSpacing;   // carriers must be more than this apart
  Khz guard = 0;                   // 2tx3 products must be more than this away
  std::optional<Khz> window_3tx3;  // checked only when set
  std::optional<Khz> window_2tx5;  // checked only when set
};

// The window of a family, nullopt when it is not checked.
std::optional<Khz> WindowOf(const Rules& rules, Family family);

// One product and the carrier near it.
struct Product {
  Family family = Family::k2tx3;
  std::array<Khz, 3> carriers{};  // ascending, those that make it
  int carrier_count = 0;          // 2 or 3
  Khz product = 0;
  Khz victim = 0;
  Khz Distance() const {
    return product > victim ? product - victim : victim - product;
  }
};

// The margins of a plan in any order, with one closest product of each
// family; nullopt where too few carriers leave nothing to measure. Every
// family is measured, checked or not.
struct PlanFigures {
  std::array<std::optional<Khz>, kFamilyCount> margins;
  std::array<std::optional<Product>, kFamilyCount> closest;
};
PlanFigures MeasurePlan(std::span<const Khz> plan);

// A rule a set of carriers breaks, with the carriers involved.
struct Violation {
  enum class Rule { kNone, kSpacing, kProducts } rule = Rule::kNone;
  Khz a = 0;  // spacing: the two carriers a < b
  Khz b = 0;
  Product product;  // products only
};
// Every violation (at most `limit`), spacing ones first.
std::vector<Violation> FindViolations(std::span<const Khz> plan,
                                      const Rules& rules,
                                      std::size_t limit = 10'000);
// The first violation, or one of Rule::kNone.
Violation FindViolation(std::span<const Khz> plan, const Rules& rules);

struct SearchProgress {
  std::uint64_t nodes = 0;
  int carriers = 0;                // size of the plans being searched now
  std::optional<Khz> best_margin;  // 2tx3, of the best plan found so far
  bool have_plan = false;
  // No plan of this size has a larger 2tx3 margin (nullopt: not known).
  std::optional<Khz> bound;
  // The best plan so far (ascending), for a report when the search is cut,
  // and with device groups the group of each of its carriers.
  std::vector<Khz> best_plan;
  std::vector<int> best_groups;
};

// Asked every few thousand nodes; returning true stops the search (a time
// limit). May be empty.
using StopCheck = std::function<bool(const SearchProgress&)>;

struct PlanRequest {
  std::vector<Khz> candidates;  // ascending, each once
  std::vector<Khz> fixed;       // carriers in every plan, any order
  Rules rules;
  int count = 0;  // 1..64 carriers, fixed ones included; 0: as many as fit
  // Counted bands: when not empty, candidate i belongs to group
  // `groups[i]`, and a plan holds exactly `group_counts[g]` new carriers of
  // group g; `count` must then be their sum plus the fixed carriers.
  std::vector<std::uint8_t> groups;
  std::vector<int> group_counts;
  // Threads the search may use: 0 for every hardware thread, else taken
  // as 1 to kMaxThreads. Where the search runs to its end, the answer does
  // not depend on them.
  int threads = 0;
};

// Why a request is refused; a front end words these in its own language.
enum class RequestError {
  kNone,
  kCountTooLarge,        // count above kMaxCarriers (or below zero)
  kTooManyFixed,         // more fixed carriers than kMaxCarriers
  kCountBelowFixed,      // count below the number of fixed carriers
  kFrequencyOutOfRange,  // a candidate or fixed carrier not in 1..kMaxKhz,
                         // or a spacing or window above kMaxKhz
  kSpacingBelowCheck,    // spacing below the check's own kDefaultSpacing
  kCandidatesUnordered,  // candidates not ascending, or not above zero
  kTooManyCandidates,    // more than kMaxCandidates
  kBadGroups,            // groups/group_counts inconsistent or too many
  kCountNotGroupSum,     // count differs from the group counts plus fixed
};
RequestError CheckRequest(const PlanRequest& request);

struct PlanOutcome {
  enum class Status {
    kFound,        // `plan` holds the best plan found
    kNone,         // no valid plan of the size asked for
    kFixedBroken,  // the fixed carriers alone already break a rule
    kRefused,      // the request is not one the planner takes: `error`
  } status = Status::kNone;
  RequestError error = RequestError::kNone;
  std::vector<Khz> plan;                                 // ascending
  std::optional<Khz> margin;                             // 2tx3, of `plan`
  std::array<std::optional<Khz>, kFamilyCount> margins;  // of `plan`
  bool proven = false;         // the search ran to its end
  std::optional<int> largest;  // kNone: most carriers of any valid plan
                               // (nullopt when the search was stopped)
  // What is not yet ruled out, for an answer that is not proven (and equal
  // to the answer where it is): with count 0, no valid plan holds more
  // carriers than `most_possible`; no plan of the answer's size has a 2tx3
  // margin above `margin_possible` (nullopt: no bound known).
  std::optional<int> most_possible;
  std::optional<Khz> margin_possible;
  std::uint64_t nodes = 0;
};

// The best plan: among valid plans of the asked size, the largest margins
// in family order, then the lexicographically smallest ascending list. With
// count 0, the size is the largest (at most kMaxCarriers) that has a valid
// plan; counts need a count. A search cut by `stop` returns the best plan
// found so far, not proven. Where the search runs to its end the answer does
// not depend on timing.
PlanOutcome FindBestPlan(const PlanRequest& request, const StopCheck& stop);

}  // namespace zelmar::plan
