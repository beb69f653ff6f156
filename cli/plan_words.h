// The words and JSON of products and broken rules, shared by every answer
// of zelmar-plan: plans, fixed carriers that break a rule, and analyses.
#pragma once

#include <span>
#include <string>

#include "json_writer.h"
#include "plan_options.h"
#include "zelmar/groups.h"
#include "zelmar/planner.h"

namespace zelmar::plan_cli {

// "2*806.375 - 807.000 = 805.750 MHz, 0.125 MHz from 805.625 MHz".
std::string DescribeProduct(const plan::Product& q);

// Words for a rule a plan of one group breaks.
std::string DescribeViolation(const plan::Violation& v,
                              const plan::Rules& rules);
// Words for a rule a plan of groups breaks, naming the groups.
std::string DescribeFinding(const PlanOptions& options, const plan::Finding& f);

// "carriers", "product" and "victim" of a product, in an open object.
void WriteProduct(const plan::Product& q, cli::JsonWriter& json);
void WriteViolation(const plan::Violation& v, cli::JsonWriter& json);
void WriteFinding(const PlanOptions& options, const plan::Finding& f,
                  cli::JsonWriter& json);

// The name of a carrier's group as messages give it: 'HH'.
std::string GroupNameOf(const PlanOptions& options, int group);
// " ('HH')" after a carrier of a named group, else nothing.
std::string InGroup(const PlanOptions& options, int group);

}  // namespace zelmar::plan_cli
