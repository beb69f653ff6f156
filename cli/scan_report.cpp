#include "scan_report.h"

#include <cmath>
#include <cstdint>

#include "json_writer.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan_cli {
namespace {

using plan::FormatKhz;

// The strongest occupied ranges the text names; JSON lists more.
constexpr std::size_t kStrongestInText = 5;
constexpr std::size_t kStrongestInJson = 50;

std::string RangeText(const plan::Range& r) {
  return FormatKhz(r.low) + "-" + FormatKhz(r.high) + " MHz";
}

std::string SummaryText(const PlanOptions& options,
                        const std::vector<plan::Scan>& scans,
                        const plan::ScanOccupancy& taken) {
  std::string t;
  for (std::size_t i = 0; i < scans.size(); ++i) {
    t += "scan " + QuoteArgument(options.scans[i]) + ": " +
         std::string(plan::ScanFormatName(scans[i].format)) + ", " +
         std::to_string(scans[i].bins.size()) + " bins\n";
  }
  t += "scan threshold: " + FormatDbm(taken.threshold_dbm) + " dBm";
  if (taken.threshold_from_median) {
    t += " (10 dB above the median level " + FormatDbm(taken.median_dbm) +
         " dBm; --scan-threshold sets it)";
  }
  const std::size_t ranges = taken.excluded.size();
  t += "\nscans took " + FormatKhz(taken.excluded_khz) + " MHz in " +
       std::to_string(ranges) +
       (ranges == 1 ? " range (with " : " ranges (with ") +
       FormatKhz(options.scan_guard) + " MHz on each side)";
  for (std::size_t i = 0; i < taken.strongest.size() && i < kStrongestInText;
       ++i) {
    t += i == 0 ? "; the strongest: " : ", ";
    t += RangeText(taken.strongest[i].range) + " at " +
         FormatDbm(taken.strongest[i].peak_dbm) + " dBm";
  }
  return t + "\n";
}

std::string SummaryJson(const PlanOptions& options,
                        const std::vector<plan::Scan>& scans,
                        const plan::ScanOccupancy& taken) {
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("files").BeginArray();
  for (std::size_t i = 0; i < scans.size(); ++i) {
    json.BeginObject().Key("name").String(options.scans[i]);
    json.Key("format").String(plan::ScanFormatName(scans[i].format));
    json.Key("bins")
        .Number(static_cast<std::int64_t>(scans[i].bins.size()))
        .EndObject();
  }
  json.EndArray().Key("threshold_dbm").String(FormatDbm(taken.threshold_dbm));
  json.Key("from_median").Bool(taken.threshold_from_median);
  json.Key("median_dbm").String(FormatDbm(taken.median_dbm));
  json.Key("guard").String(FormatKhz(options.scan_guard));
  json.Key("excluded_mhz").String(FormatKhz(taken.excluded_khz));
  json.Key("excluded").BeginArray();
  for (const plan::Range& r : taken.excluded) {
    json.BeginArray().String(FormatKhz(r.low)).String(FormatKhz(r.high));
    json.EndArray();
  }
  json.EndArray().Key("strongest").BeginArray();
  for (std::size_t i = 0; i < taken.strongest.size() && i < kStrongestInJson;
       ++i) {
    const plan::OccupiedRange& o = taken.strongest[i];
    json.BeginObject().Key("low").String(FormatKhz(o.range.low));
    json.Key("high").String(FormatKhz(o.range.high));
    json.Key("peak_dbm").String(FormatDbm(o.peak_dbm)).EndObject();
  }
  json.EndArray().EndObject();
  return out;
}

}  // namespace

std::string FormatDbm(double dbm) {
  const long long tenths = std::llround(dbm * 10.0);
  const unsigned long long magnitude =
      tenths < 0 ? 0ull - static_cast<unsigned long long>(tenths)
                 : static_cast<unsigned long long>(tenths);
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(magnitude / 10);
  text += '.';
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

std::string ScanErrorMessage(std::string_view name,
                             const plan::ScanReading& reading) {
  std::string message = QuoteArgument(name);
  if (reading.line > 0) {
    message += ", line ";
    message += std::to_string(reading.line);
  }
  if (!reading.text.empty()) {
    message += ' ';
    message += QuoteArgument(reading.text);
  }
  message += ": ";
  message += plan::DescribeScanError(reading.error);
  return message;
}

plan::ScanOccupancy TakeScans(PlanOptions& options,
                              std::span<const plan::Scan> scans) {
  // One scan is taken as it is: a merged copy of a million bins would
  // double what the run holds.
  plan::ScanOccupancy taken =
      scans.size() == 1
          ? plan::Occupied(scans[0], options.scan_threshold, options.scan_guard)
          : plan::Occupied(plan::MergeScans(scans), options.scan_threshold,
                           options.scan_guard);
  options.scan_excludes = taken.excluded;
  return taken;
}

std::optional<std::string> ApplyScans(PlanOptions& options,
                                      const std::vector<std::string>& texts,
                                      ScanSummary& summary) {
  std::vector<plan::Scan> scans;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    plan::ScanReading reading = plan::ReadScan(texts[i]);
    if (reading.error != plan::ScanError::kNone) {
      return ScanErrorMessage(options.scans[i], reading);
    }
    scans.push_back(std::move(reading.scan));
  }
  const plan::ScanOccupancy taken = TakeScans(options, scans);
  summary.text = SummaryText(options, scans, taken);
  summary.json = SummaryJson(options, scans, taken);
  return std::nullopt;
}

}  // namespace zelmar::plan_cli
