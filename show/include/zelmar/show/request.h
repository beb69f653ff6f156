// From the choices of a front end (bands, TV channels, exclusions, fixed
// carriers, counts, rules) to the PlanRequest the search takes, in one place
// for every front end: the command line, the page and the benchmarks.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zelmar/groups.h"
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

// One device group: its bands, carriers and rules. A request without
// groups has one, unnamed.
struct GroupOptions {
  std::string name;   // empty: the one group of a request without groups
  std::string label;  // carriers are labelled LABEL1, LABEL2, ... upwards
  std::vector<BandOption> bands;  // empty: the B band
  std::vector<Khz> fixed;
  int count = 0;     // 1..64 carriers, fixed ones included
  bool max = false;  // as many as fit; `count` is then not looked at
  Rules rules;       // spacing; guard is the 2tx3 window
  Khz apart = 0;     // least distance from any carrier of another group
  int spares = 0;    // spare frequencies to list beside the plan

  // Counts on the bands: then every band has one.
  bool Counted() const { return !bands.empty() && bands[0].count.has_value(); }
};

struct RequestOptions {
  std::vector<GroupOptions> groups =
      std::vector<GroupOptions>(1);  // one or more
  Khz tv_edge = 0;
  std::vector<Range> excludes;       // as given
  std::vector<Range> scan_excludes;  // what the venue's scans took
  int threads = 0;                   // search threads; 0: every hardware thread

  // The first group: the only one of a request without groups.
  GroupOptions& first() { return groups.front(); }
  const GroupOptions& first() const { return groups.front(); }
  bool Grouped() const { return groups.size() > 1; }
};

// Why options are refused before any channel is built; front ends word
// these in their own language, naming the group (and band) in `where`.
enum class OptionsError {
  kNone,
  kTooManyGroups,      // more than kMaxDeviceGroups
  kSameName,           // two groups of one name
  kTvChannelEmpty,     // a TV channel holds no multiple of its step
  kCountsOnSomeBands,  // a band with a count (=N) and one without
  kMaxWithCounts,      // as many as fit, and band counts
  kNoCount,            // one group: neither a count nor as many as fit
  kCountAndMax,        // a count and as many as fit
  kTooManyFixed,       // more than kMaxCarriers fixed carriers
  kCountBelowFixed,    // a count below the group's fixed carriers
  kCountDiffers,       // a count that is not the band counts plus fixed
  kTooManyCarriers,    // the counts and fixed carriers above kMaxCarriers
  kTwoOpen,            // two groups take as many as fit
};

struct OptionsCheck {
  OptionsError error = OptionsError::kNone;
  std::size_t group = 0;
  std::size_t band = 0;  // kTvChannelEmpty
  int channel = 0;       // kTvChannelEmpty
  int carriers = 0;      // kCountDiffers, kTooManyCarriers: the sum
};

// Checks options as a front end built them and settles their counts: a
// group with band counts gets their sum plus its fixed carriers; of a
// request with several groups, a group with no count takes as many as fit.
OptionsCheck SettleOptions(RequestOptions& options);

// The candidate bands of a group (the B band when none is given), one
// entry per band option and per TV channel, with the option's index.
struct ResolvedBand {
  Band band;
  std::size_t option = 0;
};
std::vector<ResolvedBand> ResolveBands(const GroupOptions& group, Khz tv_edge);

enum class BuildError {
  kNone,
  kTooManyCandidates,  // more than kMaxCandidates channels
  kCountedBandsShare,  // two bands with counts share a channel
};

struct BuiltRequest {
  PlanRequest request;         // a request of one group
  GroupRequest group_request;  // a request of several (Grouped())
  BuildError error = BuildError::kNone;
  // kCountedBandsShare: the group, its two options (in option order) and
  // the channel.
  std::size_t group = 0;
  std::size_t first_sharer = 0;
  std::size_t second_sharer = 0;
  Khz shared_channel = 0;
};

// A request as its answers read it: settled options (scans applied) and
// what is built of them once, each group's rules and bands and every
// exclusion, so that no answer builds them again. It reads the options it
// was made from, which must outlive it.
class SettledRequest {
 public:
  explicit SettledRequest(const RequestOptions& options);
  SettledRequest(RequestOptions&&) = delete;  // would outlive its options

  const RequestOptions& options() const { return options_; }
  // The rules of every group, in order.
  const std::vector<GroupRules>& rules() const { return rules_; }
  // Whether any group checks `family`.
  bool Checks(Family family) const { return FamilyChecked(rules_, family); }
  // A group's candidate bands, as ResolveBands gives them.
  const std::vector<ResolvedBand>& bands(std::size_t group) const {
    return bands_[group];
  }
  // Every excluded range: typed, then scanned.
  const std::vector<Range>& excludes() const { return excludes_; }

  // The channels of a group, exclusions removed (at most kMaxCandidates).
  Candidates Channels(std::size_t group) const;
  // The channels of one band option of a group, exclusions removed.
  std::vector<Khz> OptionChannels(std::size_t group, std::size_t option) const;

  // The candidates (the bands' channels less the exclusions), the counted
  // bands, the fixed carriers, the rules and the count; for several
  // groups, one pool per counted band (or per group) instead. Whether the
  // request is one the search takes is CheckRequest's
  // (CheckGroupRequest's) to say.
  BuiltRequest Build() const;

  // Where a carrier of a group came from: "fixed", "B ch 3", "TV ch 21",
  // "band 806:807" (the option's text), or "?". Named per carrier rather
  // than per candidate, of which there may be a million.
  std::string BandNameOf(const Carrier& carrier) const;
  // The labels of a plan's carriers (ascending by frequency): each group's
  // label and its carriers numbered upwards from 1; none for a group
  // without a label.
  std::vector<std::string> LabelsOf(std::span<const Carrier> plan) const;
  // The labels of spares, numbered per group: "HH spare 1", ... ("spare 1"
  // for a group without a label).
  std::vector<std::string> SpareLabelsOf(std::span<const Carrier> spares) const;

 private:
  const RequestOptions& options_;
  std::vector<GroupRules> rules_;
  std::vector<std::vector<ResolvedBand>> bands_;
  std::vector<Range> excludes_;
};

// SettledRequest(options).Build(), for a front end that only searches.
BuiltRequest BuildPlanRequest(const RequestOptions& options);

}  // namespace zelmar::plan
