// zelmar-plan --scan: the venue's scans read, what they take excluded from
// the request, and a summary for the answer.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json_writer.h"
#include "plan_options.h"
#include "zelmar/show/scan.h"

namespace zelmar::plan_cli {

struct ScanSummary {
  std::string text;  // lines for standard error
  std::string json;  // the "scan" member's object
};

// Reads the scans' texts (named by options.scans), puts the ranges above
// the threshold into options.scan_excludes and fills `summary`. The error
// message, naming the file and line, of a scan that cannot be read.
std::optional<std::string> ApplyScans(PlanOptions& options,
                                      const std::vector<std::string>& texts,
                                      ScanSummary& summary);

// What the scans (read) take at the options' threshold and guard, put into
// options.scan_excludes and options.scan_taken. The message when a scan's
// floor cannot be told and no threshold is given.
std::optional<std::string> TakeScans(PlanOptions& options,
                                     std::span<const plan::Scan> scans);

// The message of a scan that cannot be read, naming the file, the line and
// its text.
std::string ScanErrorMessage(std::string_view name,
                             const plan::ScanReading& reading);

// A carrier in what the scans took: with the scans read, the scan, its
// occupied range and level; from a show's saved ranges, the range alone.
struct InSignal {
  plan::Range taken;  // the excluded range, guard included
  std::optional<plan::SignalHit> hit;
};
std::optional<InSignal> SignalNear(const PlanOptions& options, plan::Khz khz);
// "in a signal: scan 'a.csv' shows -45.0 dBm at 1391.400-1408.800 MHz,
// above its threshold -86.0 dBm".
std::string DescribeInSignal(const PlanOptions& options, const InSignal& in);
// Its members in an open JSON object: "scan", "low", "high", "peak_dbm",
// "threshold_dbm" (the last three null without the scans).
void WriteInSignal(const PlanOptions& options, const InSignal& in,
                   cli::JsonWriter& json);

// The verdict of a plan with a carrier in a signal, in place of the check's
// low-risk text, which it never gets.
inline constexpr std::string_view kInSignalText =
    "スキャンで電波が見つかった所に周波数があります。混信の恐れがあります。\r"
    "\n";

// A level such as -85.5: one decimal, rounded, whatever the locale.
std::string FormatDbm(double dbm);

}  // namespace zelmar::plan_cli
