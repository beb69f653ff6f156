// The scan formats: which one a text is, and its lines read into bins.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "scan/bins.h"
#include "scan/text.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan {
namespace {

using scan_text::Fields;
using scan_text::FrequencyReading;
using scan_text::kHzDecimals;
using scan_text::kMaxMilliHz;
using scan_text::kMhzDecimals;
using scan_text::kMilliHzPerKhz;
using scan_text::Line;
using scan_text::LineCursor;
using scan_text::ReadFrequency;
using scan_text::ReadLevel;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Date, time, Hz low, Hz high, Hz step, samples, then the levels.
constexpr std::size_t kSdrLevelsFrom = 6;

// Storage reserved up front from the text's size, so that a large scan is
// not copied while it grows: about the fewest bytes a reading takes in the
// files tools write ("0.00, " of an SDR sweep's two-decimal levels;
// "806.06,-95" and a line end). Pages reserved but never written cost no
// memory.
constexpr std::size_t kSdrBytesPerBin = 6;
constexpr std::size_t kBytesPerPointLine = 12;

// How a line fits its format.
enum class Fit { kFits, kNoFit, kTooHigh, kTooMany };

struct Point {
  std::int64_t milli_hz = 0;
  double dbm = 0;
};

struct PointKey {
  std::int64_t operator()(const Point& point) const { return point.milli_hz; }
};

using PointSet = HighestPerKey<Point, PointKey>;
using BinSet = HighestPerKey<ScanBin, BinKey>;

std::size_t Expected(std::size_t text_size, std::size_t bytes_per_reading) {
  return std::min(text_size / bytes_per_reading, kMaxScanBins + 1);
}

ScanReading Failed(ScanError error, const Line& line) {
  ScanReading reading;
  reading.error = error;
  reading.line = line.number;
  reading.text = scan_text::CutLine(line.text);
  return reading;
}

// A line that does not fit: the first data line fits no format at all, a
// later one not the format the first decided.
ScanReading Failed(Fit fit, const Line& line, bool first) {
  switch (fit) {
    case Fit::kTooHigh:
      return Failed(ScanError::kFrequencyOutOfRange, line);
    case Fit::kTooMany:
      return Failed(ScanError::kTooManyBins, line);
    case Fit::kNoFit:
    case Fit::kFits:
      break;
  }
  return Failed(first ? ScanError::kUnknownFormat : ScanError::kBadLine, line);
}

Fit FitOf(const FrequencyReading& reading) {
  switch (reading.status) {
    case FrequencyReading::Status::kOk:
      return Fit::kFits;
    case FrequencyReading::Status::kTooHigh:
      return Fit::kTooHigh;
    case FrequencyReading::Status::kNotNumber:
      break;
  }
  return Fit::kNoFit;
}

// The floor and the ceiling, in kilohertz, of half a sum of millihertz.
Khz FloorHalfKhz(std::int64_t sum) {
  return std::max<std::int64_t>(sum, 0) / (2 * kMilliHzPerKhz);
}
Khz CeilHalfKhz(std::int64_t sum) {
  return std::min<Khz>((sum + 2 * kMilliHzPerKhz - 1) / (2 * kMilliHzPerKhz),
                       kMaxKhz);
}

// Each point from halfway to its lower neighbour to halfway to its upper one;
// the outermost reach as far outward as inward. `points` ascending, each
// frequency once.
std::vector<ScanBin> TileBins(const std::vector<Point>& points) {
  std::vector<ScanBin> bins;
  bins.reserve(points.size());
  const std::size_t n = points.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::int64_t f = points[i].milli_hz;
    const std::int64_t below = i > 0   ? points[i - 1].milli_hz
                               : n > 1 ? 2 * f - points[1].milli_hz
                                       : f;
    const std::int64_t above = i + 1 < n ? points[i + 1].milli_hz
                               : n > 1   ? 2 * f - points[i - 1].milli_hz
                                         : f;
    bins.push_back(
        {FloorHalfKhz(below + f), CeilHalfKhz(f + above), points[i].dbm});
  }
  // Points closer than a kilohertz may widen to the same bin.
  KeepHighest(bins, BinKey{});
  return bins;
}

ScanReading Success(ScanFormat format, std::vector<ScanBin> bins) {
  ScanReading reading;
  reading.scan.format = format;
  reading.scan.bins = std::move(bins);
  return reading;
}

ScanReading FromPoints(ScanFormat format, PointSet& set, const Line& last) {
  std::vector<Point> points;
  if (!set.Take(points)) return Failed(ScanError::kTooManyBins, last);
  return Success(format, TileBins(points));
}

// "MHz<separator>dBm".
Fit ReadPointLine(std::string_view line, char separator, Point& point) {
  const bool comma = separator != ',';
  Fields fields(line, separator);
  std::string_view frequency;
  std::string_view level;
  std::string_view extra;
  if (!fields.Next(frequency) || !fields.Next(level) || fields.Next(extra)) {
    return Fit::kNoFit;
  }
  const FrequencyReading f = ReadFrequency(frequency, comma, kMhzDecimals);
  const std::optional<double> dbm = ReadLevel(level, comma);
  if (!dbm) return Fit::kNoFit;
  if (f.status != FrequencyReading::Status::kOk) return FitOf(f);
  point = {f.milli_hz, *dbm};
  return Fit::kFits;
}

ScanReading ReadPointLines(LineCursor& lines, Line line, ScanFormat format,
                           char separator, std::size_t text_size) {
  PointSet points(Expected(text_size, kBytesPerPointLine));
  const std::size_t first = line.number;
  do {
    Point point;
    const Fit fit = ReadPointLine(line.text, separator, point);
    if (fit != Fit::kFits) return Failed(fit, line, line.number == first);
    if (!points.Add(point)) return Failed(ScanError::kTooManyBins, line);
  } while (lines.NextNonEmpty(line));
  return FromPoints(format, points, line);
}

// An SDR sweep line's fields before its levels.
struct Hop {
  std::int64_t low = 0;   // millihertz
  std::int64_t step = 0;  // millihertz, above zero
};

Fit ReadHop(Fields& fields, Hop& hop) {
  std::string_view field[kSdrLevelsFrom];
  for (std::string_view& f : field) {
    if (!fields.Next(f)) return Fit::kNoFit;
  }
  if (!scan_text::IsDate(field[0]) || !scan_text::IsTime(field[1]) ||
      !scan_text::IsDigits(field[5])) {
    return Fit::kNoFit;
  }
  FrequencyReading hz[3];
  for (int i = 0; i < 3; ++i) {
    hz[i] = ReadFrequency(field[2 + i], false, kHzDecimals);
    if (hz[i].status != FrequencyReading::Status::kOk) return FitOf(hz[i]);
  }
  hop = {hz[0].milli_hz, hz[2].milli_hz};
  return hop.step > 0 ? Fit::kFits : Fit::kNoFit;
}

// "date, time, Hz low, Hz high, Hz step, samples, dB, dB, ...".
Fit ReadSdrLine(std::string_view line, BinSet& bins) {
  Fields fields(line, ',');
  Hop hop;
  const Fit fit = ReadHop(fields, hop);
  if (fit != Fit::kFits) return fit;
  std::int64_t low = hop.low;
  std::string_view field;
  std::size_t levels = 0;
  for (; fields.Next(field); ++levels) {
    const std::optional<double> dbm = ReadLevel(field, false);
    if (!dbm) return Fit::kNoFit;
    if (hop.step > kMaxMilliHz - low) return Fit::kTooHigh;
    const std::int64_t high = low + hop.step;
    const ScanBin bin{low / kMilliHzPerKhz,
                      (high + kMilliHzPerKhz - 1) / kMilliHzPerKhz, *dbm};
    if (!bins.Add(bin)) return Fit::kTooMany;
    low = high;
  }
  return levels > 0 ? Fit::kFits : Fit::kNoFit;
}

ScanReading ReadSdrLines(LineCursor& lines, Line line, std::size_t text_size) {
  BinSet bins(Expected(text_size, kSdrBytesPerBin));
  const std::size_t first = line.number;
  do {
    const Fit fit = ReadSdrLine(line.text, bins);
    if (fit != Fit::kFits) return Failed(fit, line, line.number == first);
  } while (lines.NextNonEmpty(line));
  std::vector<ScanBin> kept;
  if (!bins.Take(kept)) return Failed(ScanError::kTooManyBins, line);
  return Success(ScanFormat::kSdrSweep, std::move(kept));
}

// The column header of a sweeps file: labels, then frequencies in MHz.
struct Columns {
  std::size_t labels = 0;
  std::vector<std::int64_t> milli_hz;
};

Fit ReadColumns(std::string_view line, char separator, Columns& columns) {
  const bool comma = separator != ',';
  Fields fields(line, separator);
  std::string_view field;
  while (fields.Next(field)) {
    const FrequencyReading f = ReadFrequency(field, comma, kMhzDecimals);
    if (f.status == FrequencyReading::Status::kOk) {
      if (columns.milli_hz.size() == kMaxScanBins) return Fit::kTooMany;
      columns.milli_hz.push_back(f.milli_hz);
    } else if (f.status == FrequencyReading::Status::kTooHigh) {
      return Fit::kTooHigh;
    } else if (!columns.milli_hz.empty() || ReadLevel(field, comma)) {
      return Fit::kNoFit;  // a label among the frequencies, or a level
    } else {
      ++columns.labels;
    }
  }
  return columns.milli_hz.size() >= 2 ? Fit::kFits : Fit::kNoFit;
}

// One sweep: anything under the labels, a level under each frequency.
Fit ReadSweepRow(std::string_view line, char separator, const Columns& columns,
                 std::vector<double>& highest) {
  const bool comma = separator != ',';
  Fields fields(line, separator);
  std::string_view field;
  std::size_t column = 0;
  for (; fields.Next(field); ++column) {
    if (column < columns.labels) continue;
    const std::size_t i = column - columns.labels;
    if (i >= highest.size()) return Fit::kNoFit;
    const std::optional<double> dbm = ReadLevel(field, comma);
    if (!dbm) return Fit::kNoFit;
    highest[i] = std::max(highest[i], *dbm);
  }
  return column == columns.labels + highest.size() ? Fit::kFits : Fit::kNoFit;
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

ScanReading ReadSweeps(LineCursor& lines, const Line& header, char separator) {
  Columns columns;
  const Fit fit = ReadColumns(header.text, separator, columns);
  if (fit != Fit::kFits) return Failed(fit, header, true);
  std::vector<double> highest(columns.milli_hz.size(),
                              -std::numeric_limits<double>::infinity());
  const std::string_view frequencies =
      AfterLabels(header.text, separator, columns.labels);
  Line line = header;
  bool any_row = false;
  while (lines.NextNonEmpty(line)) {
    // The header again (files joined) would read as a sweep of its
    // frequencies; its labels may differ by a BOM.
    if (AfterLabels(line.text, separator, columns.labels) == frequencies) {
      return Failed(Fit::kNoFit, line, false);
    }
    const Fit row = ReadSweepRow(line.text, separator, columns, highest);
    if (row != Fit::kFits) return Failed(row, line, false);
    any_row = true;
  }
  if (!any_row) return Failed(ScanError::kEmpty, Line{});
  PointSet points(columns.milli_hz.size());
  for (std::size_t i = 0; i < highest.size(); ++i) {
    points.Add({columns.milli_hz[i], highest[i]});
  }
  return FromPoints(ScanFormat::kRfExplorerSweeps, points, line);
}

// The format the first data line (one with two numbers or more) opens.
ScanFormat Recognise(std::string_view line, char separator) {
  Fields fields(line, separator);
  std::string_view field[2];
  std::size_t count = 0;
  for (std::string_view f; fields.Next(f); ++count) {
    if (count < 2) field[count] = f;
  }
  if (separator == ',' && count > kSdrLevelsFrom &&
      scan_text::IsDate(field[0]) && scan_text::IsTime(field[1])) {
    return ScanFormat::kSdrSweep;
  }
  if (count == 2) {
    return separator == ',' ? ScanFormat::kRfExplorer
                            : ScanFormat::kFrequencyLevel;
  }
  return ScanFormat::kRfExplorerSweeps;
}

// Whether a line is data rather than a header. Split at every separator
// there is, a number of any format's data line stays one or more numbers
// (806,125 becomes two), so no line taken as a header fits any format.
bool HasTwoNumbers(std::string_view line) {
  int numbers = 0;
  while (numbers < 2) {
    const std::size_t end = std::min(line.find_first_of(",;\t"), line.size());
    std::string_view field = line.substr(0, end);
    while (field.starts_with(' ')) field.remove_prefix(1);
    while (field.ends_with(' ')) field.remove_suffix(1);
    if (ReadLevel(field, false)) ++numbers;
    if (end == line.size()) break;
    line.remove_prefix(end + 1);
  }
  return numbers == 2;
}

ScanReading ReadFrom(LineCursor& lines, const Line& first,
                     std::size_t text_size) {
  const char separator = scan_text::SeparatorOf(first.text);
  const ScanFormat format = Recognise(first.text, separator);
  switch (format) {
    case ScanFormat::kSdrSweep:
      return ReadSdrLines(lines, first, text_size);
    case ScanFormat::kRfExplorerSweeps:
      return ReadSweeps(lines, first, separator);
    case ScanFormat::kRfExplorer:
    case ScanFormat::kFrequencyLevel:
      break;
  }
  return ReadPointLines(lines, first, format, separator, text_size);
}

}  // namespace

std::string_view ScanFormatName(ScanFormat format) {
  switch (format) {
    case ScanFormat::kRfExplorer:
      return "RF Explorer CSV";
    case ScanFormat::kRfExplorerSweeps:
      return "RF Explorer CSV sweeps";
    case ScanFormat::kSdrSweep:
      return "rtl_power/hackrf_sweep CSV";
    case ScanFormat::kFrequencyLevel:
      return "frequency;level list";
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
      return "fits no scan format (RF Explorer CSV, rtl_power or "
             "hackrf_sweep CSV, frequency;level list)";
    case ScanError::kBadLine:
      return "does not fit the format of the lines before";
    case ScanError::kFrequencyOutOfRange:
      return "has a frequency above 999999.999 MHz";
    case ScanError::kTooManyBins:
      return "takes the scan past 10,000,000 bins";
  }
  return "?";
}

ScanReading ReadScan(std::string_view text) {
  if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
  LineCursor lines(text);
  Line line;
  std::optional<Line> first;
  for (std::size_t header = 0;
       header <= kMaxScanHeaderLines && lines.NextNonEmpty(line); ++header) {
    if (!first) first = line;
    if (HasTwoNumbers(line.text)) {
      return ReadFrom(lines, line, text.size());
    }
  }
  if (!first) return Failed(ScanError::kEmpty, Line{});
  return Failed(ScanError::kUnknownFormat, *first);
}

std::optional<double> ReadDbm(std::string_view text) {
  return scan_text::ReadLevel(text, false);
}

}  // namespace zelmar::plan
