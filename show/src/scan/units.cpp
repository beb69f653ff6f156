#include "scan/units.h"

#include <array>
#include <cstddef>

#include "scan/text.h"

namespace zelmar::plan {
namespace {

using scan_text::Lower;
constexpr bool IsLetter(char c) { return Lower(c) >= 'a' && Lower(c) <= 'z'; }

struct UnitText {
  ScanUnit unit;
  std::string_view lower;
};
// Longer names first, so that "mhz" is not read as "hz".
constexpr std::array<UnitText, 4> kUnits{{{ScanUnit::kGhz, "ghz"},
                                          {ScanUnit::kMhz, "mhz"},
                                          {ScanUnit::kKhz, "khz"},
                                          {ScanUnit::kHz, "hz"}}};

// Where each unit's span ends, in whole units: a scan of 10 MHz to 10 GHz
// gives numbers below 10,000 in MHz, 10,000 to below 10,000,000 in kHz and
// 10,000,000 or more in Hz.
constexpr std::int64_t kMhzBelow = 10'000;
constexpr std::int64_t kKhzBelow = 10'000'000;

ScanUnit SpanOf(std::int64_t micro) {
  const std::int64_t whole = micro / scan_text::kMicroPerUnit;
  if (whole < kMhzBelow) return ScanUnit::kMhz;
  if (whole < kKhzBelow) return ScanUnit::kKhz;
  return ScanUnit::kHz;
}

}  // namespace

std::string_view ScanUnitName(ScanUnit unit) {
  switch (unit) {
    case ScanUnit::kGhz:
      return "GHz";
    case ScanUnit::kMhz:
      return "MHz";
    case ScanUnit::kKhz:
      return "kHz";
    case ScanUnit::kHz:
      return "Hz";
  }
  return "?";
}

std::optional<ScanUnit> ReadScanUnit(std::string_view text) {
  for (const UnitText& u : kUnits) {
    if (scan_text::EqualsLower(text, u.lower)) return u.unit;
  }
  return std::nullopt;
}

namespace scan_units {

std::optional<ScanUnit> NamedIn(std::string_view first_field) {
  for (char c : first_field) {
    if (c >= '0' && c <= '9') return std::nullopt;
  }
  // A word of its own: no letter right before or after it.
  for (std::size_t at = 0; at < first_field.size(); ++at) {
    if (at > 0 && IsLetter(first_field[at - 1])) continue;
    for (const UnitText& u : kUnits) {
      if (first_field.size() - at < u.lower.size()) continue;
      const bool same = scan_text::EqualsLower(
          first_field.substr(at, u.lower.size()), u.lower);
      const std::size_t end = at + u.lower.size();
      if (same && (end == first_field.size() || !IsLetter(first_field[end]))) {
        return u.unit;
      }
    }
  }
  return std::nullopt;
}

std::optional<ScanUnit> FromMagnitudes(std::int64_t low, std::int64_t high) {
  const ScanUnit unit = SpanOf(low);
  if (SpanOf(high) != unit) return std::nullopt;
  return unit;
}

std::string NumberText(std::int64_t micro) {
  std::string text = std::to_string(micro / scan_text::kMicroPerUnit);
  std::int64_t part = micro % scan_text::kMicroPerUnit;
  if (part == 0) return text;
  std::string decimals = std::to_string(part + scan_text::kMicroPerUnit);
  decimals.erase(0, 1);
  while (decimals.ends_with('0')) decimals.pop_back();
  return text + "." + decimals;
}

std::string DescribeAmbiguity(std::int64_t low, std::int64_t high) {
  return "its frequencies run from " + NumberText(low) + " to " +
         NumberText(high) + ", which fit no one unit (below " +
         std::to_string(kMhzBelow) + " in MHz, below " +
         std::to_string(kKhzBelow) +
         " in kHz, in Hz above); --scan-unit MHz, kHz or Hz says the unit";
}

}  // namespace scan_units
}  // namespace zelmar::plan
