// The reference model of a check run, written straight from the rules with
// no shortcut, and shared by the engine's unit tests and its fuzz targets:
// exact decimal expansion and the two-stage rounding on digit strings, the
// set preparation by library sorts, and both checks as plain loops that give
// their findings, from which the lines are assembled.
//
// Standard C++ only, so that the fuzz targets can use it without GoogleTest.
#pragma once

#include <zelmar/engine.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar_test {

using zelmar::FieldTexts;
using zelmar::FindingKind;
using zelmar::FrequencySet;
using zelmar::kSlotCount;

inline std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }
inline double FromBits(std::uint64_t b) { return std::bit_cast<double>(b); }

// ---------------------------------------------------------------------------
// Lines.

inline std::string Label(std::size_t position) {
  std::string label(1, 'F');
  label += std::to_string(position);
  return label;
}

// The three kinds of report line, assembled from their fixed pieces (by
// appending, which keeps GCC 12's -Wrestrict false positive quiet).
inline std::string Concat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (auto piece : pieces) text.append(piece);
  return text;
}
inline std::string ImLine(std::size_t victim, std::size_t j, std::size_t k) {
  return Concat({"●", Label(victim), "は、", Label(j), "と", Label(k),
                 "の相互変調で混信\r\n"});
}
inline std::string CloseLine(std::size_t k, std::string_view distance) {
  return Concat({"●", Label(k), "と", Label(k + 1), "は、", distance,
                 "MHz接近しています。\r\n"});
}
inline std::string SameLine(std::size_t k) {
  return Concat(
      {"●", Label(k), "と", Label(k + 1), "は、同一周波数です。\r\n"});
}

inline std::string Join(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line;
  return all;
}

// ---------------------------------------------------------------------------
// Exact decimal arithmetic on digit strings, independent of any floating-point
// conversion in the library or the engine.

// The exact decimal value of m * 2^e2 as "<integer digits>.<fraction digits>"
// (integer part "0" when below one, fraction without trailing zeros and
// possibly empty, so the text may end in ".").
inline std::string ExactDecimal(std::uint64_t m, int e2) {
  constexpr std::uint32_t kBase = 1000000000;  // little-endian base-1e9 limbs
  std::vector<std::uint32_t> limbs;
  for (std::uint64_t v = m; v != 0; v /= kBase)
    limbs.push_back(static_cast<std::uint32_t>(v % kBase));
  auto multiply = [&](std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (auto& limb : limbs) {
      std::uint64_t x = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(x % kBase);
      carry = x / kBase;
    }
    for (; carry != 0; carry /= kBase)
      limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
  };
  // m * 2^e2 = m * 5^-e2 / 10^-e2 for negative e2.
  const std::uint32_t factor = e2 >= 0 ? 2 : 5;
  for (int n = e2 >= 0 ? e2 : -e2; n > 0; --n) multiply(factor);
  std::string digits;
  for (std::size_t i = limbs.size(); i-- > 0;) {
    char buf[16];
    std::snprintf(buf, sizeof buf, i + 1 == limbs.size() ? "%u" : "%09u",
                  static_cast<unsigned>(limbs[i]));
    digits += buf;
  }
  if (digits.empty()) digits.push_back('0');
  std::size_t scale = e2 >= 0 ? 0 : static_cast<std::size_t>(-e2);
  if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
  std::string fraction = digits.substr(digits.size() - scale);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return digits.substr(0, digits.size() - scale) + "." + fraction;
}

// m and e2 with |v| = m * 2^e2, for finite v.
inline void Decompose(double v, std::uint64_t& m, int& e2) {
  std::uint64_t b = Bits(v) & 0x7FFFFFFFFFFFFFFFull;
  int exponent = static_cast<int>(b >> 52);
  m = b & 0xFFFFFFFFFFFFFull;
  if (exponent == 0) {
    e2 = -1074;
  } else {
    m |= 1ull << 52;
    e2 = exponent - 1075;
  }
}

inline std::string ExactDecimal(double v) {
  std::uint64_t m;
  int e2;
  Decompose(v, m, e2);
  return ExactDecimal(m, e2);
}

// Adds one unit in the last place of a string of decimal digits; the string
// grows by one digit when every digit was a 9.
inline void IncrementDigits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The two-stage rounding of the result field, worked on the exact decimal:
// half up to 17 significant digits, then half up at the third decimal.
inline std::string ModelFormatMHz(double v) {
  std::string exact = ExactDecimal(v);
  std::size_t point = exact.find('.');
  std::string digits = exact.substr(0, point) + exact.substr(point + 1);
  long pointPos = static_cast<long>(point);  // digits before the point
  std::size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) return "0.000";
  digits.erase(0, lead);
  pointPos -= static_cast<long>(lead);
  if (digits.size() > 17) {
    bool up = digits[17] >= '5';
    digits.resize(17);
    if (up) {
      IncrementDigits(digits);
      if (digits.size() > 17) {  // 99..9 became 100..0
        digits.pop_back();
        ++pointPos;
      }
    }
  }
  // digits[i] weighs 10^(pointPos - 1 - i); the thousandths digit has index
  // pointPos + 2 and the deciding fourth decimal index pointPos + 3.
  long keep = pointPos + 3;
  std::string scaled;  // the value times 1000, before the final rounding
  for (long i = 0; i < keep; ++i)
    scaled += i < static_cast<long>(digits.size()) ? digits[i] : '0';
  if (keep >= 0 && keep < static_cast<long>(digits.size()) &&
      digits[keep] >= '5')
    IncrementDigits(scaled);
  if (scaled.size() < 4) scaled.insert(0, 4 - scaled.size(), '0');
  std::size_t intLen = scaled.size() - 3;
  std::string intPart = scaled.substr(0, intLen);
  intPart.erase(0, std::min(intPart.find_first_not_of('0'), intLen - 1));
  return (v < 0 ? "-" : "") + intPart + "." + scaled.substr(intLen);
}

// ---------------------------------------------------------------------------
// The run.

// One finding: 1-based slots, the distance of a close pair.
struct ModelFinding {
  FindingKind kind;
  std::size_t victim = 0;
  std::size_t first = 0;
  std::size_t second = 0;
  double distance = 0.0;

  bool operator==(const ModelFinding&) const = default;
};

// Straight from the rules: pairs in lexicographic order, both slots above
// zero, difference rounded first, upper victims before lower ones, first
// match only.
inline std::vector<ModelFinding> ModelIntermodFindings(const FrequencySet& s) {
  std::vector<ModelFinding> found;
  for (std::size_t j = 0; j < kSlotCount; ++j) {
    for (std::size_t k = j + 1; k < kSlotCount; ++k) {
      if (!(s[j] > 0.0 && s[k] > 0.0)) continue;
      const double d = s[k] - s[j];
      const double upper = d + s[k];
      const double lower = s[j] - d;
      std::vector<std::size_t> victims;
      for (std::size_t x = k + 1; x < kSlotCount; ++x)
        if (upper == s[x]) victims.push_back(x + 1);
      for (std::size_t x = 0; x < j; ++x)
        if (lower == s[x]) victims.push_back(x + 1);
      if (!victims.empty())
        found.push_back(
            {FindingKind::kIntermodulation, victims.front(), j + 1, k + 1});
    }
  }
  return found;
}

// Adjacent pairs: close when 0 < d <= 0.125 on the computed difference,
// else the same frequency when both are equal and above zero.
inline std::vector<ModelFinding> ModelSpacingFindings(const FrequencySet& s) {
  std::vector<ModelFinding> found;
  for (std::size_t k = 0; k + 1 < kSlotCount; ++k) {
    const double d = s[k + 1] - s[k];
    if (d <= 0.125 && d > 0)
      found.push_back({FindingKind::kCloseSpacing, 0, k + 1, k + 2, d});
    else if (s[k + 1] == s[k] && s[k] > 0 && s[k + 1] > 0)
      found.push_back({FindingKind::kSameFrequency, 0, k + 1, k + 2});
  }
  return found;
}

inline std::string ModelLine(const ModelFinding& f) {
  switch (f.kind) {
    case FindingKind::kIntermodulation:
      return ImLine(f.victim, f.first, f.second);
    case FindingKind::kCloseSpacing:
      return CloseLine(f.first, ModelFormatMHz(f.distance));
    case FindingKind::kSameFrequency:
      return SameLine(f.first);
  }
  return "unknown kind";
}

inline std::string ModelLines(const std::vector<ModelFinding>& findings) {
  std::string text;
  for (const auto& f : findings) text += ModelLine(f);
  return text;
}

inline std::string ModelIntermod(const FrequencySet& s) {
  return ModelLines(ModelIntermodFindings(s));
}
inline std::string ModelSpacing(const FrequencySet& s) {
  return ModelLines(ModelSpacingFindings(s));
}

// Ascending order; without negative values the empty slots go last.
inline FrequencySet ModelPrepare(FrequencySet s) {
  std::sort(s.begin(), s.end());
  if (std::none_of(s.begin(), s.end(), [](double v) { return v < 0.0; }))
    std::stable_partition(s.begin(), s.end(),
                          [](double v) { return v != 0.0; });
  return s;
}

struct ModelResult {
  zelmar::CheckStatus status;
  std::vector<ModelFinding> findings;
  std::string resultText;
  FieldTexts slotTexts;
};

// The field texts as the engine reads them, in field order.
inline FrequencySet ParsedTexts(const FieldTexts& texts) {
  FrequencySet parsed{};
  for (std::size_t i = 0; i < kSlotCount; ++i)
    parsed[i] = zelmar::ParseFrequencyText(texts[i]);
  return parsed;
}

// The run on parsed values (in field order). Infinite slots are written as
// the engine's own infinity texts, which the rules leave open.
inline ModelResult ModelRun(const FrequencySet& parsed) {
  const FrequencySet s = ModelPrepare(parsed);
  ModelResult r;
  if (std::all_of(s.begin(), s.end(), [](double v) { return v == 0.0; })) {
    r.status = zelmar::CheckStatus::kNoInput;
    r.resultText = zelmar::kNoInputText;
    return r;
  }
  r.findings = ModelIntermodFindings(s);
  for (const auto& f : ModelSpacingFindings(s)) r.findings.push_back(f);
  r.status = r.findings.empty() ? zelmar::CheckStatus::kLowRisk
                                : zelmar::CheckStatus::kConflicts;
  r.resultText = r.findings.empty() ? std::string(zelmar::kLowRiskText)
                                    : ModelLines(r.findings);
  for (std::size_t k = 0; k < kSlotCount; ++k) {
    if (s[k] == 0.0) continue;
    r.slotTexts[k] = std::isinf(s[k])
                         ? std::string(s[k] < 0 ? "-1e999" : "1e999")
                         : ModelFormatMHz(s[k]);
  }
  return r;
}

// The engine's findings in the model's terms.
inline std::vector<ModelFinding> AsModel(const zelmar::Findings& findings) {
  std::vector<ModelFinding> out;
  for (const auto& f : findings)
    out.push_back({f.kind, f.victim, f.first, f.second, f.distance});
  return out;
}

}  // namespace zelmar_test
