// Zelmar frequency planner: finds carrier plans that the channel check calls
// low-risk, best first.
//
// Everything here works in whole kilohertz (int64), never in accumulated
// doubles: frequencies are read from MHz texts with at most three decimals
// and written back the same way. Portable C++20 without platform headers.
//
// The rules, for a plan of carriers (fixed ones included):
//  - spacing: every two carriers are more than `spacing` apart;
//  - products: for every pair a < b and every other carrier c, the
//    third-order products 2b - a and 2a - b lie more than `guard` away from c.
// The margin of a plan is the smallest |product - c| over those triples
// (none with fewer than three carriers). For three carriers l < m < r the
// smallest of their distances is always |l + r - 2m|, so the margin is also
// the smallest such value over all triples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::plan {

using Khz = std::int64_t;

inline constexpr int kMaxCarriers = 12;
inline constexpr std::size_t kMaxCandidates = 1'000'000;
// Every frequency, spacing and guard is below 1,000,000 MHz. Far below that
// bound a double still resolves a kilohertz a million times over, which is
// what makes a plan valid here also low-risk for the check's doubles.
inline constexpr Khz kMaxKhz = 999'999'999;
inline constexpr Khz kDefaultSpacing = 125;  // the check's own 0.125 MHz
inline constexpr Khz kDefaultStep = 125;

enum class NumberError {
  kNone,
  kMalformed,        // not digits with an optional "." and digits
  kTooManyDecimals,  // more than three decimals
  kNotPositive,      // zero or below (where zero is not allowed)
  kTooLarge,         // above kMaxKhz
};

struct NumberReading {
  Khz khz = 0;
  NumberError error = NumberError::kNone;
};

// Reads "806", "806.1" or "806.125" (MHz) as whole kilohertz. A sign, an
// exponent, white space, a missing digit on either side of "." or more than
// three decimals are refused. Zero is accepted only when `allow_zero`.
NumberReading ReadMHz(std::string_view text, bool allow_zero = false);

// Human words for a reading error, e.g. "has more than three decimals".
std::string_view DescribeNumberError(NumberError error);

// "806.125": the integer MHz, ".", three decimals.
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

struct Rules {
  Khz spacing = kDefaultSpacing;  // carriers must be more than this apart
  Khz guard = 0;                  // products must be more than this away
};

// The margin of a plan in any order; nullopt with fewer than three carriers.
std::optional<Khz> PlanMargin(std::span<const Khz> plan);

// The first rule a set of carriers breaks, with the carriers involved.
struct Violation {
  enum class Rule { kNone, kSpacing, kProducts } rule = Rule::kNone;
  Khz a = 0;  // spacing: the two carriers a < b; products: the pair a < b
  Khz b = 0;
  Khz victim = 0;   // products only: the carrier near the product
  Khz product = 0;  // products only: 2b - a or 2a - b
};
Violation FindViolation(std::span<const Khz> plan, const Rules& rules);

struct SearchProgress {
  std::uint64_t nodes = 0;
  int carriers = 0;                // size of the plans being searched now
  std::optional<Khz> best_margin;  // of the best plan found so far
  bool have_plan = false;
  std::vector<Khz> best_plan;  // that plan, ascending, while have_plan: what
                               // a caller that ends the search keeps
  std::optional<Khz> margin_bound;  // proven: no plan of this size has this
                                    // margin or more
};

// Asked every few thousand nodes; returning true stops the search (a time
// limit). May be empty.
using StopCheck = std::function<bool(const SearchProgress&)>;

struct PlanRequest {
  std::vector<Khz> candidates;  // ascending, each once
  std::vector<Khz> fixed;       // carriers in every plan, any order
  Rules rules;
  int count = 0;  // 1..12 carriers, fixed ones included; 0: as many as fit
};

struct PlanOutcome {
  enum class Status {
    kFound,        // `plan` holds the best plan found
    kNone,         // no valid plan of the size asked for
    kFixedBroken,  // the fixed carriers alone already break a rule
  } status = Status::kNone;
  std::vector<Khz> plan;       // ascending
  std::optional<Khz> margin;   // of `plan`
  bool proven = false;         // the search ran to its end
  std::optional<int> largest;  // kNone: most carriers of any valid plan
                               // (nullopt when the search was stopped)
  std::uint64_t nodes = 0;
};

// The best plan: among valid plans of the asked size, the largest margin,
// then the lexicographically smallest ascending list. With count 0, the size
// is the largest (at most kMaxCarriers) that has a valid plan.
PlanOutcome FindBestPlan(const PlanRequest& request, const StopCheck& stop);

}  // namespace zelmar::plan
