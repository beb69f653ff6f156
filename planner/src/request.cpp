// The options of a front end as a PlanRequest, and the band of a carrier.
#include "zelmar/request.h"

#include <algorithm>
#include <span>

namespace zelmar::plan {
namespace {

std::vector<Band> BandsOf(std::span<const ResolvedBand> resolved) {
  std::vector<Band> bands;
  for (const ResolvedBand& r : resolved) bands.push_back(r.band);
  return bands;
}

// The channels of one option, exclusions removed.
std::vector<Khz> OptionChannels(const RequestOptions& options,
                                std::span<const ResolvedBand> resolved,
                                std::size_t option) {
  std::vector<Band> own;
  for (const ResolvedBand& r : resolved) {
    if (r.option == option) own.push_back(r.band);
  }
  return BuildCandidates(own, options.excludes).channels;
}

// Each counted option's channels form its group; no channel may be in two.
BuildError AssignGroups(const RequestOptions& options,
                        std::span<const ResolvedBand> resolved,
                        BuiltRequest& built) {
  PlanRequest& request = built.request;
  const std::vector<Khz>& channels = request.candidates;
  const std::size_t nobody = options.bands.size();
  std::vector<std::size_t> owner(channels.size(), nobody);
  request.groups.assign(channels.size(), 0);
  for (std::size_t o = 0; o < options.bands.size(); ++o) {
    for (Khz f : OptionChannels(options, resolved, o)) {
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
    request.group_counts.push_back(*options.bands[o].count);
  }
  return BuildError::kNone;
}

}  // namespace

std::vector<ResolvedBand> ResolveBands(const RequestOptions& options) {
  std::vector<ResolvedBand> resolved;
  if (options.bands.empty()) resolved.push_back({kBBand, 0});
  for (std::size_t o = 0; o < options.bands.size(); ++o) {
    const BandOption& option = options.bands[o];
    if (option.kind != BandOption::Kind::kTv) {
      resolved.push_back({option.band, o});
      continue;
    }
    for (int channel : option.channels) {
      if (auto band = TvChannelBand(channel, option.tv_step, options.tv_edge)) {
        resolved.push_back({*band, o});
      }
    }
  }
  return resolved;
}

BuiltRequest BuildPlanRequest(const RequestOptions& options) {
  BuiltRequest built;
  const std::vector<ResolvedBand> resolved = ResolveBands(options);
  Candidates candidates =
      BuildCandidates(BandsOf(resolved), options.excludes, kMaxCandidates);
  if (candidates.too_many) {
    built.error = BuildError::kTooManyCandidates;
    return built;
  }
  PlanRequest& request = built.request;
  request.candidates = std::move(candidates.channels);
  if (options.Counted()) {
    built.error = AssignGroups(options, resolved, built);
    if (built.error != BuildError::kNone) return built;
  }
  request.fixed = options.fixed;
  request.rules = options.rules;
  request.threads = options.threads;
  request.count = options.max ? 0 : options.count;
  return built;
}

std::string BandNameOf(const RequestOptions& options, Khz carrier) {
  if (std::find(options.fixed.begin(), options.fixed.end(), carrier) !=
      options.fixed.end()) {
    return "fixed";
  }
  for (const ResolvedBand& r : ResolveBands(options)) {
    const Band& b = r.band;
    if (carrier < b.low || carrier > b.high || (carrier - b.low) % b.step) {
      continue;
    }
    const BandOption::Kind kind = options.bands.empty()
                                      ? BandOption::Kind::kBBand
                                      : options.bands[r.option].kind;
    switch (kind) {
      case BandOption::Kind::kBBand:
        return "B ch " + std::to_string(BBandChannel(carrier));
      case BandOption::Kind::kTv:
        return "TV ch " + std::to_string(TvChannelOf(carrier));
      case BandOption::Kind::kRange:
        return "band " + options.bands[r.option].text;
    }
  }
  return "?";
}

}  // namespace zelmar::plan
