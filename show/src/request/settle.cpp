// Whether a front end's options make a request, the same rules for the
// command line, the show file and the page.
#include <algorithm>

#include "zelmar/show/request.h"

namespace zelmar::plan {
namespace {

OptionsCheck Refuse(OptionsError error, std::size_t group) {
  OptionsCheck check;
  check.error = error;
  check.group = group;
  return check;
}

OptionsCheck CheckTvChannels(const RequestOptions& options, std::size_t g) {
  const std::vector<BandOption>& bands = options.groups[g].bands;
  for (std::size_t b = 0; b < bands.size(); ++b) {
    for (int channel : bands[b].channels) {
      if (TvChannelBand(channel, bands[b].tv_step, options.tv_edge)) continue;
      OptionsCheck check = Refuse(OptionsError::kTvChannelEmpty, g);
      check.band = b;
      check.channel = channel;
      return check;
    }
  }
  return {};
}

// A group's count from its band counts, or its own count checked.
OptionsCheck SettleCount(GroupOptions& group, std::size_t g, bool grouped) {
  const int fixed = static_cast<int>(group.fixed.size());
  if (group.fixed.size() > kMaxCarriers) {
    return Refuse(OptionsError::kTooManyFixed, g);
  }
  const auto counted =
      std::count_if(group.bands.begin(), group.bands.end(),
                    [](const BandOption& b) { return b.count.has_value(); });
  if (counted == 0) {
    if (group.count > 0 && group.max) {
      return Refuse(OptionsError::kCountAndMax, g);
    }
    if (group.count == 0 && !group.max) {
      if (!grouped) return Refuse(OptionsError::kNoCount, g);
      group.max = true;
    }
    if (!group.max && group.count < fixed) {
      return Refuse(OptionsError::kCountBelowFixed, g);
    }
    return {};
  }
  if (static_cast<std::size_t>(counted) != group.bands.size()) {
    return Refuse(OptionsError::kCountsOnSomeBands, g);
  }
  if (group.max) return Refuse(OptionsError::kMaxWithCounts, g);
  int sum = fixed;
  for (const BandOption& b : group.bands) sum += *b.count;
  OptionsCheck check;
  check.group = g;
  check.carriers = sum;
  if (sum > kMaxCarriers) {
    check.error = OptionsError::kTooManyCarriers;
  } else if (group.count != 0 && group.count != sum) {
    check.error = OptionsError::kCountDiffers;
  } else {
    group.count = sum;
  }
  return check;
}

}  // namespace

OptionsCheck SettleOptions(RequestOptions& options) {
  if (options.groups.size() > kMaxDeviceGroups) {
    return Refuse(OptionsError::kTooManyGroups, kMaxDeviceGroups);
  }
  const bool grouped = options.Grouped();
  int carriers = 0, open = 0;
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    GroupOptions& group = options.groups[g];
    for (std::size_t h = 0; h < g; ++h) {
      if (options.groups[h].name == group.name) {
        return Refuse(OptionsError::kSameName, g);
      }
    }
    OptionsCheck check = CheckTvChannels(options, g);
    if (check.error == OptionsError::kNone) {
      check = SettleCount(group, g, grouped);
    }
    if (check.error != OptionsError::kNone) return check;
    if (group.max && open++ > 0) return Refuse(OptionsError::kTwoOpen, g);
    carriers += group.max ? static_cast<int>(group.fixed.size()) : group.count;
  }
  if (carriers > kMaxCarriers) {
    OptionsCheck check =
        Refuse(OptionsError::kTooManyCarriers, options.groups.size());
    check.carriers = carriers;
    return check;
  }
  return {};
}

}  // namespace zelmar::plan
