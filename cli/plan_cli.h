// The pieces of the zelmar-plan command-line front end, kept apart from
// main() so that argument handling, the run and the output can be tested on
// their own. Plans come from zelmar::plan::FindBestPlan; every plan of up to
// twelve carriers printed has first been run through zelmar::RunChannelCheck,
// larger ones through the planner's own rules.
#pragma once

#include "plan_options.h"  // the arguments, their reading, the help text
#include "plan_report.h"   // the answers, as text and as JSON
#include "plan_run.h"      // one run: request, search, check, answer
