// What the scan formats' readers share: the readings of single frequencies
// before their unit is known, refusals naming the line and what of it does
// not fit, and each format's reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "scan/bins.h"
#include "scan/text.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan::scan_read {

using scan_text::Line;
using scan_text::LineCursor;

inline constexpr double kUnmeasured = -std::numeric_limits<double>::infinity();

// An SDR sweep line's fields before its levels: date, time, Hz low, Hz
// high, Hz step, samples.
inline constexpr std::size_t kSdrLevelsFrom = 6;

// About the fewest bytes a line of one reading takes ("806.06,-95" and a
// line end): storage reserved up front, so that a large scan is not copied
// while it grows. Pages reserved but never written cost no memory.
inline constexpr std::size_t kBytesPerPointLine = 12;

// A frequency as read, in millionths of its unit, and its highest level;
// kUnmeasured while no reading of it measured anything.
struct Point {
  std::int64_t micro = 0;
  double dbm = kUnmeasured;
};

struct PointKey {
  std::int64_t operator()(const Point& point) const { return point.micro; }
};

using PointSet = HighestPerKey<Point, PointKey>;
using BinSet = HighestPerKey<ScanBin, BinKey>;

ScanReading Failed(ScanError error, const Line& line, std::string detail = {});

// What the reader knows of the file beside its lines.
struct Context {
  std::size_t text_size = 0;
  std::optional<ScanUnit> given;  // --scan-unit
  std::optional<ScanUnit> named;  // the column names' unit
  bool first = true;              // the line read is the first data line
};

// Single frequencies read so far, with the lines of the lowest and highest
// for messages.
class PointReadings {
 public:
  explicit PointReadings(std::size_t expected) : points_(expected) {}
  bool Add(const Point& point, const Line& line);
  void CountUnmeasured(std::size_t n) { unmeasured_ += n; }
  // The bins of the readings, in the unit the format fixes, or the named,
  // given or magnitudes' one.
  ScanReading Finish(ScanFormat format, const Context& context,
                     std::optional<ScanUnit> format_unit, const Line& last);

 private:
  PointSet points_;
  std::size_t unmeasured_ = 0;
  bool any_ = false;
  Point low_;
  Point high_;
  Line high_line_;
};

// Expected readings from the text's size.
std::size_t Expected(std::size_t text_size, std::size_t bytes_per_reading);

// "field 2 "abc" is no level".
std::string FieldFault(std::size_t index, std::string_view field,
                       std::string_view what);

// Reads field `index` (1-based) as a level into `highest`, or counts it as
// nothing measured; false, with `detail`, when it is no level.
bool TakeLevel(std::string_view field, bool comma, std::size_t index,
               double& highest, std::size_t& unmeasured, std::string& detail);

ScanReading ReadPointRows(LineCursor& lines, Line first, char separator,
                          Context context);
ScanReading ReadFrequencyColumns(LineCursor& lines, const Line& header,
                                 char separator, const Context& context);
ScanReading ReadSdrSweep(LineCursor& lines, Line first, const Context& context);
// `columns`: the column row; `block` the lines before it.
bool IsKhzExportColumns(std::string_view line);
ScanReading ReadKhzExport(LineCursor& lines, LineCursor block,
                          const Line& columns, const Context& context);
bool IsStartStopHeader(std::string_view line);
ScanReading ReadStartStopRows(LineCursor& lines, const Line& header,
                              const Context& context);

}  // namespace zelmar::plan::scan_read
