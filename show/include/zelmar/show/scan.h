// Venue scans: the levels a spectrum analyser or an SDR sweep measured
// across the air at a venue, read from the files those tools write, and the
// frequency ranges a plan keeps clear of because something already sends
// there.
//
// What ReadScan accepts. The format is told from the content, never from a
// file name. Lines end in LF or CR LF; a UTF-8 BOM at the start, empty lines
// (nothing but spaces and tabs), spaces and double quotes around fields and
// one separator at the end of a line are passed over.
//
//  frequency,level CSV: "806.062,-95.5" on each line (RF Explorer's one
//    sweep, coordination software's exports, peak-hold lists).
//  frequency;level list: "MHz;dBm" or "MHz<tab>dBm", '.' or ',' as the
//    decimal mark ("806,125;-95,5").
//  frequency rows CSV: a frequency, then a level per sweep on each line
//    ("2390000000.00,-116.03,-114.00"), as many levels on every line.
//  frequency columns CSV: a column header line, then one row per sweep. The
//    header's fields are zero or more labels (fields that are no number)
//    followed by two or more frequencies (ascending when there is no
//    label); each row has as many fields, anything in the label columns (a
//    sweep number, a date, a time) and a level in each frequency column.
//    The separator is ',' (then '.' is the only decimal mark), ';' or a tab
//    (then '.' or ','). The RF Explorer PC client writes this layout:
//      RF Explorer CSV data file: RFExplorer PC Client - Format v004
//      Start Frequency: 470MHZ
//      Sweep,Date,Time,Milliseconds,0470.000,0470.100,...
//      0,5/1/2024,12:00:00,.125,-95.5,-101,...
//  rtl_power/hackrf_sweep CSV: "date, time, Hz low, Hz high, Hz step,
//    samples, dB, dB, ..." on each line, one line per hop; bin i of a line
//    spans Hz low + i * step to Hz low + (i + 1) * step.
//  kHz;RF level export: a block of "key;value" lines, then the column row
//    "Frequency;RF level (%);RF level" (more columns may follow), then
//    "470000;12;-95.5" rows in kHz, the level in the third column (empty:
//    nothing measured; the percentage is not read). "RFUnit;dBuV" in the
//    block gives levels in dBuV, read as dBm at 50 ohms (107 dB less).
//    After the rows, lines that start with no number are a footer.
//  Start/Stop level rows: a header line with the fields "Start", a
//    frequency, "Stop", a frequency and "fStep" (or "Step"), a step; then
//    rows of levels only, one row per frequency ("Each_Column=One_sweep":
//    each column a sweep) or, when a row holds a level per frequency, one
//    row per sweep. Row i (or column i) is Start + i * (Stop - Start) /
//    (points - 1), the points being (Stop - Start) / step + 1, rounded.
//
// Before the first data line, up to kMaxScanHeaderLines lines that hold
// fewer than two numbers, split at every ',', ';' and tab, are a header (a
// title, "Start Frequency: 470MHZ", column names); so no header line would
// fit a format. The first line with two numbers or more decides the format
// and must fit one; every later line that is not empty must fit the same
// format with the same separator. A frequency is digits, optionally a
// decimal mark and digits (read to the millionth of its unit); a level is
// the same with an optional sign. No exponent.
//
// Nothing measured. A level "inf", "infinity" or "nan" (any case, with a
// sign, "nan(ind)"), or a Windows C library's "1.#INF", "-1.#IND", "-1.#J",
// "1.#QNAN" and their roundings, is a reading without a measurement: it
// gives no bin and is counted. A file with no measured level is refused.
//
// Units. rtl_power's hops are in Hz and the kHz export in kHz. Elsewhere a
// unit named in the column names before the data ("Frequency (Hz)",
// "Freq [kHz]", "MHz"; GHz too) holds; else the given unit; else the
// magnitudes tell it, each unit owning a span of numbers that a scan of 10
// MHz to 10 GHz gives in it and no other: below 10,000 MHz, from 10,000 to
// below 10,000,000 kHz, from 10,000,000 Hz up. A file whose frequencies
// reach over two of those spans is refused as ambiguous.
//
// Bins. A frequency read several times (several sweeps) keeps its highest
// level. In the formats that give single frequencies (all but the SDR
// sweep), each frequency reaches halfway to each neighbour (measured or
// not), the lowest and the highest as far outward as inward, so that
// neighbours tile the band; a lone frequency is a bin of itself. Every bin
// is widened outward to whole kilohertz (floor its low end, ceil its high
// end) within 0..kMaxKhz.
//
// Portable C++20 without platform headers, exceptions or threads; numbers
// are read the same under every locale.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::plan {

enum class ScanFormat {
  kFrequencyLevelCsv,
  kFrequencyLevel,
  kFrequencyRows,
  kFrequencyColumns,
  kSdrSweep,
  kKhzExport,
  kStartStopRows,
};
// "frequency,level CSV", "frequency;level list", "frequency rows CSV",
// "frequency columns CSV", "rtl_power/hackrf_sweep CSV", "kHz;RF level
// export", "Start/Stop level rows".
std::string_view ScanFormatName(ScanFormat format);

enum class ScanUnit { kGhz, kMhz, kKhz, kHz };
// "GHz", "MHz", "kHz", "Hz".
std::string_view ScanUnitName(ScanUnit unit);
// "GHz", "MHz", "kHz" or "Hz", in any case.
std::optional<ScanUnit> ReadScanUnit(std::string_view text);

// How a scan's unit was told.
enum class UnitSource { kFormat, kHeader, kGiven, kMagnitudes };

struct ScanBin {
  Khz low = 0;
  Khz high = 0;  // low <= high, both included
  double dbm = 0;
  bool operator==(const ScanBin&) const = default;
};

struct Scan {
  ScanFormat format = ScanFormat::kFrequencyLevel;
  ScanUnit unit = ScanUnit::kMhz;
  UnitSource unit_from = UnitSource::kFormat;
  std::size_t unmeasured = 0;  // levels read as nothing measured
  std::size_t footer_lines = 0;
  // Ascending by low, then high; no two with the same ends; each the highest
  // level read for it. Bins may overlap where their ends were widened to
  // whole kilohertz or where hops of an SDR sweep overlap.
  std::vector<ScanBin> bins;
};

inline constexpr std::size_t kMaxScanBins = 10'000'000;
inline constexpr std::size_t kMaxScanHeaderLines = 32;
// The most bytes of an offending line (and of a field) kept for a message.
inline constexpr std::size_t kScanLineTextBytes = 80;

enum class ScanError {
  kNone,
  kEmpty,                // no line but empty ones, or a header without rows
  kUnknownFormat,        // `line` fits no format (the first with numbers, or
                         // the first when none has any)
  kBadLine,              // `line` does not fit the format of the lines before
  kFrequencyOutOfRange,  // `line` has a frequency above kMaxKhz
  kTooManyBins,          // more than kMaxScanBins bins by `line`
  kNothingMeasured,      // every level is one of nothing measured
  kUnknownUnit,          // the magnitudes fit no one unit
  kUnitConflict,         // the header names another unit than the given one
  kPointCount,           // the rows are not as many as the Start/Stop header
                         // `line` gives
};

struct ScanReading {
  Scan scan;  // empty unless error is kNone
  ScanError error = ScanError::kNone;
  std::size_t line = 0;  // 1-based; 0 when no one line is at fault
  std::string text;      // the line, cut to kScanLineTextBytes on a UTF-8
                         // character boundary, without its line end
  std::string detail;    // what of it does not fit: the field, the value
};

// `unit`: the frequencies' unit where neither the format nor the header
// names one (--scan-unit); none: told from the magnitudes.
ScanReading ReadScan(std::string_view text,
                     std::optional<ScanUnit> unit = std::nullopt);

// English words for a refusal, e.g. "does not fit the format of the lines
// before", then the detail after ": " when there is one.
std::string_view DescribeScanError(ScanError error);
std::string DescribeScanReading(const ScanReading& reading);

// Several scans of one venue as one: every bin, the highest level where the
// same bin comes from several. The format is the first scan's.
Scan MergeScans(std::span<const Scan> scans);

// A scan's noise floor: the level the receiver's own noise sits at where
// nothing sends, told from the histogram of its bins' levels in classes of
// kFloorClassDb. Counting each class with its two neighbours (a window of 3
// dB), the floor is the lowest window that holds at least kFloorShare of
// the bins and no fewer than any window within kFloorPeakReachDb of it: the
// lowest cluster of levels, wherever the signals are and however much of
// the scan they cover. Its level is the mean of the levels in the window.
struct NoiseFloor {
  enum class Status {
    kFound,
    kTooFewBins,  // fewer than kMinFloorBins bins
    kNoCluster,   // no window holds kFloorShare of the bins
    kMostlyHigh,  // more than kMaxShareAboveFloor above the threshold
  } status = Status::kTooFewBins;
  double dbm = 0;         // when found (and for kMostlyHigh)
  std::size_t bins = 0;   // all the scan's bins
  std::size_t near = 0;   // the bins in the floor's window
  std::size_t above = 0;  // the bins above the floor plus kThresholdAboveFloor
};

inline constexpr double kFloorClassDb = 1.0;
inline constexpr double kFloorPeakReachDb = 3.0;
inline constexpr double kFloorShare = 0.05;
inline constexpr std::size_t kMinFloorBins = 20;
// Noise that a scan reads as dBm bins stays within about 8 dB above its
// densest level even in a single sweep (a noise bin's power exceeds ten
// times its mean once in e^10); a signal 10 dB above the floor is one a
// receiver tuned there hears over its own noise.
inline constexpr double kThresholdAboveFloor = 10.0;
inline constexpr double kMaxShareAboveFloor = 0.9;
static_assert(kFloorShare > 0 && kFloorShare < 1 - kMaxShareAboveFloor);

NoiseFloor FindNoiseFloor(const Scan& scan);
// "only 12 bins; it takes 20", ...: why a floor was not found.
std::string DescribeNoiseFloor(const NoiseFloor& floor);

struct OccupiedRange {
  Range range;
  double peak_dbm = 0;
};

// One scan's part: its floor, the threshold it was taken at, and its bins
// above the threshold merged where they overlap or touch, ascending.
struct ScanTaken {
  NoiseFloor floor;
  double threshold_dbm = 0;
  bool threshold_from_floor = false;
  Khz low = 0;   // the scan's lowest bin's low end
  Khz high = 0;  // the scan's highest bin's high end
  std::vector<OccupiedRange> occupied;
};

struct ScanOccupancy {
  std::vector<ScanTaken> scans;
  // The first scan whose floor cannot be told when no threshold is given;
  // then nothing is taken.
  std::optional<std::size_t> floor_unknown;
  // Ascending and apart (never touching): every scan's occupied ranges,
  // widened by the guard on each side within 0..kMaxKhz, merged.
  std::vector<Range> excluded;
  Khz excluded_khz = 0;  // the sum of high - low over `excluded`
  // Every scan's occupied ranges merged where they overlap or touch, before
  // the guard; strongest peak first, then ascending.
  std::vector<OccupiedRange> strongest;
};

inline constexpr Khz kDefaultScanGuard = 100;  // 0.1 MHz

// A bin is occupied when its level is above its scan's threshold (level >
// threshold): `threshold_dbm` for every scan, or without it each scan's
// own noise floor plus kThresholdAboveFloor. A guard below zero counts as
// zero.
ScanOccupancy Occupied(std::span<const Scan> scans,
                       std::optional<double> threshold_dbm, Khz guard);

// A carrier in a signal: the scan and its occupied range that `khz` lies in
// or within the guard of, the strongest where several do.
struct SignalHit {
  std::size_t scan = 0;
  OccupiedRange range;
  double threshold_dbm = 0;
};
std::optional<SignalHit> SignalAt(const ScanOccupancy& occupancy, Khz khz,
                                  Khz guard);

// Reads a dBm text such as "-85", "-85.5" or "+3": an optional sign, digits,
// optionally '.' and digits; nothing around it.
std::optional<double> ReadDbm(std::string_view text);

}  // namespace zelmar::plan
