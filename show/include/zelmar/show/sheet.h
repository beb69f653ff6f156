// A plan as the crew sees it, one row per carrier, as the show file keeps
// it and the crew's sheet (CSV) prints it.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zelmar/planner.h"
#include "zelmar/show/request.h"

namespace zelmar::plan {

// A plan as the crew sees it: one row per carrier, ascending, then the
// spares.
struct PlanSheet {
  struct Row {
    std::string label;
    std::string group;
    Khz khz = 0;
    std::string band;  // "B ch 3", "TV ch 21", "band 806:807", "fixed"
    bool spare = false;
    bool fixed = false;
  };
  std::vector<Row> rows;
  std::array<std::optional<Khz>, kFamilyCount> margins;   // checked ones
  std::array<std::optional<Khz>, kFamilyCount> headroom;  // checked ones
  bool proven = false;
};

// The sheet of a plan (ascending) and its spares, as planned for `request`.
PlanSheet MakeSheet(const SettledRequest& request,
                    std::span<const Carrier> plan,
                    std::span<const Carrier> spares, bool proven);

// The crew's sheet: a byte-order mark, then "label,group,frequency,band,
// spare" and one row per carrier, every line ending in CR LF.
std::string WriteSheetCsv(const PlanSheet& sheet);

}  // namespace zelmar::plan
