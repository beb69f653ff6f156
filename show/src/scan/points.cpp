// Single frequencies and their levels: the lines that give one frequency
// each ("MHz,dBm", or a frequency and a level per sweep), and the bins that
// the readings of any such format tile the band with once the unit is
// known.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "scan/formats.h"
#include "scan/units.h"

namespace zelmar::plan::scan_read {
namespace {

using scan_text::Fields;
using scan_text::FrequencyReading;
using scan_text::kMilliHzPerKhz;
using scan_text::LevelReading;

// The floor and the ceiling, in kilohertz, of half a sum of millihertz.
Khz FloorHalfKhz(std::int64_t sum) {
  return std::max<std::int64_t>(sum, 0) / (2 * kMilliHzPerKhz);
}
Khz CeilHalfKhz(std::int64_t sum) {
  return std::min<Khz>((sum + 2 * kMilliHzPerKhz - 1) / (2 * kMilliHzPerKhz),
                       kMaxKhz);
}

// Each point from halfway to its lower neighbour to halfway to its upper one;
// the outermost reach as far outward as inward. `milli_hz` ascending, each
// frequency once; points without a measurement give no bin.
std::vector<ScanBin> TileBins(const std::vector<std::int64_t>& milli_hz,
                              const std::vector<Point>& points) {
  std::vector<ScanBin> bins;
  bins.reserve(points.size());
  const std::size_t n = points.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (points[i].dbm == kUnmeasured) continue;
    const std::int64_t f = milli_hz[i];
    const std::int64_t below = i > 0   ? milli_hz[i - 1]
                               : n > 1 ? 2 * f - milli_hz[1]
                                       : f;
    const std::int64_t above = i + 1 < n ? milli_hz[i + 1]
                               : n > 1   ? 2 * f - milli_hz[i - 1]
                                         : f;
    bins.push_back(
        {FloorHalfKhz(below + f), CeilHalfKhz(f + above), points[i].dbm});
  }
  // Points closer than a kilohertz may widen to the same bin.
  KeepHighest(bins, BinKey{});
  return bins;
}

struct Unit {
  ScanUnit unit = ScanUnit::kMhz;
  UnitSource from = UnitSource::kFormat;
};

std::optional<Unit> UnitOf(const Context& context,
                           std::optional<ScanUnit> format_unit,
                           std::int64_t low, std::int64_t high) {
  if (format_unit) return Unit{*format_unit, UnitSource::kFormat};
  if (context.named) return Unit{*context.named, UnitSource::kHeader};
  if (context.given) return Unit{*context.given, UnitSource::kGiven};
  if (const auto unit = scan_units::FromMagnitudes(low, high)) {
    return Unit{*unit, UnitSource::kMagnitudes};
  }
  return std::nullopt;
}

// Two fields, "frequency<sep>level", or a frequency and a level per sweep:
// `levels` fields after the frequency on every line.
bool ReadRow(std::string_view text, char separator, std::size_t levels,
             Point& point, std::size_t& unmeasured, ScanError& error,
             std::string& detail) {
  const bool comma = separator != ',';
  Fields fields(scan_text::TrimLine(text, separator), separator);
  std::string_view field;
  fields.Next(field);
  const FrequencyReading f = scan_text::ReadFrequency(field, comma);
  if (f.status != FrequencyReading::Status::kOk) {
    if (f.status == FrequencyReading::Status::kTooHigh) {
      error = ScanError::kFrequencyOutOfRange;
    }
    detail = FieldFault(1, field,
                        f.status == FrequencyReading::Status::kTooHigh
                            ? "is too high a frequency"
                            : "is no frequency");
    return false;
  }
  point = {f.micro, kUnmeasured};
  std::size_t read = 0;
  while (fields.Next(field)) {
    if (++read > levels) break;
    if (!TakeLevel(field, comma, read + 1, point.dbm, unmeasured, detail)) {
      return false;
    }
  }
  if (read != levels) {
    detail = "has " + std::to_string(read + 1) + " fields where " +
             std::to_string(levels + 1) + " are read";
    return false;
  }
  return true;
}

}  // namespace

std::size_t Expected(std::size_t text_size, std::size_t bytes_per_reading) {
  return std::min(text_size / bytes_per_reading, kMaxScanBins + 1);
}

ScanReading Failed(ScanError error, const Line& line, std::string detail) {
  ScanReading reading;
  reading.error = error;
  reading.line = line.number;
  reading.text = scan_text::CutLine(line.text);
  reading.detail = std::move(detail);
  return reading;
}

std::string FieldFault(std::size_t index, std::string_view field,
                       std::string_view what) {
  return "field " + std::to_string(index) + " " + scan_text::Quoted(field) +
         " " + std::string(what);
}

bool TakeLevel(std::string_view field, bool comma, std::size_t index,
               double& highest, std::size_t& unmeasured, std::string& detail) {
  const LevelReading level = scan_text::ReadLevelField(field, comma);
  switch (level.status) {
    case LevelReading::Status::kLevel:
      highest = std::max(highest, level.dbm);
      return true;
    case LevelReading::Status::kUnmeasured:
      ++unmeasured;
      return true;
    case LevelReading::Status::kNotLevel:
      break;
  }
  detail = FieldFault(index, field, "is no level");
  return false;
}

bool PointReadings::Add(const Point& point, const Line& line) {
  if (!any_ || point.micro < low_.micro) low_ = point;
  if (!any_ || point.micro > high_.micro) {
    high_ = point;
    high_line_ = line;
  }
  any_ = true;
  return points_.Add(point);
}

ScanReading PointReadings::Finish(ScanFormat format, const Context& context,
                                  std::optional<ScanUnit> format_unit,
                                  const Line& last) {
  std::vector<Point> points;
  if (!points_.Take(points)) return Failed(ScanError::kTooManyBins, last);
  if (points.empty()) return Failed(ScanError::kEmpty, Line{});
  const std::optional<Unit> unit =
      UnitOf(context, format_unit, low_.micro, high_.micro);
  if (!unit) {
    return Failed(ScanError::kUnknownUnit, Line{},
                  scan_units::DescribeAmbiguity(low_.micro, high_.micro));
  }
  std::vector<std::int64_t> milli_hz;
  milli_hz.reserve(points.size());
  for (const Point& p : points) {
    const std::optional<std::int64_t> f =
        scan_text::ToMilliHz(p.micro, unit->unit);
    if (!f) {
      return Failed(
          ScanError::kFrequencyOutOfRange, high_line_,
          "the frequency " + scan_units::NumberText(high_.micro) + " " +
              std::string(ScanUnitName(unit->unit)) +
              (unit->from == UnitSource::kMagnitudes ? ""
               : unit->from == UnitSource::kHeader   ? " (the header's unit)"
                                                     : " (the unit given)"));
    }
    milli_hz.push_back(*f);
  }
  ScanReading reading;
  reading.scan.format = format;
  reading.scan.unit = unit->unit;
  reading.scan.unit_from = unit->from;
  reading.scan.unmeasured = unmeasured_;
  reading.scan.bins = TileBins(milli_hz, points);
  if (reading.scan.bins.empty()) {
    return Failed(ScanError::kNothingMeasured, Line{},
                  std::to_string(unmeasured_) + " levels, none measured");
  }
  return reading;
}

ScanReading ReadPointRows(LineCursor& lines, Line line, char separator,
                          Context context) {
  const std::size_t levels = scan_text::FieldCount(line.text, separator) - 1;
  const ScanFormat format = levels > 1         ? ScanFormat::kFrequencyRows
                            : separator == ',' ? ScanFormat::kFrequencyLevelCsv
                                               : ScanFormat::kFrequencyLevel;
  PointReadings readings(Expected(context.text_size, kBytesPerPointLine));
  std::size_t unmeasured = 0;
  do {
    Point point;
    ScanError error =
        context.first ? ScanError::kUnknownFormat : ScanError::kBadLine;
    std::string detail;
    if (!ReadRow(line.text, separator, levels, point, unmeasured, error,
                 detail)) {
      return Failed(error, line, std::move(detail));
    }
    if (!readings.Add(point, line))
      return Failed(ScanError::kTooManyBins, line);
    context.first = false;
  } while (lines.NextNonEmpty(line));
  readings.CountUnmeasured(unmeasured);
  return readings.Finish(format, context, std::nullopt, line);
}

}  // namespace zelmar::plan::scan_read
