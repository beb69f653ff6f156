// Why the page's request cannot be searched, as codes the page words in its
// own language beside the row or field they are about, before any search
// starts; and the page's reading of a carrier's frequency.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "zelmar/planner.h"

namespace zelmar::web {

// No wireless microphone works above this: a larger number was most likely
// typed in kilohertz.
inline constexpr plan::Khz kHighestCarrier = 3'000'000;
// The reading's code beyond plan::NumberError's for such a number.
inline constexpr int kProbablyKhz = 100;

// A frequency as the planner reads it (not zero), or kProbablyKhz above
// kHighestCarrier; `value` gets the reading as MHz text.
int ReadFrequency(std::string_view text, std::string& value);

// `args`: zelmar-plan's arguments as the plan form makes them (no files).
// The first refusal as one JSON object:
//   {"what":"arguments","text":LINE}  the option reader's own line;
//   {"what":"options","error":NAME,"group","band","channel","carriers",
//    "count","fixed"}  plan::OptionsError by name, with its figures;
//   {"what":"tooManyChannels"}
//   {"what":"bandsShare","group","bands":[I,J],"channel":MHZ}
//   {"what":"bandTooSmall","group","band","count","channels"}
//   {"what":"fixedBroken","group",...}  the first rule the fixed carriers
//     break: "kind" "spacing" with "carriers", "least"; or a family with
//     "carriers", "expression" ("2 × 808.000 − 806.125"), "product",
//     "victim", "window";
// or {"what":"none","warnings":[{"what":"fixedExcluded","group","fixed",
// "range":[LOW,HIGH]} | {"what":"noChannel","group"}, ...]}. Groups and bands
// are indices from 0, in the order of the arguments.
std::string PlanRefusalJson(std::span<const std::string_view> args);

}  // namespace zelmar::web
