// Venue scans: the levels a spectrum analyser or an SDR sweep measured
// across the air at a venue, read from the files those tools write, and the
// frequency ranges a plan keeps clear of because something already sends
// there.
//
// What ReadScan accepts. The format is told from the content, never from a
// file name. Lines end in LF or CR LF; a UTF-8 BOM at the start, empty lines
// (nothing but spaces and tabs) and spaces around fields are passed over.
//
//  RF Explorer CSV, one sweep: "MHz,dBm" on each line, "806.062,-95.5".
//  RF Explorer CSV, sweeps: a column header line, then one row per sweep.
//    The header's fields are zero or more labels (fields that are no
//    number) followed by two or more frequencies in MHz; each row has as
//    many fields, anything in the label columns (a sweep number, a date, a
//    time) and a dBm level in each frequency column. The separator is ','
//    (then '.' is the only decimal mark), ';' or a tab (then '.' or ',').
//    The RF Explorer PC client's multi-sweep file has this layout:
//      RF Explorer CSV data file: RFExplorer PC Client - Format v004
//      Start Frequency: 470MHZ
//      Step Frequency: 100KHZ
//      Total data entries: 2
//      Steps per entry: 112
//      Sweep,Date,Time,Milliseconds,0470.000,0470.100,...
//      0,5/1/2024,12:00:00,.125,-95.5,-101,...
//  SDR sweep CSV (rtl_power, hackrf_sweep): "date, time, Hz low, Hz high,
//    Hz step, samples, dB, dB, ..." on each line, one line per hop; bin i
//    of a line spans Hz low + i * step to Hz low + (i + 1) * step.
//  Frequency;level lists: "MHz;dBm" or "MHz<tab>dBm" on each line, with '.'
//    or ',' as the decimal mark ("806,125;-95,5").
//
// Before the first data line, up to kMaxScanHeaderLines lines that hold
// fewer than two numbers, split at every ',', ';' and tab, are a header (a
// title, "Start Frequency: 470MHZ", column names); so no header line would
// fit a format. The first line with two numbers or more decides the format
// and must fit one; every later line that is not empty must fit the same
// format with the same separator. A frequency is digits, optionally a
// decimal mark and digits (read to the millihertz; further decimals are cut);
// a level is the same with an optional sign. Nothing else is a number: no
// exponent, no "inf".
//
// Bins. A frequency read several times (several sweeps) keeps its highest
// level. In the formats that give single frequencies (all but the SDR
// sweep), each frequency reaches halfway to each neighbour, the lowest and
// the highest as far outward as inward, so that neighbours tile the band; a
// lone frequency is a bin of itself. Every bin is widened outward to whole
// kilohertz (floor its low end, ceil its high end) within 0..kMaxKhz.
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
  kRfExplorer,
  kRfExplorerSweeps,
  kSdrSweep,
  kFrequencyLevel
};
// "RF Explorer CSV", "RF Explorer CSV sweeps", "rtl_power/hackrf_sweep CSV",
// "frequency;level list".
std::string_view ScanFormatName(ScanFormat format);

struct ScanBin {
  Khz low = 0;
  Khz high = 0;  // low <= high, both included
  double dbm = 0;
  bool operator==(const ScanBin&) const = default;
};

struct Scan {
  ScanFormat format = ScanFormat::kFrequencyLevel;
  // Ascending by low, then high; no two with the same ends; each the highest
  // level read for it. Bins may overlap where their ends were widened to
  // whole kilohertz or where hops of an SDR sweep overlap.
  std::vector<ScanBin> bins;
};

inline constexpr std::size_t kMaxScanBins = 10'000'000;
inline constexpr std::size_t kMaxScanHeaderLines = 32;
// The most bytes of an offending line kept for a message.
inline constexpr std::size_t kScanLineTextBytes = 80;

enum class ScanError {
  kNone,
  kEmpty,                // no line but empty ones, or a header without rows
  kUnknownFormat,        // `line` fits no format (the first with numbers, or
                         // the first when none has any)
  kBadLine,              // `line` does not fit the format of the lines before
  kFrequencyOutOfRange,  // `line` has a frequency above kMaxKhz
  kTooManyBins,          // more than kMaxScanBins bins by `line`
};

struct ScanReading {
  Scan scan;  // empty unless error is kNone
  ScanError error = ScanError::kNone;
  std::size_t line = 0;  // 1-based; 0 for kEmpty
  std::string text;      // the line, cut to kScanLineTextBytes on a UTF-8
                         // character boundary, without its line end
};

ScanReading ReadScan(std::string_view text);

// English words for a message about a line, e.g. "does not fit the format of
// the lines before".
std::string_view DescribeScanError(ScanError error);

// Several scans of one venue as one: every bin, the highest level where the
// same bin comes from several. The format is the first scan's.
Scan MergeScans(std::span<const Scan> scans);

struct OccupiedRange {
  Range range;
  double peak_dbm = 0;
};

struct ScanOccupancy {
  double threshold_dbm = 0;
  bool threshold_from_median = false;
  double median_dbm = 0;  // of the bins' levels; 0 without bins
  // Ascending and apart (never touching): every bin above the threshold,
  // widened by the guard on each side within 0..kMaxKhz, merged.
  std::vector<Range> excluded;
  Khz excluded_khz = 0;  // the sum of high - low over `excluded`
  // The bins above the threshold merged where they overlap or touch, before
  // the guard; strongest peak first, then ascending.
  std::vector<OccupiedRange> strongest;
};

inline constexpr Khz kDefaultScanGuard = 100;  // 0.1 MHz
inline constexpr double kThresholdAboveMedian = 10.0;

// A bin is occupied when its level is above the threshold (level >
// threshold). Without a threshold it is the median level plus
// kThresholdAboveMedian. A guard below zero counts as zero.
ScanOccupancy Occupied(const Scan& scan, std::optional<double> threshold_dbm,
                       Khz guard);

// Reads a dBm text such as "-85", "-85.5" or "+3": an optional sign, digits,
// optionally '.' and digits; nothing around it.
std::optional<double> ReadDbm(std::string_view text);

}  // namespace zelmar::plan
