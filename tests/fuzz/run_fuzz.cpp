// Fuzzes RunChannelCheck with twelve field texts cut from the input at '|'
// (a byte that simply ends a number, like every other non-number byte) and
// checks what must hold for every run:
//  - the result is the no-input text, the low-risk text, or whole lines that
//    each begin with "●" and end with "\r\n";
//  - every line has one of the three known shapes and names slots F1..F12;
//  - at most one intermodulation line per pair (in pair order, at most 65),
//    at most one spacing line per neighbour pair (in order, at most 11), and
//    every intermodulation line stands before every spacing line;
//  - the slot texts are empty exactly for the empty slots, which are counted
//    from the parsed texts here, and no-input means all of them are empty;
//  - non-empty slot texts have the three-decimal shape and read back close
//    to their value;
//  - the findings say what the result lines say, and agree with the status;
//  - the whole result, status and findings included, equals the reference
//    model of the run that the unit tests use too.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check_model.h"
#include "fuzz_check.h"
#include "zelmar/engine.h"

const char* const fuzz::kTargetName = "run_fuzz";

namespace {

using zelmar::kSlotCount;

using fuzz::Fail;
using fuzz::Require;

constexpr std::string_view kBullet = "●";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kIntermodTail = "の相互変調で混信";
constexpr std::string_view kIs = "は、";
constexpr std::string_view kAnd = "と";
constexpr std::string_view kSame = "同一周波数です。";
constexpr std::string_view kCloseTail = "MHz接近しています。";

bool Consume(std::string_view& s, std::string_view prefix) {
  if (!s.starts_with(prefix)) return false;
  s.remove_prefix(prefix.size());
  return true;
}

// "F" and a 1-based slot number without leading zero; 0 when malformed.
std::size_t ConsumeLabel(std::string_view& s) {
  if (!Consume(s, "F")) return 0;
  std::size_t digits = 0, n = 0;
  while (digits < s.size() && digits < 3 && s[digits] >= '0' &&
         s[digits] <= '9') {
    n = n * 10 + static_cast<std::size_t>(s[digits] - '0');
    ++digits;
  }
  if (digits == 0 || s[0] == '0' || n < 1 || n > kSlotCount) return 0;
  s.remove_prefix(digits);
  return n;
}

// -?digits.ddd with no superfluous leading zero, or the infinity texts.
bool IsMHzText(std::string_view s) {
  if (s == "1e999" || s == "-1e999") return true;
  Consume(s, "-");
  const std::size_t point = s.find('.');
  if (point == std::string_view::npos || point == 0) return false;
  if (s.size() != point + 4) return false;
  if (point > 1 && s[0] == '0') return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i != point && (s[i] < '0' || s[i] > '9')) return false;
  }
  return true;
}

void CheckLines(std::string_view result) {
  Require(result.ends_with(kCrLf), "report does not end with CR LF");
  std::size_t intermod = 0, spacing = 0;
  std::size_t lastJ = 0, lastK = 0, lastSpacing = 0;
  while (!result.empty()) {
    const std::size_t eol = result.find(kCrLf);
    std::string_view line = result.substr(0, eol);
    result.remove_prefix(eol + kCrLf.size());
    Require(line.find_first_of("\r\n") == std::string_view::npos,
            "line break inside a line");
    Require(Consume(line, kBullet), "line does not begin with the bullet");
    const std::size_t first = ConsumeLabel(line);
    Require(first != 0, "bad first label");
    if (line.ends_with(kIntermodTail)) {
      Require(spacing == 0, "intermodulation line after a spacing line");
      Require(Consume(line, kIs), "intermodulation line: missing は、");
      const std::size_t j = ConsumeLabel(line);
      Require(j != 0 && Consume(line, kAnd), "intermodulation line: bad j");
      const std::size_t k = ConsumeLabel(line);
      Require(k != 0 && line == kIntermodTail, "intermodulation line: bad k");
      Require(j < k && (first < j || first > k), "impossible victim or pair");
      Require(lastJ < j || (lastJ == j && lastK < k),
              "pairs not in strictly increasing order");
      lastJ = j;
      lastK = k;
      ++intermod;
    } else {
      Require(Consume(line, kAnd), "spacing line: missing と");
      const std::size_t second = ConsumeLabel(line);
      Require(second == first + 1, "spacing line: slots are not neighbours");
      Require(first > lastSpacing, "spacing lines not in order");
      lastSpacing = first;
      Require(Consume(line, kIs), "spacing line: missing は、");
      if (line != kSame) {
        Require(line.ends_with(kCloseTail), "spacing line: unknown text");
        line.remove_suffix(kCloseTail.size());
        Require(IsMHzText(line), "spacing line: distance not a MHz text");
      }
      ++spacing;
    }
  }
  Require(intermod <= 65, "more than 65 intermodulation lines");
  Require(spacing <= 11, "more than 11 spacing lines");
}

// The findings must be what the result text says, line by line.
void CheckFindingsAgainstText(const zelmar::CheckReport& report) {
  std::string lines;
  for (const auto& f : zelmar_test::AsModel(report.findings)) {
    lines += zelmar_test::ModelLine(f);
  }
  const std::string& text = report.result.resultText;
  switch (report.status) {
    case zelmar::CheckStatus::kNoInput:
      Require(text == zelmar::kNoInputText && report.findings.empty(),
              "no-input status with findings or another text");
      break;
    case zelmar::CheckStatus::kLowRisk:
      Require(text == zelmar::kLowRiskText && report.findings.empty(),
              "low-risk status with findings or another text");
      break;
    case zelmar::CheckStatus::kConflicts:
      Require(!report.findings.empty() && lines == text,
              "findings do not match the result lines");
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  zelmar::FieldTexts texts;
  std::size_t start = 0;
  for (std::size_t field = 0; field < kSlotCount && start <= size; ++field) {
    // The last field takes the rest, separators included.
    std::size_t bar = input.find('|', start);
    if (field + 1 == kSlotCount || bar == std::string_view::npos) {
      bar = size;
    }
    texts[field] = input.substr(start, bar - start);
    start = bar + 1;
  }

  const zelmar::CheckReport report = zelmar::RunChannelCheckWithFindings(texts);
  const zelmar::CheckResult& got = report.result;
  CheckFindingsAgainstText(report);
  {
    const zelmar::CheckResult plain = zelmar::RunChannelCheck(texts);
    Require(
        plain.resultText == got.resultText && plain.slotTexts == got.slotTexts,
        "the two run functions differ");
  }

  zelmar::FrequencySet parsed{};
  std::size_t emptyTexts = 0;
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    parsed[i] = zelmar::ParseFrequencyText(texts[i]);
    Require(!std::isnan(parsed[i]), "a text parsed to NaN");
    if (parsed[i] == 0.0) ++emptyTexts;
  }
  const zelmar::FrequencySet prepared = zelmar_test::ModelPrepare(parsed);
  std::size_t emptySlotTexts = 0;
  for (std::size_t k = 0; k < kSlotCount; ++k) {
    const std::string& t = got.slotTexts[k];
    if (t.empty()) {
      ++emptySlotTexts;
      continue;
    }
    Require(IsMHzText(t), "slot text is not a three-decimal MHz text");
    const double v = prepared[k];
    Require(t.starts_with('-') == (v < 0.0), "slot text has the wrong sign");
    const double back = zelmar::ParseFrequencyText(t);
    if (std::isinf(v)) {
      Require(back == v, "infinite slot text does not read back");
    } else if (std::fabs(v) < 1e12) {
      // Three decimals, after a first rounding to 17 significant digits.
      const double ulp = std::nextafter(std::fabs(v), HUGE_VAL) - std::fabs(v);
      Require(std::fabs(back - v) <= 0.0005 + 1e-5 + 2 * ulp,
              "slot text reads back too far from its value");
    }
  }
  Require(emptySlotTexts == emptyTexts,
          "number of empty slot texts differs from number of empty values");

  const std::string_view result = got.resultText;
  if (emptyTexts == kSlotCount) {
    Require(result == zelmar::kNoInputText, "all empty but not no-input");
  } else {
    Require(result != zelmar::kNoInputText, "values present but no-input");
    if (result != zelmar::kLowRiskText) CheckLines(result);
  }

  // Every non-empty slot text is the value of a parsed text, in ascending
  // order of the values; the reference model fixes the exact texts and
  // findings.
  const zelmar_test::ModelResult want = zelmar_test::ModelRun(parsed);
  Require(got.slotTexts == want.slotTexts,
          "slot texts differ from the reference model");
  Require(got.resultText == want.resultText,
          "result text differs from the reference model");
  Require(report.status == want.status, "status differs from the model");
  Require(zelmar_test::AsModel(report.findings) == want.findings,
          "findings differ from the reference model");
  return 0;
}
