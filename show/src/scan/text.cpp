#include "scan/text.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cmath>
#include <system_error>

#include "zelmar/show/scan.h"

namespace zelmar::plan::scan_text {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsMark(char c, bool comma) { return c == '.' || (comma && c == ','); }

// The end of digits, a decimal mark and digits from `text[0]` on, or 0 when
// they are not there: at least one digit before the mark and one after it.
std::size_t DecimalEnd(std::string_view text, bool comma) {
  std::size_t i = 0;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == 0) return 0;
  if (i == text.size() || !IsMark(text[i], comma)) return i;
  const std::size_t decimals = ++i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i == decimals ? 0 : i;
}

constexpr std::int64_t Pow10(int n) {
  std::int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// "inf", "infinity", "nan", "nan(...)" in any case, and the Windows C
// library's "1.#INF", "1.#IND", "1.#QNAN" with their roundings to fewer
// decimals ("1.#J", "1.#IO", "1.#R"), each with an optional sign.
bool IsUnmeasured(std::string_view field) {
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
    field.remove_prefix(1);
  }
  if (EqualsLower(field, "inf") || EqualsLower(field, "infinity") ||
      EqualsLower(field, "nan")) {
    return true;
  }
  if (field.size() > 4 && EqualsLower(field.substr(0, 4), "nan(") &&
      field.back() == ')') {
    return true;
  }
  if (!field.starts_with("1.#") || field.size() == 3) return false;
  return std::all_of(field.begin() + 3, field.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '$';
  });
}

}  // namespace

bool LineCursor::Next(Line& line) {
  if (pos_ > text_.size()) return false;
  std::size_t end = text_.find('\n', pos_);
  if (end == std::string_view::npos) end = text_.size();
  line.text = text_.substr(pos_, end - pos_);
  if (line.text.ends_with('\r')) line.text.remove_suffix(1);
  line.number = ++number_;
  pos_ = end + 1;
  return true;
}

bool LineCursor::NextNonEmpty(Line& line) {
  while (Next(line)) {
    if (!Trim(line.text).empty()) return true;
  }
  return false;
}

bool Fields::Next(std::string_view& field) {
  if (done_) return false;
  const std::size_t at = rest_.find(separator_);
  if (at == std::string_view::npos) {
    field = rest_;
    done_ = true;
  } else {
    field = rest_.substr(0, at);
    rest_.remove_prefix(at + 1);
  }
  field = Unquoted(field);
  return true;
}

std::string_view Unquoted(std::string_view field) {
  field = Trim(field);
  // Spreadsheets quote fields: "806.125" is 806.125.
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
    field = Trim(field.substr(1, field.size() - 2));
  }
  return field;
}

std::size_t FieldCount(std::string_view line, char separator) {
  line = TrimLine(line, separator);
  return static_cast<std::size_t>(
             std::count(line.begin(), line.end(), separator)) +
         1;
}

char SeparatorOf(std::string_view line) {
  if (line.find(';') != std::string_view::npos) return ';';
  if (line.find('\t') != std::string_view::npos) return '\t';
  return ',';
}

FrequencyReading ReadFrequency(std::string_view field, bool comma) {
  using Status = FrequencyReading::Status;
  if (field.empty() || DecimalEnd(field, comma) != field.size()) return {};
  std::int64_t whole = 0;
  std::size_t i = 0;
  for (; i < field.size() && IsDigit(field[i]); ++i) {
    whole = std::min(whole * 10 + (field[i] - '0'), kMaxWhole);
  }
  if (whole >= kMaxWhole) return {Status::kTooHigh, 0};
  std::int64_t part = 0;
  int decimals = 0;
  for (++i; i < field.size() && decimals < kMicroDecimals; ++i, ++decimals) {
    part = part * 10 + (field[i] - '0');
  }
  part *= Pow10(kMicroDecimals - decimals);
  return {Status::kOk, whole * kMicroPerUnit + part};
}

std::optional<std::int64_t> ToMilliHz(std::int64_t micro, ScanUnit unit) {
  // Millihertz per millionth of the unit, or millionths per millihertz.
  switch (unit) {
    case ScanUnit::kGhz:
    case ScanUnit::kMhz:
    case ScanUnit::kKhz: {
      const std::int64_t per = unit == ScanUnit::kGhz   ? 1'000'000
                               : unit == ScanUnit::kMhz ? 1'000
                                                        : 1;
      if (micro > kMaxMilliHz / per) return std::nullopt;
      return micro * per;
    }
    case ScanUnit::kHz:
      break;
  }
  if (micro / 1000 > kMaxMilliHz) return std::nullopt;
  return micro / 1000;
}

LevelReading ReadLevelField(std::string_view field, bool comma) {
  using Status = LevelReading::Status;
  if (const std::optional<double> dbm = ReadLevel(field, comma)) {
    return {Status::kLevel, *dbm};
  }
  return {IsUnmeasured(field) ? Status::kUnmeasured : Status::kNotLevel, 0};
}

std::optional<double> ReadLevel(std::string_view field, bool comma) {
  bool negative = false;
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
    negative = field.front() == '-';
    field.remove_prefix(1);
  }
  if (field.empty() || DecimalEnd(field, comma) != field.size()) {
    return std::nullopt;
  }
  const bool has_comma = field.find(',') != std::string_view::npos;
  const fast_float::parse_options options(fast_float::chars_format::fixed,
                                          has_comma ? ',' : '.');
  double value = 0;
  const char* const end = field.data() + field.size();
  const auto read =
      fast_float::from_chars_advanced(field.data(), end, value, options);
  if (read.ec != std::errc{} || read.ptr != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

bool EqualsLower(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() &&
         std::equal(text.begin(), text.end(), lower.begin(),
                    [](char a, char b) { return Lower(a) == b; });
}

bool IsDate(std::string_view field) {
  return !field.empty() && IsDigit(field.front()) &&
         std::all_of(field.begin(), field.end(), [](char c) {
           return IsDigit(c) || c == '-' || c == '/' || c == '.';
         });
}

bool IsTime(std::string_view field) {
  return !field.empty() && IsDigit(field.front()) &&
         field.find(':') != std::string_view::npos &&
         std::all_of(field.begin(), field.end(),
                     [](char c) { return IsDigit(c) || c == ':' || c == '.'; });
}

bool IsDigits(std::string_view field) {
  return !field.empty() && std::all_of(field.begin(), field.end(), IsDigit);
}

std::string Quoted(std::string_view field) {
  return "\"" + CutLine(field) + "\"";
}

std::string_view TrimLine(std::string_view line, char separator) {
  line = Trim(line);
  if (line.ends_with(separator)) line = Trim(line.substr(0, line.size() - 1));
  return line;
}

std::string CutLine(std::string_view line) {
  if (line.size() <= kScanLineTextBytes) return std::string(line);
  std::size_t size = kScanLineTextBytes;
  // A UTF-8 character is at most four bytes: back off at most three.
  for (int i = 0;
       i < 3 && (static_cast<unsigned char>(line[size]) & 0xC0) == 0x80; ++i) {
    --size;
  }
  return std::string(line.substr(0, size));
}

}  // namespace zelmar::plan::scan_text
