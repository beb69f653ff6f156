// The formats whose rows hold levels only, their frequencies given once: a
// column header of frequencies over rows of sweeps, and a Start/Stop/step
// header over rows of levels.
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

// The column header of a sweeps file: labels, then frequencies.
struct Columns {
  std::size_t labels = 0;
  std::vector<std::int64_t> micro;
};

bool ReadColumns(std::string_view line, char separator, Columns& columns,
                 ScanError& error, std::string& detail) {
  const bool comma = separator != ',';
  Fields fields(scan_text::TrimLine(line, separator), separator);
  std::string_view field;
  for (std::size_t index = 1; fields.Next(field); ++index) {
    const FrequencyReading f = scan_text::ReadFrequency(field, comma);
    if (f.status == FrequencyReading::Status::kOk) {
      if (columns.micro.size() == kMaxScanBins) {
        error = ScanError::kTooManyBins;
        return false;
      }
      columns.micro.push_back(f.micro);
    } else if (f.status == FrequencyReading::Status::kTooHigh) {
      error = ScanError::kFrequencyOutOfRange;
      detail = FieldFault(index, field, "is too high a frequency");
      return false;
    } else if (!columns.micro.empty() || scan_text::ReadLevel(field, comma)) {
      detail = FieldFault(index, field,
                          columns.micro.empty() ? "is a level, not a label"
                                                : "is no frequency");
      return false;
    } else {
      ++columns.labels;
    }
  }
  if (columns.micro.size() < 2) {
    detail = "has fewer than two frequency columns";
    return false;
  }
  return true;
}

// One sweep: anything under the labels, a level under each frequency.
bool ReadSweepRow(std::string_view line, char separator, const Columns& columns,
                  std::vector<double>& highest, std::size_t& unmeasured,
                  std::string& detail) {
  const bool comma = separator != ',';
  Fields fields(scan_text::TrimLine(line, separator), separator);
  std::string_view field;
  std::size_t column = 0;
  for (; fields.Next(field); ++column) {
    if (column < columns.labels) continue;
    const std::size_t i = column - columns.labels;
    if (i >= highest.size()) continue;
    if (!TakeLevel(field, comma, column + 1, highest[i], unmeasured, detail)) {
      return false;
    }
  }
  if (column != columns.labels + highest.size()) {
    detail = "has " + std::to_string(column) + " fields where the header has " +
             std::to_string(columns.labels + highest.size());
    return false;
  }
  return true;
}

// The text of a line after its first `labels` fields.
std::string_view AfterLabels(std::string_view line, char separator,
                             std::size_t labels) {
  for (; labels > 0 && !line.empty(); --labels) {
    const std::size_t at = line.find(separator);
    line.remove_prefix(at == std::string_view::npos ? line.size() : at + 1);
  }
  return line;
}

// The fields of a Start/Stop header: each key's value is the next field.
struct StartStop {
  std::optional<std::int64_t> start, stop, step;
  bool each_column_one_sweep = false;
};

StartStop ReadStartStop(std::string_view line) {
  const char separator = scan_text::SeparatorOf(line);
  Fields fields(scan_text::TrimLine(line, separator), separator);
  StartStop header;
  std::optional<std::int64_t>* wanted = nullptr;
  for (std::string_view field; fields.Next(field);) {
    if (wanted != nullptr) {
      const FrequencyReading f = scan_text::ReadFrequency(field, false);
      if (f.status == FrequencyReading::Status::kOk) *wanted = f.micro;
      wanted = nullptr;
      continue;
    }
    if (scan_text::EqualsLower(field, "start")) wanted = &header.start;
    if (scan_text::EqualsLower(field, "stop")) wanted = &header.stop;
    if (scan_text::EqualsLower(field, "fstep") ||
        scan_text::EqualsLower(field, "step")) {
      wanted = &header.step;
    }
    if (scan_text::EqualsLower(field, "each_column=one_sweep")) {
      header.each_column_one_sweep = true;
    }
  }
  return header;
}

}  // namespace

ScanReading ReadFrequencyColumns(LineCursor& lines, const Line& header,
                                 char separator, const Context& context) {
  Columns columns;
  ScanError error = ScanError::kUnknownFormat;
  std::string detail;
  if (!ReadColumns(header.text, separator, columns, error, detail)) {
    return Failed(error, header, std::move(detail));
  }
  std::vector<double> highest(columns.micro.size(), kUnmeasured);
  const std::string_view frequencies = AfterLabels(
      scan_text::TrimLine(header.text, separator), separator, columns.labels);
  Line line = header;
  bool any_row = false;
  std::size_t unmeasured = 0;
  while (lines.NextNonEmpty(line)) {
    // The header again (files joined) would read as a sweep of its
    // frequencies; its labels may differ by a BOM.
    if (AfterLabels(scan_text::TrimLine(line.text, separator), separator,
                    columns.labels) == frequencies) {
      return Failed(ScanError::kBadLine, line, "repeats the column header");
    }
    if (!ReadSweepRow(line.text, separator, columns, highest, unmeasured,
                      detail)) {
      return Failed(ScanError::kBadLine, line, std::move(detail));
    }
    any_row = true;
  }
  if (!any_row) return Failed(ScanError::kEmpty, Line{});
  PointReadings readings(columns.micro.size());
  for (std::size_t i = 0; i < highest.size(); ++i) {
    readings.Add({columns.micro[i], highest[i]}, header);
  }
  readings.CountUnmeasured(unmeasured);
  return readings.Finish(ScanFormat::kFrequencyColumns, context, std::nullopt,
                         line);
}

bool IsStartStopHeader(std::string_view line) {
  const StartStop header = ReadStartStop(line);
  return header.start && header.stop && header.step;
}

ScanReading ReadStartStopRows(LineCursor& lines, const Line& header,
                              const Context& context) {
  const StartStop keys = ReadStartStop(header.text);
  const std::int64_t start = *keys.start;
  const std::int64_t stop = *keys.stop;
  const std::int64_t step = *keys.step;
  if (stop <= start || step <= 0 || (stop - start + step / 2) / step == 0 ||
      (stop - start) / step >= static_cast<std::int64_t>(kMaxScanBins)) {
    return Failed(ScanError::kUnknownFormat, header,
                  "Start " + scan_units::NumberText(start) + ", Stop " +
                      scan_units::NumberText(stop) + " and step " +
                      scan_units::NumberText(step) +
                      " give no ascending frequencies");
  }
  const std::int64_t span = stop - start;
  const std::size_t points =
      static_cast<std::size_t>((span + step / 2) / step) + 1;
  const char separator = scan_text::SeparatorOf(header.text);
  std::vector<double> row_highest;
  std::vector<double> column_highest;
  std::size_t row_fields = 0;  // of the first row
  bool same_fields = true;     // every row has as many
  std::size_t unmeasured = 0;
  Line line = header;
  while (lines.NextNonEmpty(line)) {
    Fields fields(scan_text::TrimLine(line.text, separator), separator);
    double highest = kUnmeasured;
    std::size_t column = 0;
    for (std::string_view field; fields.Next(field); ++column) {
      double cell = kUnmeasured;
      std::string detail;
      if (!TakeLevel(field, separator != ',', column + 1, cell, unmeasured,
                     detail)) {
        return Failed(ScanError::kBadLine, line, std::move(detail));
      }
      if (cell == kUnmeasured) continue;
      highest = std::max(highest, cell);
      if (column >= column_highest.size()) {
        column_highest.resize(column + 1, kUnmeasured);
      }
      column_highest[column] = std::max(column_highest[column], cell);
    }
    if (row_highest.empty()) row_fields = column;
    same_fields = same_fields && row_fields == column;
    row_highest.push_back(highest);
    if (row_highest.size() > kMaxScanBins) {
      return Failed(ScanError::kTooManyBins, line);
    }
  }
  if (row_highest.empty()) return Failed(ScanError::kEmpty, Line{});
  const bool rows_are_points = row_highest.size() == points;
  if (!rows_are_points &&
      (keys.each_column_one_sweep || !same_fields || row_fields != points)) {
    return Failed(ScanError::kPointCount, header,
                  "Start, Stop and the step give " + std::to_string(points) +
                      " frequencies, but there are " +
                      std::to_string(row_highest.size()) + " rows" +
                      (keys.each_column_one_sweep
                           ? ""
                           : " of " +
                                 (same_fields ? std::to_string(row_fields)
                                              : std::string("unlike")) +
                                 " fields"));
  }
  std::vector<double>& levels = rows_are_points ? row_highest : column_highest;
  levels.resize(points, kUnmeasured);
  PointReadings readings(points);
  const std::int64_t gaps = static_cast<std::int64_t>(points) - 1;
  for (std::size_t i = 0; i < points; ++i) {
    const std::int64_t k = static_cast<std::int64_t>(i);
    const std::int64_t f = start + span / gaps * k + span % gaps * k / gaps;
    readings.Add({f, levels[i]}, header);
  }
  readings.CountUnmeasured(unmeasured);
  return readings.Finish(ScanFormat::kStartStopRows, context, std::nullopt,
                         line);
}

}  // namespace zelmar::plan::scan_read
