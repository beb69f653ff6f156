// rtl_power and hackrf_sweep CSV: one line per hop, its bins in Hz.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "scan/formats.h"

namespace zelmar::plan::scan_read {
namespace {

using scan_text::Fields;
using scan_text::FrequencyReading;
using scan_text::kMaxMilliHz;
using scan_text::kMilliHzPerKhz;
using scan_text::LevelReading;

// About the fewest bytes a bin takes ("0.00, " of two-decimal levels).
constexpr std::size_t kBytesPerBin = 6;

// An SDR sweep line's fields before its levels, in millihertz.
struct Hop {
  std::int64_t low = 0;
  std::int64_t step = 0;  // above zero
};

bool ReadHop(Fields& fields, Hop& hop, ScanError& error, std::string& detail) {
  std::string_view field[kSdrLevelsFrom];
  for (std::size_t i = 0; i < kSdrLevelsFrom; ++i) {
    if (!fields.Next(field[i])) {
      detail = "has " + std::to_string(i) + " fields before its levels, not 6";
      return false;
    }
  }
  if (!scan_text::IsDate(field[0])) {
    detail = FieldFault(1, field[0], "is no date");
    return false;
  }
  if (!scan_text::IsTime(field[1])) {
    detail = FieldFault(2, field[1], "is no time");
    return false;
  }
  if (!scan_text::IsDigits(field[5])) {
    detail = FieldFault(6, field[5], "is no count of samples");
    return false;
  }
  std::int64_t hz[3];
  for (std::size_t i = 0; i < 3; ++i) {
    const FrequencyReading f = scan_text::ReadFrequency(field[2 + i], false);
    const auto milli = f.status == FrequencyReading::Status::kOk
                           ? scan_text::ToMilliHz(f.micro, ScanUnit::kHz)
                           : std::nullopt;
    if (!milli) {
      const bool high = f.status != FrequencyReading::Status::kNotNumber;
      if (high) error = ScanError::kFrequencyOutOfRange;
      detail = FieldFault(3 + i, field[2 + i],
                          high ? "is above 999999999999 Hz" : "is no Hz");
      return false;
    }
    hz[i] = *milli;
  }
  hop = {hz[0], hz[2]};
  if (hop.step <= 0) {
    detail = FieldFault(5, field[4], "is no step above zero");
    return false;
  }
  return true;
}

// "date, time, Hz low, Hz high, Hz step, samples, dB, dB, ...".
bool ReadSdrLine(std::string_view line, BinSet& bins, std::size_t& unmeasured,
                 ScanError& error, std::string& detail) {
  Fields fields(scan_text::TrimLine(line, ','), ',');
  Hop hop;
  if (!ReadHop(fields, hop, error, detail)) return false;
  std::int64_t low = hop.low;
  std::size_t levels = 0;
  for (std::string_view field; fields.Next(field); ++levels) {
    const LevelReading level = scan_text::ReadLevelField(field, false);
    if (level.status == LevelReading::Status::kNotLevel) {
      detail = FieldFault(kSdrLevelsFrom + levels + 1, field, "is no level");
      return false;
    }
    if (hop.step > kMaxMilliHz - low) {
      error = ScanError::kFrequencyOutOfRange;
      detail = "its bins reach above 999999.999 MHz";
      return false;
    }
    const std::int64_t high = low + hop.step;
    if (level.status == LevelReading::Status::kUnmeasured) {
      ++unmeasured;
    } else if (!bins.Add({low / kMilliHzPerKhz,
                          (high + kMilliHzPerKhz - 1) / kMilliHzPerKhz,
                          level.dbm})) {
      error = ScanError::kTooManyBins;
      return false;
    }
    low = high;
  }
  if (levels == 0) {
    detail = "has no level";
    return false;
  }
  return true;
}

}  // namespace

ScanReading ReadSdrSweep(LineCursor& lines, Line line, const Context& context) {
  BinSet bins(Expected(context.text_size, kBytesPerBin));
  bool first = context.first;
  std::size_t unmeasured = 0;
  do {
    ScanError error = first ? ScanError::kUnknownFormat : ScanError::kBadLine;
    std::string detail;
    if (!ReadSdrLine(line.text, bins, unmeasured, error, detail)) {
      return Failed(error, line, std::move(detail));
    }
    first = false;
  } while (lines.NextNonEmpty(line));
  ScanReading reading;
  if (!bins.Take(reading.scan.bins)) {
    return Failed(ScanError::kTooManyBins, line);
  }
  if (reading.scan.bins.empty()) {
    return Failed(ScanError::kNothingMeasured, Line{},
                  std::to_string(unmeasured) + " levels, none measured");
  }
  reading.scan.format = ScanFormat::kSdrSweep;
  reading.scan.unit = ScanUnit::kHz;
  reading.scan.unit_from = UnitSource::kFormat;
  reading.scan.unmeasured = unmeasured;
  return reading;
}

}  // namespace zelmar::plan::scan_read
