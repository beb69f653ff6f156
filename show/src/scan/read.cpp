// Which scan format a text is: its header lines, the line that opens its
// data, and the words for formats and refusals.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "scan/formats.h"
#include "scan/units.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan {
namespace {

using scan_read::Context;
using scan_text::Fields;
using scan_text::Line;
using scan_text::LineCursor;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class Layout { kSdr, kPoints, kColumns };

// The layout the first data line (one with two numbers or more) opens: an
// SDR hop by its date and time; a column header by its labels, or by
// ascending frequencies alone; else a frequency with its levels.
Layout Recognise(std::string_view line, char separator) {
  const bool comma = separator != ',';
  Fields fields(scan_text::TrimLine(line, separator), separator);
  std::string_view field[2];
  std::size_t count = 0;
  bool label_first = false;
  bool ascending = true;
  std::int64_t last = -1;
  for (std::string_view f; fields.Next(f); ++count) {
    if (count < 2) field[count] = f;
    const scan_text::FrequencyReading r = scan_text::ReadFrequency(f, comma);
    if (count == 0) {
      label_first =
          r.status == scan_text::FrequencyReading::Status::kNotNumber &&
          !scan_text::ReadLevel(f, comma);
    }
    if (r.status != scan_text::FrequencyReading::Status::kOk ||
        r.micro <= last) {
      ascending = false;
    }
    last = r.micro;
  }
  if (separator == ',' && count > scan_read::kSdrLevelsFrom &&
      scan_text::IsDate(field[0]) && scan_text::IsTime(field[1])) {
    return Layout::kSdr;
  }
  if (label_first || (count > 2 && ascending)) return Layout::kColumns;
  return Layout::kPoints;
}

// Whether a line is data rather than a header: two numbers, or a number
// and a level that measured nothing. Split at every separator there is, a
// number of any format's data line stays one or more numbers (806,125
// becomes two), so no line taken as a header fits any format.
bool HasTwoNumbers(std::string_view line) {
  int numbers = 0;
  int unmeasured = 0;
  while (numbers < 2 && (numbers == 0 || unmeasured == 0)) {
    const std::size_t end = std::min(line.find_first_of(",;\t"), line.size());
    std::string_view field = line.substr(0, end);
    field = scan_text::Unquoted(field);
    switch (scan_text::ReadLevelField(field, false).status) {
      case scan_text::LevelReading::Status::kLevel:
        ++numbers;
        break;
      case scan_text::LevelReading::Status::kUnmeasured:
        ++unmeasured;
        break;
      case scan_text::LevelReading::Status::kNotLevel:
        break;
    }
    if (end == line.size()) break;
    line.remove_prefix(end + 1);
  }
  return numbers == 2 || (numbers == 1 && unmeasured > 0);
}

// The unit the header line just before the data names for the first
// column, when it has as many fields as the data line.
std::optional<ScanUnit> NamedUnit(const std::optional<Line>& names,
                                  std::string_view data, char separator) {
  if (!names || scan_text::FieldCount(names->text, separator) !=
                    scan_text::FieldCount(data, separator)) {
    return std::nullopt;
  }
  Fields fields(scan_text::TrimLine(names->text, separator), separator);
  std::string_view first;
  fields.Next(first);
  return scan_units::NamedIn(first);
}

ScanReading ReadFrom(LineCursor& lines, const Line& first, Context context,
                     const std::optional<Line>& names) {
  const char separator = scan_text::SeparatorOf(first.text);
  context.named = NamedUnit(names, first.text, separator);
  if (context.named && context.given && *context.named != *context.given) {
    return scan_read::Failed(
        ScanError::kUnitConflict, *names,
        "the header names " + std::string(ScanUnitName(*context.named)) +
            ", not the " + std::string(ScanUnitName(*context.given)) +
            " given");
  }
  switch (Recognise(first.text, separator)) {
    case Layout::kSdr:
      return scan_read::ReadSdrSweep(lines, first, context);
    case Layout::kColumns:
      return scan_read::ReadFrequencyColumns(lines, first, separator, context);
    case Layout::kPoints:
      break;
  }
  return scan_read::ReadPointRows(lines, first, separator, context);
}

// The kHz export's column row among the lines a header may take, with the
// lines before it.
std::optional<Line> KhzExportColumns(LineCursor lines) {
  Line line;
  for (std::size_t i = 0; i <= kMaxScanHeaderLines && lines.NextNonEmpty(line);
       ++i) {
    if (scan_read::IsKhzExportColumns(line.text)) return line;
  }
  return std::nullopt;
}

}  // namespace

std::string_view ScanFormatName(ScanFormat format) {
  switch (format) {
    case ScanFormat::kFrequencyLevelCsv:
      return "frequency,level CSV";
    case ScanFormat::kFrequencyLevel:
      return "frequency;level list";
    case ScanFormat::kFrequencyRows:
      return "frequency rows CSV";
    case ScanFormat::kFrequencyColumns:
      return "frequency columns CSV";
    case ScanFormat::kSdrSweep:
      return "rtl_power/hackrf_sweep CSV";
    case ScanFormat::kKhzExport:
      return "kHz;RF level export";
    case ScanFormat::kStartStopRows:
      return "Start/Stop level rows";
  }
  return "?";
}

std::string_view DescribeScanError(ScanError error) {
  switch (error) {
    case ScanError::kNone:
      return "is read";
    case ScanError::kEmpty:
      return "holds no readings";
    case ScanError::kUnknownFormat:
      return "fits no scan format";
    case ScanError::kBadLine:
      return "does not fit the format of the lines before";
    case ScanError::kFrequencyOutOfRange:
      return "has a frequency above 999999.999 MHz";
    case ScanError::kTooManyBins:
      return "takes the scan past 10,000,000 bins";
    case ScanError::kNothingMeasured:
      return "holds no measured level";
    case ScanError::kUnknownUnit:
      return "does not tell the unit of its frequencies";
    case ScanError::kUnitConflict:
      return "names another unit than the one given";
    case ScanError::kPointCount:
      return "does not hold the rows its Start, Stop and step give";
  }
  return "?";
}

std::string DescribeScanReading(const ScanReading& reading) {
  std::string text(DescribeScanError(reading.error));
  if (!reading.detail.empty()) text += ": " + reading.detail;
  return text;
}

ScanReading ReadScan(std::string_view text, std::optional<ScanUnit> unit) {
  if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
  const Context context{text.size(), unit, std::nullopt, true};
  LineCursor lines(text);
  const LineCursor start = lines;
  if (const std::optional<Line> columns = KhzExportColumns(lines)) {
    LineCursor rows = start;
    Line skipped;
    while (rows.NextNonEmpty(skipped) && skipped.number < columns->number) {
    }
    return scan_read::ReadKhzExport(rows, start, *columns, context);
  }
  Line line;
  std::optional<Line> first;
  std::optional<Line> names;
  for (std::size_t header = 0;
       header <= kMaxScanHeaderLines && lines.NextNonEmpty(line); ++header) {
    if (!first) first = line;
    if (scan_read::IsStartStopHeader(line.text)) {
      return scan_read::ReadStartStopRows(lines, line, context);
    }
    if (HasTwoNumbers(line.text)) return ReadFrom(lines, line, context, names);
    names = line;
  }
  if (!first) return scan_read::Failed(ScanError::kEmpty, Line{});
  return scan_read::Failed(ScanError::kUnknownFormat, *first,
                           "none of its first " +
                               std::to_string(kMaxScanHeaderLines + 1) +
                               " lines holds two numbers");
}

std::optional<double> ReadDbm(std::string_view text) {
  return scan_text::ReadLevel(text, false);
}

}  // namespace zelmar::plan
