// What the page asks of the module beside a search: its files (show files
// and scans, read in the page, never uploaded) and a request made from
// zelmar-plan's arguments with those files, for the picture, the show file
// and the sheet of whatever plan the page shows.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plan_options.h"
#include "plan_run.h"
#include "zelmar/groups.h"
#include "zelmar/show/scan.h"

namespace zelmar::web {

// The files the page handed over, by name; scans are read once, when first
// asked for.
class PageFiles {
 public:
  void Put(std::string name, std::string bytes);
  void Clear();
  const std::string* Text(const std::string& name) const;
  // The reading of the file as a scan in `unit` (an error reading when
  // absent).
  const plan::ScanReading& Scan(const std::string& name,
                                std::optional<plan::ScanUnit> unit);

 private:
  struct Reading {
    std::optional<plan::ScanUnit> unit;
    plan::ScanReading reading;
  };
  std::map<std::string, std::string> texts_;
  std::map<std::string, Reading> scans_;
};

// After the arguments, "--" and pairs of texts that the page adds:
//   "carrier", "F@NAME"  a carrier of the shown plan: MHz and its group's
//                        name (empty for a request without groups);
//   "spare", "F@NAME"    a spare of it;
//   "proven", "1"     the plan was proven best;
//   "scan-exclude", "LOW:HIGH"  a range a show's scans took (when the
//                     request names no scan of its own).
struct PageRequest {
  plan_cli::PlanOptions options;  // show and scans applied
  std::vector<plan::Carrier> plan;
  std::vector<plan::Carrier> spares;
  bool proven = false;
  // The scans' trace (highest level per frequency) and what they took.
  std::optional<plan::Scan> trace;
  std::optional<plan::ScanOccupancy> taken;
  std::string error;  // one line; empty when the request was made
};

// `args`: zelmar-plan's arguments, then optionally "--" and the pairs above.
PageRequest MakePageRequest(std::span<const std::string_view> args,
                            PageFiles& files);

// A search's options (the pairs' scan ranges applied) and the files they
// name, as zelmar-plan would read them, for RunPlan.
struct PageSearch {
  plan_cli::PlanOptions options;
  plan_cli::PlanInputs inputs;
  std::string error;  // one line; empty when the search can run
};
PageSearch MakePageSearch(std::span<const std::string_view> args,
                          const PageFiles& files);

}  // namespace zelmar::web
