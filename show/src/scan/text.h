// The pieces of a scan text: its lines, the fields of a line, and the
// numbers in them, read the same under every locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zelmar/planner.h"

namespace zelmar::plan::scan_text {

// Frequencies are held in millihertz: every MHz or Hz text with up to nine
// or three decimals is then exact, and so are sums of a hop's steps.
inline constexpr std::int64_t kMilliHzPerKhz = 1'000'000;
inline constexpr std::int64_t kMaxMilliHz = kMaxKhz * kMilliHzPerKhz;
inline constexpr int kMhzDecimals = 9;  // millihertz per MHz: 10^9
inline constexpr int kHzDecimals = 3;

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
// taken off. A line has at least one field.
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

// ';' when the line has one, else a tab when it has one, else ','.
char SeparatorOf(std::string_view line);

struct FrequencyReading {
  enum class Status { kOk, kNotNumber, kTooHigh } status = Status::kNotNumber;
  std::int64_t milli_hz = 0;
};

// Digits, optionally a decimal mark ('.', or ',' too when `comma`) and
// digits, in MHz (kMhzDecimals) or Hz (kHzDecimals); decimals past the
// millihertz are cut. kTooHigh above kMaxMilliHz.
FrequencyReading ReadFrequency(std::string_view field, bool comma,
                               int unit_decimals);

// An optional sign, digits, optionally a decimal mark and digits.
std::optional<double> ReadLevel(std::string_view field, bool comma);

// The date and time fields of an SDR sweep line: "2024-05-01", "12:00:00"
// or "12:00:00.123456".
bool IsDate(std::string_view field);
bool IsTime(std::string_view field);
bool IsDigits(std::string_view field);

// The line cut to kScanLineTextBytes, not inside a UTF-8 character.
std::string CutLine(std::string_view line);

}  // namespace zelmar::plan::scan_text
