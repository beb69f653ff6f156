// The searcher of one plan request: an exact branch and bound over the
// candidate channels (exact.cpp), the tables of bounds that cut it
// (bounds.cpp), the improvement walks that hand it good plans early
// (walk.cpp) and a greedy start for requests whose first plan lies far in
// (greedy.cpp). ../best_plan.cpp runs them in rounds.
//
// Every budget inside counts nodes and moves, never time, so a search that
// runs to its end gives the same answer on every run; the stop (a time
// limit, Ctrl-C) comes through the one Budget of the request, charged by
// the work done.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "budget.h"
#include "searcher/node_state.h"
#include "worker_team.h"
#include "zelmar/planner.h"

namespace zelmar::plan {

// A small deterministic generator for the improvement phase.
struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : Next() % n; }
};

// Lower bounds on the span (highest minus lowest carrier) of any valid plan
// of k carriers whose 2tx3 margin is at least `threshold`, wherever on the
// raster they lie: the tables of bounds of ruler searches. The bound for k
// is probed with plans of k carriers between two fixed ones S raster steps
// apart, S growing from the bound for k - 1: each S without such a plan
// raises the bound, the first S with one is the span itself.
struct SpanTable {
  Khz threshold = 0;  // 0: no table yet
  std::array<Khz, kMaxCarriers + 1> span{};
  int next_count = 3;  // the count being probed
  Khz next_steps = 0;  // the span being probed, in raster steps
  bool done = false;
};

// The most new carriers any valid plan of a 2tx3 margin of at least
// `threshold` draws from candidate i on, whatever it holds below: the
// Russian-doll table of no-progression searches, built from the last
// candidate back, each entry by one search for a plan one carrier larger
// than the entry above it whose lowest new carrier is candidate i. Entries
// from `from` on are known; the others bound nothing.
struct SuffixTable {
  Khz threshold = 0;  // 0: no table yet
  std::size_t from = 0;
  std::vector<int> most;  // one per candidate, and 0 past the last
};

class Searcher {
 public:
  enum class Mode { kFirst, kBest };

  struct Result {
    bool found = false;
    std::array<Khz, kMaxCarriers> plan{};  // sorted
    int size = 0;
    Score score;
  };

  // What one run of the exact search looks for.
  struct RunOptions {
    int target = 0;     // carriers, fixed ones included
    Khz threshold = 0;  // the least 2tx3 margin (at least the guard's)
    // kFirst stops at the first plan; kBest finds the best plan better than
    // `floor` (or equal to it when `accept_equal`).
    Mode mode = Mode::kFirst;
    std::uint64_t node_budget = 0;  // 0: none; else ends the run early
    Khz ceiling = kNoMargin;        // no plan has this 2tx3 margin or more
    std::optional<Score> floor;
    bool accept_equal = false;
    // Where set, plans whose lowest new carrier is this candidate.
    std::optional<std::size_t> lowest;
  };

  // `fixed` sorted. Buffers hold plans of up to `most_carriers`. Probes for
  // span bounds (`probe`) share the budget but report no plans of their own.
  Searcher(const PlanRequest& request, std::span<const Khz> fixed,
           int most_carriers, Budget& budget, bool probe = false);

  bool has_secondary() const { return stack_.check3() || stack_.check5(); }

  // The threads a run may share its subtrees among (1 by default).
  void SetThreads(int threads) { threads_ = std::max(threads, 1); }

  // Valid plans as `options` asks. A run cut by its node budget or the stop
  // returns what it found so far, cut().
  Result Run(const RunOptions& options);

  // Improves `plan` (a valid plan of `target` carriers) for `moves` moves.
  // Returns the best plan met; `plan` is kept as the walk's current plan
  // (on plans of many carriers, the best plan: see Repair).
  Result Improve(Result& plan, std::uint64_t moves);

  // A valid plan of `target` carriers built greedily, for requests whose
  // first plan in ascending order lies far in: each carrier in turn goes to
  // the best place left for it, the counted band with the fewest candidates
  // per missing carrier first. Later attempts start from a random carrier.
  // Not found when every attempt ran into a dead end.
  Result Construct(int target, int attempts);

  // The largest valid plan (up to `most` carriers) a local search finds
  // from `from` (a valid plan, or none): first fit, then one or two
  // carriers out and the plan filled again, until `stall` moves in a row
  // add none (grow.cpp). Not found for
  // requests with counted bands. `note`: each larger plan is the search's
  // best so far (for the largest plan, not for a count).
  Result Grow(const Result& from, int most, std::uint64_t stall, bool note);

  // A valid plan of `target` carriers found by a walk that moves one
  // carrier at a time to break the fewest rules, from `from` (any plan, or
  // none) filled up to that size; each valid plan met then grows by one
  // carrier, up to `most`. A size gives way after `stall` moves in a row
  // that break no fewer rules than its best. Returns the largest valid
  // plan met. With counted bands, each band is walked with its count, and
  // `target` is their sum (with the fixed carriers). `note`: as Grow.
  Result WalkConflicts(const Result& from, int target, int most,
                       std::uint64_t stall, bool note);

  bool stopped() const { return stopped_; }
  Khz raster() const { return raster_; }
  bool cut() const { return cut_; }  // the last run ended early
  std::uint64_t nodes() const { return nodes_; }
  void NoteBest(const Result& r);
  void NoteBound(Khz out_of_reach);
  // The bound from the span alone: `target` carriers with gaps of more
  // than the spacing, each two neighbouring gaps differing by the margin.
  void NoteSpanBound(int target);

  // Extends the suffix table for a 2tx3 margin of at least `threshold`
  // back from the last candidate, spending at most `budget` nodes; returns
  // a plan of `target` carriers and that margin where it met one. A table
  // for a smaller margin is dropped: the search asks ever larger ones.
  Result RefineSuffix(Khz threshold, int target, std::uint64_t budget);
  // Whether the whole table shows that no plan of `target` carriers has a
  // 2tx3 margin of `threshold` or more.
  bool SuffixRefutes(Khz threshold, int target) const;
  const SuffixTable& suffix() const { return suffix_; }
  // Whether some counted group alone holds fewer new carriers than its
  // count at a 2tx3 margin of `threshold` or more, by its own suffix
  // table, extended on at most `budget` nodes a group: a plan's carriers of
  // one group, with the fixed ones, are a plan of that group alone, so then
  // no plan of the request has that margin.
  bool GroupAloneRefutes(Khz threshold, std::uint64_t budget);

  // Whether bounds on spans may pay: a raster of few steps, where plans
  // fill much of the band.
  bool SpansWorthwhile() const;

  // Refines the span bounds for a 2tx3 margin of at least `threshold` (at
  // least the guard's) up to `target` carriers, spending at most `budget`
  // nodes (counted as this search's own). A table for a smaller margin is
  // where a new one starts: its bounds hold for every larger margin too.
  void RefineSpans(Khz threshold, int target, std::uint64_t budget);

  static std::optional<Khz> MarginOf(Khz margin) {
    if (margin == kNoMargin) return std::nullopt;
    return margin;
  }

  // Whether the plan's margins keep every checked family's window.
  bool Valid(const Score& s) const {
    if (s.m[0] != kNoMargin && s.m[0] <= rules_.guard) return false;
    if (stack_.check3() && s.m[1] != kNoMargin &&
        s.m[1] <= *rules_.window_3tx3) {
      return false;
    }
    if (stack_.check5() && s.m[2] != kNoMargin &&
        s.m[2] <= *rules_.window_2tx5) {
      return false;
    }
    return true;
  }

 private:
  using Carriers = std::array<Khz, kMaxCarriers>;
  using Groups = std::array<int, kMaxCarriers>;
  struct ChaseStyle;
  struct AimStyle;

  // grow.cpp: takes the plan of the free carriers `free` (beside the fixed
  // ones) into `best` where the levels judge it valid, as the search's best
  // where `note`; false where they do not.
  bool TakeValid(std::span<const Khz> free, bool note, Result& best);

  // exact.cpp
  Khz FirstAllowed(const Level& level, Khz x) const;
  Khz RoundUp(Khz value) const {
    if (value == kNoMargin) return value;
    return (value + raster_ - 1) / raster_ * raster_;
  }
  bool Tick();
  bool Acceptable(const Score& s) const;
  void Record(const Level& level);
  bool GroupsFeasible(const Level& level, std::size_t i) const;
  void Descend(int depth, std::size_t from);
  // The prologue of a run: the options' target, margins and budget.
  void Prepare(const RunOptions& options);
  // Raises the threshold to what a plan must have to beat (or tie) the
  // floor.
  void ApplyFloor(Khz base_threshold);
  // Builds levels 1 .. from the root with `carriers` (not fixed ones);
  // returns the level index reached.
  std::size_t Build(const Khz* carriers, int count);

  // bounds.cpp
  Khz NeededAbove(Khz above) const;
  Khz ReckonedSpan(Khz above, Khz threshold) const;
  bool SpansApply() const {
    return spans_.threshold != 0 && spans_.threshold <= threshold_;
  }
  Khz SpanFloor(const Level& level, Khz x) const;

  // room_bound.cpp. Whether `need` more new carriers may fit among the
  // candidates from index `from` on, below `level`; whether they may fit
  // above a next carrier anywhere in `range`; and, in Descend's loop,
  // skipping candidates from cand_[i] on whose children have no room for
  // `need` carriers (true when i moved or the search was cut), trying
  // ranges of `width` that grow while they are skipped whole.
  struct Range {
    Khz low, high;
  };
  // The last carriers of a chain, oldest first (lower bounds where they
  // come from a range or a merge); far below the band where there are none.
  struct ChainEnd {
    std::array<Khz, 4> at;
    void Push(Khz x) {
      std::copy(at.begin() + 1, at.end(), at.begin());
      at.back() = x;
    }
  };
  ChainEnd TailBelow(const Level& level, Khz v) const;
  bool RoomFor(const Level& level, std::size_t from, int need) const;
  // Whether a check of room for `need` carriers is due, and noting its
  // answer (returned): checks that keep finding room are made ever more
  // rarely, down to one in 64, since each costs about as much as a node.
  bool RoomDue(int need);
  bool NoteRoom(int need, bool room);
  bool RoomBeside(const Level& level, const Range& range, int need) const;
  bool SkipRoomless(const Level& level, std::size_t& i, int need, Khz& width);
  Khz RangeAllows(const Level& level, const Range& range, Khz y) const;
  std::size_t NextRoom(const Level& level, std::size_t j,
                       const Range* range) const;
  bool ChainFits(const Level& level, Khz start, ChainEnd end,
                 const Range* range, int need) const;
  Khz Lowest(Khz start, const ChainEnd& end) const;
  int Greedy(const Level& level, Khz start, ChainEnd end, const Range* range,
             Khz limit, int most, std::span<Khz> out) const;

  // suffix_table.cpp. The most new carriers from candidate i on that the
  // table allows (kMaxCarriers where it knows nothing).
  int SuffixMost(std::size_t i) const {
    if (suffix_view_ == nullptr || suffix_view_->threshold > threshold_ ||
        i < suffix_view_->from) {
      return kMaxCarriers;
    }
    return suffix_view_->most[i];
  }

  // shared_run.cpp: one run's subtrees handed out among the threads as
  // tasks, in the order one thread meets them.
  struct SharedRun;
  Result RunShared(const RunOptions& options);
  void WorkShared(SharedRun& shared, const RunOptions& options);
  // Whether plans of the run may have a lowest new carrier at `first` or
  // later: where not, no later first carrier has them either.
  bool FirstOpen(std::size_t first);
  // Takes more of a shared run's node budget; false once it is spent.
  bool ClaimNodes();
  bool Abandoned() const {
    return last_needed_ != nullptr &&
           last_needed_->load(std::memory_order_relaxed) < task_;
  }

  // walk.cpp
  template <class Style>
  Result Walk(Result& plan, std::uint64_t moves, Style& style);
  Random WalkRandom(std::uint64_t moves) const;
  int PickOut(const Result& plan, std::span<const Khz> free, bool stalled,
              Random& random) const;
  int PickShortOut(const Result& plan, std::span<const Khz> free, Khz aim,
                   Random& random) const;
  std::size_t BestInsert(const Level& level, std::span<const Khz> others,
                         std::span<const Khz> tabu, int group, Random& random,
                         Score& best_score);
  std::size_t FewestShortInsert(const Level& level, std::span<const Khz> others,
                                std::span<const Khz> tabu, int group, Khz aim,
                                Random& random, Score& score);
  bool Spaced(std::span<const Khz> others, Khz x) const;
  void LoadFree(const Result& r, Carriers& free, Groups& free_group) const;
  void Kick(Result& plan, Carriers& free, Groups& free_group, int free_count,
            Random& random);
  // Charges `work` units of a walk to the budget; true once stopped.
  bool Charge(std::uint64_t work);

  const PlanRequest& request_;
  std::span<const Khz> cand_;
  std::span<const Khz> fixed_;
  Rules rules_;
  Budget& budget_;
  Meter meter_;
  bool probe_ = false;
  bool counted_ = false;
  int capacity_ = 0;  // the most carriers the level buffers hold
  std::vector<std::uint8_t> groups_;
  std::vector<int> need_;
  std::vector<std::vector<std::uint32_t>> group_index_;
  Khz top_ = 0;
  Khz low_ = 0;
  Khz raster_ = 0;
  SpanTable spans_;
  SuffixTable suffix_;
  // Searches of requests of their own, made once and kept, with their
  // helpers: the suffix table's probe (the candidates without counted
  // groups), and each counted group's candidates alone.
  struct SideSearch {
    PlanRequest request;
    int need = 0;  // a counted group's new carriers
    std::unique_ptr<Searcher> searcher;
  };
  std::unique_ptr<SideSearch> MakeSide(PlanRequest request) const;
  std::unique_ptr<SideSearch> suffix_probe_;
  std::vector<std::unique_ptr<SideSearch>> alone_;
  // The table the search reads: its own, or its owner's for a probe.
  const SuffixTable* suffix_view_ = nullptr;
  struct RoomChecks {
    std::uint8_t gap = 0;   // checks passed over after one that found room
    std::uint8_t wait = 0;  // checks still to pass over
  };
  std::array<RoomChecks, kMaxCarriers + 1> room_{};
  // Where only_depth_ > 0, the first levels of Descend take candidates
  // only from these index ranges: the lowest carrier asked, or a task of
  // a shared run.
  struct IndexRange {
    std::size_t low = 0, high = 0;
  };
  std::array<IndexRange, 2> only_{};
  int only_depth_ = 0;
  // The threads of shared runs: helpers and their workers, made with the
  // first shared run; a helper's task, and where its run keeps the last
  // task still needed.
  int threads_ = 1;
  std::vector<std::unique_ptr<Searcher>> helpers_;
  std::unique_ptr<Team> team_;
  std::uint64_t task_ = 0;
  const std::atomic<std::uint64_t>* last_needed_ = nullptr;
  std::atomic<std::uint64_t>* nodes_left_ = nullptr;  // of a shared budget
  NodeStack stack_;
  std::vector<Khz> sorted_;
  Score root_score_;
  int target_ = 0;
  Khz threshold_ = 1;
  Khz ceiling_ = kNoMargin;
  std::optional<Score> floor_;
  bool accept_equal_ = false;
  Mode mode_ = Mode::kFirst;
  std::uint64_t nodes_ = 0;
  std::uint64_t budget_end_ = 0;
  bool stopped_ = false;
  bool cut_ = false;
  bool done_ = false;
  Result result_;
};

// Whether `a` is the better plan: found, larger margins in family order,
// then the lexicographically smaller list.
bool Better(const Searcher::Result& a, const Searcher::Result& b);

}  // namespace zelmar::plan
