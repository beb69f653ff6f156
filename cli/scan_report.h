// zelmar-plan --scan: the venue's scans read, what they take excluded from
// the request, and a summary for the answer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plan_options.h"

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

// A level such as -85.5: one decimal, rounded, whatever the locale.
std::string FormatDbm(double dbm);

}  // namespace zelmar::plan_cli
