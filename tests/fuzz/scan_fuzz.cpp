// Fuzzes ReadScan with arbitrary texts and Occupied with what it reads, and
// checks what must hold for every text:
//  - a refusal names a line of the text (none for an empty text) and carries
//    a prefix of it of at most kScanLineTextBytes bytes;
//  - a reading has bins within 0..kMaxKhz, low <= high, ascending by low
//    and high with no two alike, finite levels;
//  - the text read twice in a row (a second sweep) gives the same bins, or
//    fails where the first reading failed, or fails inside the second copy
//    (whose header lines come after data);
//  - merging a scan with itself changes nothing;
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

void CheckRefusal(const ScanReading& reading, std::string_view text) {
  Require(reading.scan.bins.empty(), "bins with an error");
  if (reading.error == ScanError::kEmpty) {
    Require(reading.line == 0 && reading.text.empty(), "empty names a line");
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
    Require(once.error == ScanError::kNone, "a second copy mends an error");
    Require(reading.scan.bins == once.scan.bins &&
                reading.scan.format == once.scan.format,
            "a second sweep changes the bins");
  } else if (once.error == ScanError::kNone ||
             once.error == ScanError::kEmpty) {
    Require(reading.line > first_copy_lines || reading.error == once.error,
            "read twice, fails in the first copy");
  } else {
    Require(reading.error == once.error && reading.line == once.line,
            "read twice, fails elsewhere");
  }
}

// Counts below and above the median are at most half each.
void CheckMedian(const Scan& scan, double median) {
  std::size_t below = 0;
  std::size_t above = 0;
  for (const ScanBin& bin : scan.bins) {
    below += bin.dbm < median;
    above += bin.dbm > median;
  }
  Require(2 * below <= scan.bins.size() && 2 * above <= scan.bins.size(),
          "median");
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
  const ScanOccupancy o = Occupied(scan, threshold, guard);
  Require(o.threshold_from_median == !threshold.has_value(), "threshold kind");
  CheckMedian(scan, o.median_dbm);
  Require(o.threshold_dbm ==
              threshold.value_or(o.median_dbm + kThresholdAboveMedian),
          "threshold");
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
    if (!(bin.dbm > o.threshold_dbm)) continue;
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
    Require(o.strongest[i].peak_dbm > o.threshold_dbm, "peak not above");
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
