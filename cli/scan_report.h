// zelmar-plan --scan: the venue's scans read, what they take excluded from
// the request, and a summary for the answer.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
// options.scan_excludes too.
plan::ScanOccupancy TakeScans(PlanOptions& options,
                              std::span<const plan::Scan> scans);

// The message of a scan that cannot be read, naming the file, the line and
// its text.
std::string ScanErrorMessage(std::string_view name,
                             const plan::ScanReading& reading);

// A level such as -85.5: one decimal, rounded, whatever the locale.
std::string FormatDbm(double dbm);

}  // namespace zelmar::plan_cli
