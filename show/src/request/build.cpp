// The options of a front end as a request built once: its rules, bands and
// exclusions, the planner's request, and the band and label of a carrier.
#include <algorithm>
#include <span>

#include "zelmar/show/request.h"

namespace zelmar::plan {
namespace {

std::vector<Band> BandsOf(std::span<const ResolvedBand> resolved) {
  std::vector<Band> bands;
  for (const ResolvedBand& r : resolved) bands.push_back(r.band);
  return bands;
}

// Each counted option's channels form its counted band; no channel may be
// in two.
BuildError AssignCountedBands(const SettledRequest& settled,
                              BuiltRequest& built) {
  const GroupOptions& group = settled.options().first();
  PlanRequest& request = built.request;
  const std::vector<Khz>& channels = request.candidates;
  const std::size_t nobody = group.bands.size();
  std::vector<std::size_t> owner(channels.size(), nobody);
  request.groups.assign(channels.size(), 0);
  for (std::size_t o = 0; o < group.bands.size(); ++o) {
    for (Khz f : settled.OptionChannels(0, o)) {
      const std::size_t i =
          std::lower_bound(channels.begin(), channels.end(), f) -
          channels.begin();
      if (owner[i] != nobody) {
        built.first_sharer = owner[i];
        built.second_sharer = o;
        built.shared_channel = f;
        return BuildError::kCountedBandsShare;
      }
      owner[i] = o;
      request.groups[i] = static_cast<std::uint8_t>(o);
    }
    request.group_counts.push_back(*group.bands[o].count);
  }
  return BuildError::kNone;
}

BuiltRequest BuildOneGroup(const SettledRequest& settled) {
  BuiltRequest built;
  const RequestOptions& options = settled.options();
  const GroupOptions& group = options.first();
  Candidates candidates = settled.Channels(0);
  if (candidates.too_many) {
    built.error = BuildError::kTooManyCandidates;
    return built;
  }
  PlanRequest& request = built.request;
  request.candidates = std::move(candidates.channels);
  if (group.Counted()) {
    built.error = AssignCountedBands(settled, built);
    if (built.error != BuildError::kNone) return built;
  }
  request.fixed = group.fixed;
  request.rules = group.rules;
  request.threads = options.threads;
  request.count = group.max ? 0 : group.count;
  return built;
}

// One pool per counted band, or one for the whole group.
BuildError AddPools(const SettledRequest& settled, std::size_t g,
                    GroupRequest& request) {
  const GroupOptions& group = settled.options().groups[g];
  if (!group.Counted()) {
    Candidates channels = settled.Channels(g);
    if (channels.too_many) return BuildError::kTooManyCandidates;
    const int fixed = static_cast<int>(group.fixed.size());
    const int count = group.max ? 0 : std::max(group.count - fixed, 0);
    if (group.max || count > 0) {
      request.pools.push_back(
          Pool{static_cast<int>(g), std::move(channels.channels), count});
    }
    return BuildError::kNone;
  }
  for (std::size_t o = 0; o < group.bands.size(); ++o) {
    request.pools.push_back(Pool{static_cast<int>(g),
                                 settled.OptionChannels(g, o),
                                 *group.bands[o].count});
  }
  return BuildError::kNone;
}

BuiltRequest BuildGroups(const SettledRequest& settled) {
  BuiltRequest built;
  const RequestOptions& options = settled.options();
  GroupRequest& request = built.group_request;
  request.groups = settled.rules();
  request.threads = options.threads;
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    request.names.push_back(options.groups[g].name);
    for (Khz f : options.groups[g].fixed) {
      request.fixed.push_back(Carrier{f, static_cast<int>(g)});
    }
    built.error = AddPools(settled, g, request);
    if (built.error != BuildError::kNone) {
      built.group = g;
      return built;
    }
  }
  return built;
}

}  // namespace

std::vector<ResolvedBand> ResolveBands(const GroupOptions& group, Khz tv_edge) {
  std::vector<ResolvedBand> resolved;
  if (group.bands.empty()) resolved.push_back({kBBand, 0});
  for (std::size_t o = 0; o < group.bands.size(); ++o) {
    const BandOption& option = group.bands[o];
    if (option.kind != BandOption::Kind::kTv) {
      resolved.push_back({option.band, o});
      continue;
    }
    for (int channel : option.channels) {
      if (auto band = TvChannelBand(channel, option.tv_step, tv_edge)) {
        resolved.push_back({*band, o});
      }
    }
  }
  return resolved;
}

SettledRequest::SettledRequest(const RequestOptions& options)
    : options_(options) {
  for (const GroupOptions& g : options.groups) {
    rules_.push_back(GroupRules{g.rules, g.apart});
    bands_.push_back(ResolveBands(g, options.tv_edge));
  }
  excludes_ = options.excludes;
  excludes_.insert(excludes_.end(), options.scan_excludes.begin(),
                   options.scan_excludes.end());
}

Candidates SettledRequest::Channels(std::size_t group) const {
  return BuildCandidates(BandsOf(bands_[group]), excludes_);
}

std::vector<Khz> SettledRequest::OptionChannels(std::size_t group,
                                                std::size_t option) const {
  std::vector<Band> own;
  for (const ResolvedBand& r : bands_[group]) {
    if (r.option == option) own.push_back(r.band);
  }
  return BuildCandidates(own, excludes_).channels;
}

BuiltRequest SettledRequest::Build() const {
  return options_.Grouped() ? BuildGroups(*this) : BuildOneGroup(*this);
}

BuiltRequest BuildPlanRequest(const RequestOptions& options) {
  return SettledRequest(options).Build();
}

std::string SettledRequest::BandNameOf(const Carrier& carrier) const {
  const GroupOptions& group = options_.groups[carrier.group];
  if (std::find(group.fixed.begin(), group.fixed.end(), carrier.khz) !=
      group.fixed.end()) {
    return "fixed";
  }
  for (const ResolvedBand& r : bands_[carrier.group]) {
    const Band& b = r.band;
    const Khz f = carrier.khz;
    if (f < b.low || f > b.high || (f - b.low) % b.step) continue;
    const BandOption::Kind kind = group.bands.empty()
                                      ? BandOption::Kind::kBBand
                                      : group.bands[r.option].kind;
    switch (kind) {
      case BandOption::Kind::kBBand:
        return "B ch " + std::to_string(BBandChannel(f));
      case BandOption::Kind::kTv:
        return "TV ch " + std::to_string(TvChannelOf(f));
      case BandOption::Kind::kRange:
        return "band " + group.bands[r.option].text;
    }
  }
  return "?";
}

std::vector<std::string> SettledRequest::LabelsOf(
    std::span<const Carrier> plan) const {
  std::vector<std::string> labels;
  std::vector<int> numbered(options_.groups.size(), 0);
  for (const Carrier& c : plan) {
    const std::string& label = options_.groups[c.group].label;
    const int n = ++numbered[c.group];
    labels.push_back(label.empty() ? "" : label + std::to_string(n));
  }
  return labels;
}

std::vector<std::string> SettledRequest::SpareLabelsOf(
    std::span<const Carrier> spares) const {
  std::vector<std::string> labels;
  std::vector<int> numbered(options_.groups.size(), 0);
  for (const Carrier& c : spares) {
    const std::string& label = options_.groups[c.group].label;
    const std::string n = std::to_string(++numbered[c.group]);
    labels.push_back(label.empty() ? "spare " + n : label + " spare " + n);
  }
  return labels;
}

}  // namespace zelmar::plan
