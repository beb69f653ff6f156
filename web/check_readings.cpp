#include "check_readings.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "json_writer.h"

namespace zelmar::web {
namespace {

using cli::JsonWriter;

constexpr bool IsWhiteSpace(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

constexpr bool IsExponentLetter(unsigned char c) {
  return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

std::size_t DigitsEnd(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

// The end of an exponent at text[pos], or pos when none begins there: the
// letter counts only when (a sign and) a digit follow it.
std::size_t ExponentEnd(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || !IsExponentLetter(text[pos])) return pos;
  std::size_t at = pos + 1;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  const std::size_t end = DigitsEnd(text, at);
  return end == at ? pos : end;
}

bool SameDouble(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The field each text's value is shown in after the check: the first slot
// of the prepared set holding the same value (an empty one for an empty
// value) that no earlier text took. Equal values are the same double, so
// which of them a text gets cannot show.
std::array<std::size_t, kSlotCount> ShownSlots(
    const std::array<double, kSlotCount>& values, const FrequencySet& slots) {
  std::array<bool, kSlotCount> taken{};
  std::array<std::size_t, kSlotCount> shown{};
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    const bool empty = IsEmptySlot(values[i]);
    std::size_t x = 0;
    while (x < kSlotCount && (taken[x] || (empty ? !IsEmptySlot(slots[x])
                                                 : !(slots[x] == values[i])))) {
      ++x;
    }
    // The set holds every text's value: a miss is a fault of this file.
    if (x == kSlotCount) std::abort();
    taken[x] = true;
    shown[i] = x + 1;
  }
  return shown;
}

void WriteRange(double value, JsonWriter& json) {
  json.Key("range");
  if (value > kHighestMicrophoneMHz) {
    json.String("high");
  } else if (value < 0) {
    json.String("negative");
  } else {
    json.Null();
  }
  const double khz = value / 1000;
  json.Key("khz");
  if (value > kHighestMicrophoneMHz && khz <= kHighestMicrophoneMHz) {
    json.String(FormatMHz(khz));
  } else {
    json.Null();
  }
}

void WriteField(std::string_view text, double value, std::size_t slot,
                JsonWriter& json) {
  const std::size_t used = NumberLength(text);
  json.BeginObject().Key("value").String(FormatMHz(value));
  json.Key("empty").Bool(IsEmptySlot(value));
  json.Key("used").Number(static_cast<std::int64_t>(used));
  // A number ends before any byte of 0x80 or above, so the rest of a UTF-8
  // text is UTF-8 again.
  json.Key("rest").String(text.substr(used));
  json.Key("slot").Number(static_cast<std::int64_t>(slot));
  WriteRange(value, json);
  json.EndObject();
}

// "F5 = 2 × F4 − F2 = 2 × 808.000 − 806.125 = 809.875 MHz": the product the
// rule made, from the difference first as the rule makes it.
std::string IntermodulationLine(const Finding& f, const FrequencySet& s,
                                std::array<std::size_t, 3>& terms) {
  const bool upper = f.victim > f.second;
  const std::size_t twice = upper ? f.second : f.first;
  const std::size_t once = upper ? f.first : f.second;
  const double d = s[f.second - 1] - s[f.first - 1];
  const double product = upper ? d + s[f.second - 1] : s[f.first - 1] - d;
  terms = {twice, once, f.victim};
  return SlotLabel(f.victim) + " = 2 × " + SlotLabel(twice) + " − " +
         SlotLabel(once) + " = 2 × " + FormatMHz(s[twice - 1]) + " − " +
         FormatMHz(s[once - 1]) + " = " + FormatMHz(product) + " MHz";
}

std::string FindingLine(const Finding& f, const FrequencySet& s,
                        std::array<std::size_t, 3>& terms) {
  switch (f.kind) {
    case FindingKind::kIntermodulation:
      return IntermodulationLine(f, s, terms);
    case FindingKind::kCloseSpacing:
      terms = {f.second, f.first, 0};
      return SlotLabel(f.second) + " − " + SlotLabel(f.first) + " = " +
             FormatMHz(s[f.second - 1]) + " − " + FormatMHz(s[f.first - 1]) +
             " = " + FormatMHz(f.distance) + " MHz";
    case FindingKind::kSameFrequency:
      terms = {f.first, f.second, 0};
      return SlotLabel(f.first) + " = " + SlotLabel(f.second) + " = " +
             FormatMHz(s[f.first - 1]) + " MHz";
  }
  std::abort();  // not a kind
}

void WriteFinding(const Finding& f, const FrequencySet& s, JsonWriter& json) {
  std::array<std::size_t, 3> terms{};
  const std::string line = FindingLine(f, s, terms);
  json.BeginObject().Key("frequencies").BeginArray();
  for (std::size_t slot : terms) {
    if (slot != 0) json.String(FormatMHz(s[slot - 1]));
  }
  json.EndArray().Key("line").String(line).EndObject();
}

}  // namespace

std::size_t NumberLength(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  const std::size_t start = pos;
  pos = DigitsEnd(text, pos);
  bool digits = pos != start;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fraction = pos + 1;
    pos = DigitsEnd(text, fraction);
    digits = digits || pos != fraction;
  }
  if (!digits) return 0;
  return ExponentEnd(text, pos);
}

std::string CheckReadingsJson(const FieldTexts& texts) {
  std::array<double, kSlotCount> values{};
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    values[i] = ParseFrequencyText(texts[i]);
    // The length must be the reading's own: the part it names reads alike.
    const std::string_view read =
        std::string_view(texts[i]).substr(0, NumberLength(texts[i]));
    if (!SameDouble(ParseFrequencyText(read), values[i])) std::abort();
  }
  const FrequencySet slots = PrepareFrequencySet(texts).slots;
  const CheckReport report = RunChannelCheckWithFindings(texts);
  const std::array<std::size_t, kSlotCount> shown = ShownSlots(values, slots);
  std::string out;
  JsonWriter json(out);
  json.BeginObject().Key("fields").BeginArray();
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    WriteField(texts[i], values[i], shown[i], json);
  }
  json.EndArray().Key("findings").BeginArray();
  for (const Finding& f : report.findings) WriteFinding(f, slots, json);
  json.EndArray().EndObject();
  return out;
}

}  // namespace zelmar::web
