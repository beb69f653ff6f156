// Times reading a venue scan of a million bins and finding what it excludes:
// an rtl_power-style text written in memory (10,000 hops of 100 bins from
// 470 MHz, noise near -95 dBm with a carrier every 2,000 bins), then
// ReadScan and Occupied, best of three. Prints the seconds and the peak
// resident memory of the whole run; the aim is within 1 s and 64 MB.
#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "zelmar/show/scan.h"

namespace {

constexpr int kHops = 10'000;
constexpr int kBinsPerHop = 100;
constexpr std::int64_t kLowHz = 470'000'000;
constexpr std::int64_t kHopHz = 195'312;  // 100 steps of 1953.12 Hz
constexpr int kCarrierEvery = 2'000;

void Append(std::string& out, double value, int decimals) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::fixed, decimals)
                       .ptr;
  out.append(buffer, end);
}

void Append(std::string& out, std::int64_t value) {
  char buffer[24];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string SweepText() {
  std::string text;
  text.reserve(std::size_t{kHops} * kBinsPerHop * 8 + std::size_t{kHops} * 64);
  std::uint32_t noise = 12345;
  for (int hop = 0; hop < kHops; ++hop) {
    const std::int64_t low = kLowHz + hop * kHopHz;
    text += "2024-05-01, 12:00:00, ";
    Append(text, low);
    text += ", ";
    Append(text, low + kHopHz);
    text += ", 1953.12, 16";
    for (int i = 0; i < kBinsPerHop; ++i) {
      noise = noise * 1664525u + 1013904223u;
      const bool carrier = (hop * kBinsPerHop + i) % kCarrierEvery == 0;
      const double dbm = carrier ? -40.0 : -95.0 + (noise >> 24) / 64.0;
      text += ", ";
      Append(text, dbm, 2);
    }
    text += '\n';
  }
  return text;
}

void Print(std::string_view label, double value, int decimals,
           std::string_view unit) {
  std::string line(label);
  Append(line, value, decimals);
  line += unit;
  std::puts(line.c_str());
}

}  // namespace

int main() {
  using Clock = std::chrono::steady_clock;
  const std::string text = SweepText();
  double best = 1e9;
  std::size_t bins = 0;
  std::size_t excluded = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    const zelmar::plan::ScanReading reading = zelmar::plan::ReadScan(text);
    if (reading.error != zelmar::plan::ScanError::kNone) {
      std::fputs("scan_bench: the generated text does not read\n", stderr);
      return 1;
    }
    const zelmar::plan::ScanOccupancy occupancy = zelmar::plan::Occupied(
        {&reading.scan, 1}, std::nullopt, zelmar::plan::kDefaultScanGuard);
    best = std::min(
        best, std::chrono::duration<double>(Clock::now() - start).count());
    bins = reading.scan.bins.size();
    excluded = occupancy.excluded.size();
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  Print("text MB: ", text.size() / 1e6, 1, "");
  Print("bins: ", static_cast<double>(bins), 0, "");
  Print("excluded ranges: ", static_cast<double>(excluded), 0, "");
  Print("ReadScan + Occupied, best of 3: ", best, 3, " s");
  Print("peak RSS: ", usage.ru_maxrss / 1024.0, 1, " MB");
  return 0;
}
