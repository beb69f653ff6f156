// Fuzzes ReadScan with arbitrary texts and Occupied with what it reads, and
// checks what must hold for every text:
//  - a refusal names a line of the text and carries a prefix of it of at
//    most kScanLineTextBytes bytes, or names none where it is about the
//    whole file (empty, nothing measured, no unit); a refusal of a line or
//    of the file says what of it does not fit;
//  - a reading has bins within 0..kMaxKhz, low <= high, ascending by low
//    and high with no two alike, finite levels;
//  - the text read twice in a row (a second sweep) gives the same bins, or
//    fails where the first reading failed, or fails inside the second copy
//    (whose header lines come after data);
//  - merging a scan with itself changes nothing;
//  - a noise floor holds kFloorShare of the bins in its window, lies among
//    the levels, and is refused exactly where too few bins or too many
//    above it say so;
//  - a carrier is in a signal exactly where some scan's occupied range with
//    the guard holds it (against a walk over every range);
//  - the excluded ranges are ascending and apart, their total is the sum of
//    their widths, every bin above the threshold lies inside one with its
//    guard, and each holds such a bin; the strongest ranges come by peak,
//    above the threshold, and cover those bins too.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "zelmar/show/scan.h"

const char* const fuzz::kTargetName = "scan_fuzz";

namespace {

using namespace zelmar::plan;
using fuzz::Require;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The lines as the reader numbers them, without line ends.
std::vector<std::string_view> LinesOf(std::string_view text) {
  if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Refusals that may be found only once the whole file is read: reading it
// twice may fail earlier, inside the second copy.
bool OfTheWholeFile(ScanError error) {
  return error == ScanError::kEmpty || error == ScanError::kNothingMeasured ||
         error == ScanError::kUnknownUnit || error == ScanError::kPointCount ||
         error == ScanError::kFrequencyOutOfRange ||
         error == ScanError::kTooManyBins;
}

void CheckRefusal(const ScanReading& reading, std::string_view text) {
  Require(reading.scan.bins.empty(), "bins with an error");
  const bool says_why = reading.error == ScanError::kUnknownFormat ||
                        reading.error == ScanError::kBadLine ||
                        reading.error == ScanError::kNothingMeasured ||
                        reading.error == ScanError::kUnknownUnit ||
                        reading.error == ScanError::kUnitConflict ||
                        reading.error == ScanError::kFrequencyOutOfRange ||
                        reading.error == ScanError::kPointCount;
  Require(!says_why || !reading.detail.empty(), "a refusal without its why");
  if (reading.line == 0) {
    Require(reading.error == ScanError::kEmpty ||
                reading.error == ScanError::kNothingMeasured ||
                reading.error == ScanError::kUnknownUnit,
            "a refusal of a line names none");
    Require(reading.text.empty(), "no line, but its text");
    return;
  }
  const std::vector<std::string_view> lines = LinesOf(text);
  Require(reading.line >= 1 && reading.line <= lines.size(), "line number");
  const std::string_view line = lines[reading.line - 1];
  Require(line.starts_with(reading.text), "text is not the line's");
  Require(reading.text.size() <= kScanLineTextBytes, "text not cut");
  Require(reading.text.size() == line.size() ||
              reading.text.size() + 3 >= kScanLineTextBytes,
          "text cut short");
}

void CheckBins(const Scan& scan) {
  Require(!scan.bins.empty() && scan.bins.size() <= kMaxScanBins, "bin count");
  for (std::size_t i = 0; i < scan.bins.size(); ++i) {
    const ScanBin& bin = scan.bins[i];
    Require(0 <= bin.low && bin.low <= bin.high && bin.high <= kMaxKhz,
            "bin ends");
    Require(std::isfinite(bin.dbm), "level not finite");
    if (i == 0) continue;
    const ScanBin& last = scan.bins[i - 1];
    Require(last.low < bin.low || (last.low == bin.low && last.high < bin.high),
            "bins not ascending or alike");
  }
}

void CheckReadTwice(const ScanReading& once, std::string_view text) {
  std::string twice(text);
  if (!text.ends_with('\n')) twice += '\n';
  const std::size_t first_copy_lines =
      static_cast<std::size_t>(std::count(twice.begin(), twice.end(), '\n'));
  twice += text;
  const ScanReading reading = ReadScan(twice);
  if (reading.error == ScanError::kNone) {
    // The kHz export's block before its column row reads as rows the second
    // time: a file of no rows may then read.
    if (once.error == ScanError::kEmpty) return;
    Require(once.error == ScanError::kNone, "a second copy mends an error");
    Require(reading.scan.bins == once.scan.bins &&
                reading.scan.format == once.scan.format,
            "a second sweep changes the bins");
  } else if (once.error == ScanError::kNone || OfTheWholeFile(once.error)) {
    Require(reading.line > first_copy_lines || reading.error == once.error ||
                (reading.line == 0 && OfTheWholeFile(reading.error)),
            "read twice, fails in the first copy");
  } else {
    Require(reading.error == once.error && reading.line == once.line,
            "read twice, fails elsewhere");
  }
}

void CheckFloor(const Scan& scan, const NoiseFloor& floor) {
  const std::size_t n = scan.bins.size();
  Require(floor.bins == n, "floor's bins");
  Require(
      (floor.status == NoiseFloor::Status::kTooFewBins) == (n < kMinFloorBins),
      "too few bins");
  if (floor.status != NoiseFloor::Status::kFound &&
      floor.status != NoiseFloor::Status::kMostlyHigh) {
    return;
  }
  Require(
      static_cast<double>(floor.near) >= kFloorShare * static_cast<double>(n),
      "floor's window holds too few");
  double low = scan.bins[0].dbm;
  double high = low;
  std::size_t above = 0;
  for (const ScanBin& bin : scan.bins) {
    low = std::min(low, bin.dbm);
    high = std::max(high, bin.dbm);
    above += bin.dbm > floor.dbm + kThresholdAboveFloor;
  }
  Require(low - 1e-9 <= floor.dbm && floor.dbm <= high + 1e-9,
          "floor outside the levels");
  Require(above == floor.above, "bins above the floor");
  Require((floor.status == NoiseFloor::Status::kMostlyHigh) ==
              (static_cast<double>(above) >
               kMaxShareAboveFloor * static_cast<double>(n)),
          "mostly high");
}

// The strongest occupied range of any scan that holds khz with the guard,
// walking every one.
std::optional<double> PeakAtByWalk(const ScanOccupancy& o, Khz khz, Khz guard) {
  std::optional<double> peak;
  for (const ScanTaken& taken : o.scans) {
    for (const OccupiedRange& r : taken.occupied) {
      if (r.range.low - guard <= khz && khz <= r.range.high + guard &&
          (!peak || r.peak_dbm > *peak)) {
        peak = r.peak_dbm;
      }
    }
  }
  return peak;
}

// The index of the range of ascending `ranges` that holds low..high, or none.
template <class T, class RangeOf>
std::optional<std::size_t> Holding(const std::vector<T>& ranges, Khz low,
                                   Khz high, RangeOf range_of) {
  const auto it = std::upper_bound(
      ranges.begin(), ranges.end(), low,
      [&](Khz value, const T& r) { return value < range_of(r).low; });
  if (it == ranges.begin()) return std::nullopt;
  const Range& r = range_of(*(it - 1));
  if (high > r.high) return std::nullopt;
  return static_cast<std::size_t>(it - 1 - ranges.begin());
}

void CheckOccupancy(const Scan& scan, std::optional<double> threshold,
                    Khz guard) {
  const Scan one[] = {scan};
  const ScanOccupancy o = Occupied(one, threshold, guard);
  Require(o.scans.size() == 1, "one scan, one part");
  const ScanTaken& part = o.scans[0];
  Require(part.threshold_from_floor == !threshold.has_value(),
          "threshold kind");
  CheckFloor(scan, part.floor);
  if (!threshold && part.floor.status != NoiseFloor::Status::kFound) {
    Require(
        o.floor_unknown == std::optional<std::size_t>(0) && o.excluded.empty(),
        "taken without a floor");
    return;
  }
  Require(!o.floor_unknown, "floor unknown");
  Require(part.threshold_dbm ==
              threshold.value_or(part.floor.dbm + kThresholdAboveFloor),
          "threshold");
  // The walk is slow: the first bins are enough.
  for (std::size_t i = 0; i < scan.bins.size() && i < 64; ++i) {
    const ScanBin& bin = scan.bins[i];
    for (const Khz khz : {bin.low - guard - 1, bin.low, bin.high + guard}) {
      if (khz < 0 || khz > kMaxKhz) continue;
      const auto hit = SignalAt(o, khz, guard);
      const auto walked = PeakAtByWalk(o, khz, guard);
      Require(hit.has_value() == walked.has_value() &&
                  (!hit || hit->range.peak_dbm == *walked),
              "in a signal, unlike the walk");
    }
  }
  Khz total = 0;
  for (std::size_t i = 0; i < o.excluded.size(); ++i) {
    const Range& r = o.excluded[i];
    Require(0 <= r.low && r.low <= r.high && r.high <= kMaxKhz, "range ends");
    Require(i == 0 || o.excluded[i - 1].high + 1 < r.low, "ranges not apart");
    total += r.high - r.low;
  }
  Require(total == o.excluded_khz, "excluded total");
  std::vector<OccupiedRange> ascending = o.strongest;
  std::sort(
      ascending.begin(), ascending.end(),
      [](const auto& a, const auto& b) { return a.range.low < b.range.low; });
  const auto own = [](const Range& r) -> const Range& { return r; };
  const auto range = [](const OccupiedRange& r) -> const Range& {
    return r.range;
  };
  std::vector<bool> excluded_holds(o.excluded.size(), false);
  for (const ScanBin& bin : scan.bins) {
    if (!(bin.dbm > part.threshold_dbm)) continue;
    const auto with_guard =
        Holding(o.excluded, std::max<Khz>(bin.low - guard, 0),
                std::min(bin.high + guard, kMaxKhz), own);
    Require(with_guard.has_value(), "an occupied bin is not excluded");
    excluded_holds[*with_guard] = true;
    const auto strong = Holding(ascending, bin.low, bin.high, range);
    Require(strong && ascending[*strong].peak_dbm >= bin.dbm,
            "an occupied bin is not among the strongest");
  }
  Require(std::count(excluded_holds.begin(), excluded_holds.end(), false) == 0,
          "an excluded range holds no occupied bin");
  for (std::size_t i = 0; i < o.strongest.size(); ++i) {
    Require(o.strongest[i].peak_dbm > part.threshold_dbm, "peak not above");
    Require(i == 0 || o.strongest[i - 1].peak_dbm >= o.strongest[i].peak_dbm,
            "strongest not by peak");
    Require(i == 0 || ascending[i - 1].range.high + 1 < ascending[i].range.low,
            "occupied ranges not apart");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ScanReading reading = ReadScan(text);
  CheckReadTwice(reading, text);
  if (reading.error != ScanError::kNone) {
    CheckRefusal(reading, text);
    return 0;
  }
  const Scan& scan = reading.scan;
  CheckBins(scan);
  const Scan twice[] = {scan, scan};
  Require(MergeScans(twice).bins == scan.bins, "merged with itself");
  CheckOccupancy(scan, std::nullopt, kDefaultScanGuard);
  const ScanBin& some = scan.bins[size % scan.bins.size()];
  CheckOccupancy(scan, some.dbm, static_cast<Khz>(size % 300));
  return 0;
}
