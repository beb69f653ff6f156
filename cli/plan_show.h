// zelmar-plan's shows: a request (and plan) read from a show file, and the
// show and the crew's sheet of a run, for --save and --csv.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plan_options.h"
#include "plan_report.h"
#include "zelmar/groups.h"

namespace zelmar::plan_cli {

// Takes the request of the show file `text` (named by options.show) into
// `options`, and its saved plan's carriers (spares left out) into `saved`.
// The error message, if the file is refused.
std::optional<std::string> LoadShow(const std::string& text,
                                    PlanOptions& options,
                                    std::vector<plan::Carrier>& saved);

// The show file and the sheet of a run that gave an answer: `view` null
// when there was no plan.
void AttachShow(const PlanOptions& options, const plan::SettledRequest& request,
                const PlanView* view, PlanReport& report);

}  // namespace zelmar::plan_cli
