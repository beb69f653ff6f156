// Zelmar channel check engine: turns the twelve field texts of the dialog
// into a sorted frequency set, checks it for third-order intermodulation hits
// and close spacing, and produces the texts the dialog shows.
//
// Portable C++20 without platform headers. All texts are UTF-8; any byte of
// 0x80 or above simply ends a number, so the engine never decodes them.
// Frequencies are IEEE 754 doubles in MHz, compared exactly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zelmar {

inline constexpr std::size_t kSlotCount = 12;
inline constexpr double kCloseSpacingMHz = 0.125;  // exactly one eighth

// Slot k (1-based, as the user sees it) is element k - 1.
using FrequencySet = std::array<double, kSlotCount>;

// The twelve texts of fields F1 to F12, in field order.
using FieldTexts = std::array<std::string, kSlotCount>;

// A slot is empty when it compares equal to 0.0; -0.0 is empty too.
constexpr bool IsEmptySlot(double value) { return value == 0.0; }

// "F" followed by the 1-based slot position: F1 ... F12.
std::string SlotLabel(std::size_t position);

// Reads the leading number of a field text: white space, sign, digits with at
// most one ".", optional exponent introduced by e, E, d or D. The first byte
// that does not continue the number ends it; a text without digits is +0.0.
// The result is the correctly rounded double, +-infinity on overflow and a
// signed zero on underflow; never NaN.
double ParseFrequencyText(std::string_view text);

struct PreparedSet {
  FrequencySet slots{};
  bool empty = true;  // all twelve slots are empty
};

// Parses the twelve texts, sorts the values ascending and moves leading empty
// slots behind the values.
PreparedSet PrepareFrequencySet(const FieldTexts& texts);

// What the checks found, one finding per result line, in line order.
enum class FindingKind : std::uint8_t {
  kIntermodulation,  // `victim` is hit by a product of the pair
  kCloseSpacing,     // the pair is `distance` apart, 0 < distance <= 0.125
  kSameFrequency,    // the pair holds the same positive value
};

struct Finding {
  FindingKind kind;
  std::uint8_t victim;  // 1-based slot; intermodulation only, 0 otherwise
  std::uint8_t first;   // the pair, 1-based: (j, k), or (k, k + 1) for the
  std::uint8_t second;  // spacing kinds
  double distance;      // close spacing: the difference the rule computed
};

// At most one finding per pair of slots and one per neighbour pair.
inline constexpr std::size_t kPairCount = kSlotCount * (kSlotCount - 1) / 2;
inline constexpr std::size_t kMaxFindings = kPairCount + kSlotCount - 1;
static_assert(kSlotCount < 256, "slot numbers are held in one byte");

// The findings of one run in a fixed array: a run never allocates for them.
class Findings {
 public:
  void Add(const Finding& finding) {
    // The checks add at most one finding per pair, so the array never fills;
    // a fault there must not write past it.
    if (size_ == items_.size()) std::abort();
    items_[size_++] = finding;
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Finding& operator[](std::size_t i) const { return items_[i]; }
  const Finding* begin() const { return items_.data(); }
  const Finding* end() const { return items_.data() + size_; }

 private:
  std::array<Finding, kMaxFindings> items_;
  std::size_t size_ = 0;
};

// Adds a finding for every pair of slots whose third-order product hits
// another slot exactly; at most one per pair, in pair order.
void FindIntermodulation(const FrequencySet& slots, Findings& findings);

// Adds a finding for every pair of neighbouring slots that are at most
// kCloseSpacingMHz apart, or on the same positive frequency.
void FindSpacing(const FrequencySet& slots, Findings& findings);

// The result lines of the findings, in order: the report text of a run.
std::string RenderReport(const Findings& findings);

// A value as "%.3f"-style text: rounded to 17 significant digits first, then
// half up at the third decimal. Infinities give "1e999" and "-1e999", texts
// that ParseFrequencyText reads back as the same infinity.
std::string FormatMHz(double value);

inline constexpr std::string_view kNoInputText =
    "周波数を入力してください。\r\n";
inline constexpr std::string_view kLowRiskText =
    "混信の恐れは低いと思われます。\r\n";

struct CheckResult {
  std::string resultText;  // for the result box
  FieldTexts slotTexts;    // entry k - 1 goes into field Fk
};

// The whole computation behind the Calculate button.
CheckResult RunChannelCheck(const FieldTexts& texts);

// What a run concluded, for callers that act on it rather than show it.
enum class CheckStatus : std::uint8_t {
  kNoInput,    // no slot holds a value; no check ran
  kLowRisk,    // the checks found nothing
  kConflicts,  // at least one finding
};

// A run with its findings beside the texts (which are the same as those of
// RunChannelCheck); slot numbers in the findings refer to `slotTexts`.
struct CheckReport {
  CheckResult result;
  CheckStatus status = CheckStatus::kNoInput;
  Findings findings;
};

CheckReport RunChannelCheckWithFindings(const FieldTexts& texts);

}  // namespace zelmar
