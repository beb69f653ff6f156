// Words for options refused as a whole, the command line's and a show
// file's alike.
#include "plan_options.h"

namespace zelmar::plan_cli {
namespace {

using plan::FormatKhz;

// The group a message names: "group 'HH': ", or "" without a name.
std::string GroupPrefix(const PlanOptions& options, std::size_t g) {
  if (g >= options.groups.size() || options.groups[g].name.empty()) return "";
  return "group " + QuoteArgument(options.groups[g].name) + ": ";
}

}  // namespace

std::string DescribeOptionsCheck(const PlanOptions& options,
                                 const plan::OptionsCheck& check) {
  using E = plan::OptionsError;
  const std::string prefix = GroupPrefix(options, check.group);
  const std::string sum = std::to_string(check.carriers);
  const plan::GroupOptions* group = check.group < options.groups.size()
                                        ? &options.groups[check.group]
                                        : nullptr;
  switch (check.error) {
    case E::kNone:
      return "";
    case E::kTooManyGroups:
      return "more than " + std::to_string(plan::kMaxDeviceGroups) + " groups";
    case E::kSameName:
      return "two groups are named " + QuoteArgument(group->name);
    case E::kTvChannelEmpty: {
      const BandOption& b = group->bands[check.band];
      return prefix + "--tv " + QuoteArgument(b.text) + ": channel " +
             std::to_string(check.channel) + " holds no multiple of " +
             FormatKhz(b.tv_step) + " MHz with --tv-edge " +
             FormatKhz(options.tv_edge);
    }
    case E::kCountsOnSomeBands:
      return prefix +
             "when one --band or --tv has a count (=N), every one needs one";
    case E::kMaxWithCounts:
      return prefix +
             "--max does not go with band counts; the counts say how many "
             "carriers";
    case E::kNoCount:
      return "give --count N or --max (see --help)";
    case E::kCountAndMax:
      return prefix + "give either --count N or --max, not both";
    case E::kTooManyFixed:
      return prefix + "at most 64 fixed carriers";
    case E::kCountBelowFixed:
      return prefix + "--count " + std::to_string(group->count) +
             " is below the " + std::to_string(group->fixed.size()) +
             " fixed carriers";
    case E::kCountDiffers:
      return prefix + "--count " + std::to_string(group->count) +
             " differs from the band counts plus fixed carriers (" + sum + ")";
    case E::kTooManyCarriers:
      return group ? prefix + "the band counts and fixed carriers make " + sum +
                         " carriers, more than 64"
                   : "the groups' counts and fixed carriers make " + sum +
                         " carriers, more than 64";
    case E::kTwoOpen:
      return "groups " + QuoteArgument(options.groups.front().name) + " and " +
             QuoteArgument(group->name) +
             " both have no count; only one group may take as many as fit";
  }
  return "refused";
}

}  // namespace zelmar::plan_cli
