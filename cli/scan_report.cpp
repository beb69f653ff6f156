#include "scan_report.h"

#include <algorithm>
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

std::string UnitText(const plan::Scan& scan) {
  std::string t = " in " + std::string(plan::ScanUnitName(scan.unit));
  switch (scan.unit_from) {
    case plan::UnitSource::kFormat:
      return t;
    case plan::UnitSource::kHeader:
      return t + " (named in its header)";
    case plan::UnitSource::kGiven:
      return t + " (--scan-unit)";
    case plan::UnitSource::kMagnitudes:
      break;
  }
  return t + " (told from the magnitudes)";
}

std::string FloorText(const plan::ScanTaken& taken) {
  if (taken.floor.status == plan::NoiseFloor::Status::kFound) {
    return "noise floor " + FormatDbm(taken.floor.dbm) + " dBm";
  }
  return "noise floor not told (" + plan::DescribeNoiseFloor(taken.floor) + ")";
}

std::string SummaryText(const PlanOptions& options,
                        const std::vector<plan::Scan>& scans,
                        const plan::ScanOccupancy& taken) {
  std::string t;
  for (std::size_t i = 0; i < scans.size(); ++i) {
    const plan::Scan& scan = scans[i];
    const plan::ScanTaken& part = taken.scans[i];
    t += "scan " + QuoteFile(options.scans[i]) + ": " +
         std::string(plan::ScanFormatName(scan.format)) + UnitText(scan) +
         ", " + std::to_string(scan.bins.size()) + " bins\n";
    if (scan.unmeasured > 0) {
      t += "  " + std::to_string(scan.unmeasured) +
           (scan.unmeasured == 1 ? " level" : " levels") +
           " measured nothing (-inf, nan) and left out\n";
    }
    if (scan.footer_lines > 0) {
      t += "  " + std::to_string(scan.footer_lines) +
           " footer lines after the readings passed over\n";
    }
    t += "  " + FloorText(part) + ", threshold " +
         FormatDbm(part.threshold_dbm) + " dBm" +
         (part.threshold_from_floor
              ? " (10 dB above the floor; --scan-threshold sets it)"
              : " (--scan-threshold)") +
         "\n";
  }
  const std::size_t ranges = taken.excluded.size();
  t += "scans took " + FormatKhz(taken.excluded_khz) + " MHz in " +
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
    const plan::Scan& scan = scans[i];
    const plan::ScanTaken& part = taken.scans[i];
    json.BeginObject().Key("name").String(options.scans[i]);
    json.Key("format").String(plan::ScanFormatName(scan.format));
    json.Key("unit").String(plan::ScanUnitName(scan.unit));
    json.Key("bins").Number(static_cast<std::int64_t>(scan.bins.size()));
    json.Key("unmeasured").Number(static_cast<std::int64_t>(scan.unmeasured));
    json.Key("floor_dbm");
    part.floor.status == plan::NoiseFloor::Status::kFound
        ? json.String(FormatDbm(part.floor.dbm))
        : json.Null();
    json.Key("threshold_dbm").String(FormatDbm(part.threshold_dbm));
    json.Key("from_floor").Bool(part.threshold_from_floor);
    json.Key("low").String(FormatKhz(part.low));
    json.Key("high").String(FormatKhz(part.high)).EndObject();
  }
  json.EndArray().Key("threshold_dbm");
  options.scan_threshold ? json.String(FormatDbm(*options.scan_threshold))
                         : json.Null();
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
  std::string message = QuoteFile(name);
  if (reading.line > 0) {
    message += ", line ";
    message += std::to_string(reading.line);
  }
  if (!reading.text.empty()) {
    message += ' ';
    message += QuoteArgument(reading.text);
  }
  message += ": ";
  message += plan::DescribeScanReading(reading);
  return message;
}

std::optional<std::string> TakeScans(PlanOptions& options,
                                     std::span<const plan::Scan> scans) {
  plan::ScanOccupancy taken =
      plan::Occupied(scans, options.scan_threshold, options.scan_guard);
  if (taken.floor_unknown) {
    const std::size_t i = *taken.floor_unknown;
    return "scan " + QuoteFile(options.scans[i]) +
           ": its noise floor cannot be told from its signals (" +
           plan::DescribeNoiseFloor(taken.scans[i].floor) +
           "); --scan-threshold DBM says the level above which a bin is taken";
  }
  options.scan_excludes = taken.excluded;
  options.scan_taken = std::move(taken);
  return std::nullopt;
}

std::optional<InSignal> SignalNear(const PlanOptions& options, plan::Khz khz) {
  const auto range = std::find_if(
      options.scan_excludes.begin(), options.scan_excludes.end(),
      [khz](const plan::Range& r) { return r.low <= khz && khz <= r.high; });
  if (range == options.scan_excludes.end()) return std::nullopt;
  InSignal in{*range, std::nullopt};
  if (options.scan_taken) {
    in.hit = plan::SignalAt(*options.scan_taken, khz, options.scan_guard);
  }
  return in;
}

std::string DescribeInSignal(const PlanOptions& options, const InSignal& in) {
  if (!in.hit) {
    return "in a signal: inside " + RangeText(in.taken) +
           ", which the show's scans took";
  }
  const plan::SignalHit& hit = *in.hit;
  return "in a signal: scan " + QuoteFile(options.scans[hit.scan]) + " shows " +
         FormatDbm(hit.range.peak_dbm) + " dBm at " +
         RangeText(hit.range.range) + ", above its threshold " +
         FormatDbm(hit.threshold_dbm) + " dBm";
}

void WriteInSignal(const PlanOptions& options, const InSignal& in,
                   cli::JsonWriter& json) {
  json.Key("scan");
  in.hit ? json.String(options.scans[in.hit->scan]) : json.Null();
  const plan::Range& r = in.hit ? in.hit->range.range : in.taken;
  json.Key("low")
      .String(FormatKhz(r.low))
      .Key("high")
      .String(FormatKhz(r.high));
  json.Key("peak_dbm");
  in.hit ? json.String(FormatDbm(in.hit->range.peak_dbm)) : json.Null();
  json.Key("threshold_dbm");
  in.hit ? json.String(FormatDbm(in.hit->threshold_dbm)) : json.Null();
}

std::optional<std::string> ApplyScans(PlanOptions& options,
                                      const std::vector<std::string>& texts,
                                      ScanSummary& summary) {
  std::vector<plan::Scan> scans;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    plan::ScanReading reading = plan::ReadScan(texts[i], options.scan_unit);
    if (reading.error != plan::ScanError::kNone) {
      return ScanErrorMessage(options.scans[i], reading);
    }
    scans.push_back(std::move(reading.scan));
  }
  if (auto error = TakeScans(options, scans)) return error;
  summary.text = SummaryText(options, scans, *options.scan_taken);
  summary.json = SummaryJson(options, scans, *options.scan_taken);
  return std::nullopt;
}

}  // namespace zelmar::plan_cli
