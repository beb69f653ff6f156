// From the choices of a front end (bands, TV channels, exclusions, fixed
// carriers, counts, rules) to the PlanRequest the search takes, in one place
// for every front end: the command line, the page and the benchmarks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::plan {

// One source of candidate channels and, with `count`, how many new carriers
// to take from it.
struct BandOption {
  enum class Kind { kRange, kBBand, kTv } kind = Kind::kRange;
  std::string text;           // how the user wrote it, for band names
  Band band;                  // kRange and kBBand
  std::vector<int> channels;  // kTv: the TV channels, ascending
  Khz tv_step = kDefaultTvStep;
  std::optional<int> count;
};

struct RequestOptions {
  std::vector<BandOption> bands;  // empty: the B band
  Khz tv_edge = 0;
  std::vector<Range> excludes;
  std::vector<Khz> fixed;
  int count = 0;     // 1..64 carriers, fixed ones included
  bool max = false;  // as many as fit; `count` is then not looked at
  Rules rules;
  int threads = 0;  // search threads; 0: every hardware thread

  // Counts on the bands: then every band has one.
  bool Counted() const { return !bands.empty() && bands[0].count.has_value(); }
};

// The candidate bands of the options (the B band when none is given), one
// entry per band option and per TV channel, with the option's index.
struct ResolvedBand {
  Band band;
  std::size_t option = 0;
};
std::vector<ResolvedBand> ResolveBands(const RequestOptions& options);

enum class BuildError {
  kNone,
  kTooManyCandidates,  // more than kMaxCandidates channels
  kCountedBandsShare,  // two bands with counts share a channel
};

struct BuiltRequest {
  PlanRequest request;
  BuildError error = BuildError::kNone;
  // kCountedBandsShare: the two options (in option order) and the channel.
  std::size_t first_sharer = 0;
  std::size_t second_sharer = 0;
  Khz shared_channel = 0;
};

// The candidates (the bands' channels less the exclusions), the counted
// groups, the fixed carriers, the rules and the count. Whether the request is
// one the search takes is CheckRequest's to say.
BuiltRequest BuildPlanRequest(const RequestOptions& options);

// Where a carrier of a plan built from `options` came from: "fixed",
// "B ch 3", "TV ch 21", "band 806:807" (the option's text), or "?". Named
// per carrier rather than per candidate, of which there may be a million.
std::string BandNameOf(const RequestOptions& options, Khz carrier);

}  // namespace zelmar::plan
