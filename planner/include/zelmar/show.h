// A show as saved between sessions: the request (its groups, bands,
// exclusions and scans' exclusions) and, once planned, the plan as the crew
// sees it. Read and written as JSON of a format of its own; the crew's
// sheet as CSV.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/planner.h"
#include "zelmar/request.h"

namespace zelmar::plan {

inline constexpr std::string_view kShowFormat = "zelmar-show";
inline constexpr int kShowVersion = 1;

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

struct ShowFile {
  RequestOptions request;
  std::optional<PlanSheet> plan;
};

enum class ShowError {
  kNone,
  kSyntax,        // not JSON
  kNotAShow,      // no "format": "zelmar-show"
  kVersion,       // a version this program does not read
  kType,          // a value of the wrong JSON type
  kMissing,       // a field that must be there is not
  kUnknownField,  // a field this version does not have
  kBadFrequency,  // not a text of MHz with up to three decimals, or out
                  // of range
  kBadValue,      // any other value out of its range (counts, TV channels)
};

struct ShowReading {
  ShowFile show;
  ShowError error = ShowError::kNone;
  std::string path;      // JSON path of the fault, e.g. "groups[1].bands[0]"
  std::size_t line = 0;  // 1-based line of the fault, 0 when unknown
};

// The sheet of a plan (ascending) and its spares, as planned for `request`.
PlanSheet MakeSheet(const RequestOptions& request,
                    std::span<const Carrier> plan,
                    std::span<const Carrier> spares, bool proven);

// Reads a show file. Only its form is checked here; whether the request is
// one the planner takes is SettleOptions' to say.
ShowReading ReadShow(std::string_view text);
std::string_view DescribeShowError(ShowError error);

// The JSON text of a show, ending in a line end; ReadShow gives it back.
std::string WriteShow(const ShowFile& show);

// The crew's sheet: a byte-order mark, then "label,group,frequency,band,
// spare" and one row per carrier, every line ending in CR LF.
std::string WriteSheetCsv(const PlanSheet& sheet);

}  // namespace zelmar::plan
