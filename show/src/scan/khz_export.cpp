// The kHz;RF level export of coordination software: a block of "key;value"
// lines, the column row "Frequency;RF level (%);RF level", then a row per
// frequency in kHz, then perhaps a footer.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

#include "scan/formats.h"

namespace zelmar::plan::scan_read {
namespace {

using scan_text::Fields;
using scan_text::FrequencyReading;
using scan_text::LevelReading;

constexpr char kSeparator = ';';
constexpr std::size_t kLevelColumn = 3;
// dBuV across 50 ohms to dBm: 10 log10(10^-12 / 50 / 10^-3).
constexpr double kDbuvAboveDbm = 107.0;

// The block's "RFUnit;..." value, when it has one.
std::optional<std::string_view> RfUnitOf(LineCursor block, std::size_t until) {
  Line line;
  while (block.NextNonEmpty(line) && line.number < until) {
    Fields fields(line.text, kSeparator);
    std::string_view key;
    std::string_view value;
    fields.Next(key);
    if (scan_text::EqualsLower(key, "rfunit") && fields.Next(value))
      return value;
  }
  return std::nullopt;
}

// "470000;12;-95.5": the frequency, the percentage (not read) and the
// level; empty, or nothing measured, when the row measured nothing.
bool ReadExportRow(std::string_view text, Point& point, std::size_t& unmeasured,
                   std::string& detail) {
  Fields fields(scan_text::TrimLine(text, kSeparator), kSeparator);
  std::string_view field[kLevelColumn];
  std::size_t count = 0;
  for (std::string_view f; count < kLevelColumn && fields.Next(f); ++count) {
    field[count] = f;
  }
  const FrequencyReading f = scan_text::ReadFrequency(field[0], true);
  if (f.status != FrequencyReading::Status::kOk) {
    detail = FieldFault(1, field[0], "is no frequency in kHz");
    return false;
  }
  point = {f.micro, kUnmeasured};
  if (count < kLevelColumn || field[2].empty()) {
    ++unmeasured;
    return true;
  }
  const LevelReading level = scan_text::ReadLevelField(field[2], true);
  if (level.status == LevelReading::Status::kNotLevel) {
    detail = FieldFault(kLevelColumn, field[2], "is no level");
    return false;
  }
  if (level.status == LevelReading::Status::kUnmeasured) {
    ++unmeasured;
  } else {
    point.dbm = level.dbm;
  }
  return true;
}

bool StartsWithNumber(std::string_view text) {
  Fields fields(text, kSeparator);
  std::string_view first;
  fields.Next(first);
  return scan_text::ReadFrequency(first, true).status !=
         FrequencyReading::Status::kNotNumber;
}

}  // namespace

bool IsKhzExportColumns(std::string_view line) {
  Fields fields(line, kSeparator);
  std::string_view field;
  for (std::string_view name : {"frequency", "rf level (%)", "rf level"}) {
    if (!fields.Next(field) || !scan_text::EqualsLower(field, name))
      return false;
  }
  return true;
}

ScanReading ReadKhzExport(LineCursor& lines, LineCursor block,
                          const Line& columns, const Context& context) {
  double shift = 0;
  if (const auto unit = RfUnitOf(block, columns.number)) {
    if (scan_text::EqualsLower(*unit, "dbuv") || *unit == "dB\xC2\xB5V") {
      shift = -kDbuvAboveDbm;
    } else if (!scan_text::EqualsLower(*unit, "dbm")) {
      return Failed(ScanError::kUnknownFormat, columns,
                    "the RFUnit " + scan_text::Quoted(*unit) +
                        " is neither dBm nor dBuV");
    }
  }
  PointReadings readings(Expected(context.text_size, kBytesPerPointLine));
  std::size_t unmeasured = 0;
  Line line = columns;
  Line last = columns;
  std::size_t footer = 0;
  while (lines.NextNonEmpty(line)) {
    if (footer > 0 || !StartsWithNumber(line.text)) {
      if (footer == 0 && last.number == columns.number) {
        return Failed(ScanError::kBadLine, line, "is no row of readings");
      }
      if (footer > 0 && StartsWithNumber(line.text)) {
        return Failed(ScanError::kBadLine, line,
                      "is a row of readings after the footer's first line");
      }
      ++footer;
      continue;
    }
    Point point;
    std::string detail;
    if (!ReadExportRow(line.text, point, unmeasured, detail)) {
      return Failed(ScanError::kBadLine, line, std::move(detail));
    }
    if (point.dbm != kUnmeasured) point.dbm += shift;
    if (!readings.Add(point, line))
      return Failed(ScanError::kTooManyBins, line);
    last = line;
  }
  if (last.number == columns.number) return Failed(ScanError::kEmpty, Line{});
  readings.CountUnmeasured(unmeasured);
  ScanReading reading =
      readings.Finish(ScanFormat::kKhzExport, context, ScanUnit::kKhz, last);
  reading.scan.footer_lines = footer;
  return reading;
}

}  // namespace zelmar::plan::scan_read
