// A show as saved between sessions: the request (its groups, bands,
// exclusions and scans' exclusions) and, once planned, the plan as the crew
// sees it. Read and written as JSON of a format of its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zelmar/planner.h"
#include "zelmar/show/request.h"
#include "zelmar/show/sheet.h"

namespace zelmar::plan {

inline constexpr std::string_view kShowFormat = "zelmar-show";
inline constexpr int kShowVersion = 1;

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

// Reads a show file. Only its form is checked here; whether the request is
// one the planner takes is SettleOptions' to say.
ShowReading ReadShow(std::string_view text);
std::string_view DescribeShowError(ShowError error);

// The JSON text of a show, ending in a line end; ReadShow gives it back.
std::string WriteShow(const ShowFile& show);

}  // namespace zelmar::plan
