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

// The result text of one run, grown one whole line at a time.
class ReportText {
 public:
  void AppendLine(std::string_view line) {
    // One allocation holds a typical report; a full one needs about 2.7 KB.
    if (text_.empty()) text_.reserve(1024);
    text_.append(line);
  }
  bool IsEmpty() const { return text_.empty(); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Appends one line for every pair of slots whose third-order product hits
// another slot exactly; at most one line per pair, in pair order.
void CheckIntermodulation(const FrequencySet& slots, ReportText& report);

// Appends one line for every pair of neighbouring slots that are at most
// kCloseSpacingMHz apart, or on the same positive frequency.
void CheckSpacing(const FrequencySet& slots, ReportText& report);

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

}  // namespace zelmar
