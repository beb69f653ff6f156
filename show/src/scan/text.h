// The pieces of a scan text: its lines, the fields of a line, and the
// numbers in them, read the same under every locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zelmar/planner.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan::scan_text {

// Frequencies are held in millihertz: every MHz or Hz text with up to nine
// or three decimals is then exact, and so are sums of a hop's steps. Before
// a file's unit is known they are held in millionths of the unit.
inline constexpr std::int64_t kMilliHzPerKhz = 1'000'000;
inline constexpr std::int64_t kMaxMilliHz = kMaxKhz * kMilliHzPerKhz;
inline constexpr std::int64_t kMicroPerUnit = 1'000'000;
inline constexpr int kMicroDecimals = 6;
// A number's whole part is read up to here; from here on it is too high in
// every unit (10^12 Hz is above kMaxKhz).
inline constexpr std::int64_t kMaxWhole = 1'000'000'000'000;
static_assert(kMaxWhole / 1000 > kMaxKhz);
static_assert(kMaxWhole * kMicroPerUnit < (std::int64_t{1} << 62));

struct Line {
  std::string_view text;  // without its line end
  std::size_t number = 0;
};

// The lines of a text, LF or CR LF, numbered from 1.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}
  bool Next(Line& line);
  // The next line with more than spaces and tabs on it.
  bool NextNonEmpty(Line& line);

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;
};

// The fields of a line between separators, spaces and tabs around each
// taken off, and double quotes around a field. A line has at least one
// field.
class Fields {
 public:
  Fields(std::string_view line, char separator)
      : rest_(line), separator_(separator) {}
  bool Next(std::string_view& field);

 private:
  std::string_view rest_;
  char separator_;
  bool done_ = false;
};

// A field without the spaces and tabs around it and the double quotes
// around those.
std::string_view Unquoted(std::string_view field);

// The fields of a line (TrimLine'd) between separators.
std::size_t FieldCount(std::string_view line, char separator);

// ';' when the line has one, else a tab when it has one, else ','.
char SeparatorOf(std::string_view line);

struct FrequencyReading {
  enum class Status { kOk, kNotNumber, kTooHigh } status = Status::kNotNumber;
  std::int64_t micro = 0;  // millionths of the unit, further decimals cut
};

// Digits, optionally a decimal mark ('.', or ',' too when `comma`) and
// digits. kTooHigh from kMaxWhole units on.
FrequencyReading ReadFrequency(std::string_view field, bool comma);

// Millionths of `unit` in millihertz; none above kMaxMilliHz.
std::optional<std::int64_t> ToMilliHz(std::int64_t micro, ScanUnit unit);

// A level: an optional sign, digits, optionally a decimal mark and digits;
// or one of the texts of nothing measured.
struct LevelReading {
  enum class Status {
    kLevel,
    kUnmeasured,
    kNotLevel
  } status = Status::kNotLevel;
  double dbm = 0;
};
LevelReading ReadLevelField(std::string_view field, bool comma);
// Only a number.
std::optional<double> ReadLevel(std::string_view field, bool comma);

// ASCII letters in lower case; `lower` already is.
constexpr char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool EqualsLower(std::string_view text, std::string_view lower);

// The date and time fields of an SDR sweep line: "2024-05-01", "12:00:00"
// or "12:00:00.123456".
bool IsDate(std::string_view field);
bool IsTime(std::string_view field);
bool IsDigits(std::string_view field);

// The line cut to kScanLineTextBytes, not inside a UTF-8 character.
std::string CutLine(std::string_view line);
// A field in quotes for a message, cut the same way.
std::string Quoted(std::string_view field);

// The text without the spaces and tabs around it, and without one
// separator at its end.
std::string_view TrimLine(std::string_view line, char separator);

}  // namespace zelmar::plan::scan_text
