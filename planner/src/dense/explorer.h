// The dense search's request in raster positions, and one worker's
// depth-first search over it.
//
// A node is the fixed carriers plus new carriers chosen in ascending order.
// It keeps, as bitmaps over positions, what forbids the next carrier y:
//  - `forbid`: every position where y would break a rule with the carriers
//    so far (only positions above the last chosen carrier are kept up to
//    date: nothing below is ever asked again);
//  - `rev`: the carriers reflected (top - q), dilated by the 2tx3 radius,
//    so that adding x forbids {2x - q} with one shifted OR;
//  - `sums`, `diffs` (3tx3 checked): sums q1 + q2 and differences q1 - q2
//    of distinct carriers, dilated by the 3tx3 radius. Adding x forbids
//    {s - x} and {x + d}: the four carriers x, y, q1, q2 are distinct by
//    construction, so the test is exact whatever the windows.
// Products with a coefficient on y (2y near x + q, 2tx5's 3y and 2y) and
// the 2tx3 products 2q - x are set as runs, carrier by carrier.
// Every radius is in raster steps: a product at that distance or closer is
// a violation. Buffers are sized once per worker; a node allocates nothing.
#pragma once

#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <span>
#include <vector>

#include "budget.h"
#include "cache_lines.h"
#include "dense/bitmap.h"
#include "dense/search.h"
#include "golomb.h"
#include "zelmar/planner.h"

namespace zelmar::plan::dense {

inline constexpr int kUnchecked = -1;

// A position bitmap of the widest raster taken is at most 64 words, and
// every product and radius (a few times the widest raster) is an int.
static_assert(WordsFor(kMaxDenseSteps + 1) <= 64);
static_assert(10 * kMaxDenseSteps < INT_MAX / 4);

// A request in raster positions 0..top.
struct Problem {
  Khz origin = 0;
  Khz raster = 1;
  int top = 0;
  int words = 0;                // of a position bitmap
  std::vector<Word> candidate;  // candidate positions
  std::vector<int> position;    // of each candidate, ascending
  std::vector<int> fixed;       // positions, ascending
  int spacing = 0;              // carriers at most this far apart collide
  int r2 = 0;                   // radii per family, or kUnchecked
  int r3 = kUnchecked;
  int r5 = kUnchecked;
  // Counted groups: the group of each position (-1: none), the new carriers
  // each needs, and the candidates of each group at or above a position.
  std::vector<int> group_of;
  std::vector<int> group_need;
  std::vector<std::vector<int>> group_after;
  // No fixed carriers and every position a candidate: a plan shifted along
  // the raster stays a plan, so a step's plans of one carrier more than the
  // suffix after it holds also hold the highest position.
  bool shift_invariant = false;
  // suffix[p]: the most new carriers any valid plan draws from the
  // positions p and above (the Russian-doll table); size top + 2.
  std::vector<int> suffix;

  Khz ValueAt(int p) const { return origin + raster * p; }
  bool counted() const { return !group_need.empty(); }
};

// The request in positions, with the radii the margins `at_least` ask
// (raised to the rules' own). Requires DenseApplies.
Problem MakeProblem(const PlanRequest& request, std::span<const Khz> fixed,
                    const std::array<Khz, kFamilyCount>& at_least);

// What the workers of one step share.
struct StepShare {
  std::atomic<int> next{0};          // the next task to take
  std::atomic<int> found{INT_MAX};   // the lowest task with a plan
  std::atomic<bool> stopped{false};  // the budget or a node limit ran out
  void NoteFound(int task) {
    int seen = found.load(std::memory_order_relaxed);
    while (task < seen && !found.compare_exchange_weak(seen, task)) {
    }
  }
};

// Aligned to a cache line of its own: each worker writes its counters on
// every node, and two workers' objects side by side on the heap would
// otherwise share a line and halve both.
class alignas(64) Explorer {
 public:
  enum class Outcome { kNone, kFound, kCut };

  // Buffers for plans of up to `most_new` new carriers.
  Explorer(const Problem& problem, int most_new, Budget& budget);

  // Whether the fixed carriers keep every rule among themselves.
  bool fixed_valid() const { return fixed_valid_; }
  // Whether a carrier at p keeps every rule with the fixed ones.
  bool RootAllows(int p) const;

  // Starts a step: plans of `target` new carriers, the first at `first`;
  // counted groups honoured when `counted`. An `anchor` (-1: none) is a
  // carrier above all the others that every plan of the step holds, not
  // counted in `target`. False when the first carrier breaks a rule with
  // the fixed ones or the anchor, or a group's count.
  bool Begin(int first, int target, bool counted, int anchor = -1);
  // The next carriers worth a subtree below level `depth` (1: after the
  // first carrier), ascending.
  void Choices(int depth, std::vector<int>& out) const;
  // Adds a carrier at y below level `depth` (as the depth + 1-th new one).
  void Push(int depth, int y);
  // Searches the subtree whose carriers after the first are `prefix`; task
  // numbers order the subtrees, and one above the lowest found is cut.
  Outcome Explore(std::span<const int> prefix, int task, StepShare& share);
  // The nodes searched so far.
  std::uint64_t nodes() const { return nodes_; }
  // Stops the search (as the budget would) after `more` nodes; 0: never.
  void LimitNodes(std::uint64_t more) {
    limit_ = more == 0 ? UINT64_MAX : nodes_ + more;
  }
  // The new carriers of the plan found, ascending.
  std::span<const int> plan() const {
    return {path_.data(), static_cast<std::size_t>(target_)};
  }

 private:
  struct Level {
    Word* forbid = nullptr;
    Word* rev = nullptr;
    Word* sums = nullptr;
    Word* diffs = nullptr;
    int last = -1;  // the last chosen carrier
    std::array<std::uint8_t, kMaxGroups> taken{};
  };

  // `to` = `from` with a carrier at y, given the carriers `others` of
  // `from`; only bits from position `low` on are kept.
  void Add(const Level& from, Level& to, int y, std::span<const int> others,
           int low) const;
  void Copy(const Level& from, Level& to) const;
  static bool Forbidden(const Level& level, int p);
  void ForbidRun(Level& to, int k, int v, int r, int low) const;
  void AddCoupled(Level& to, int y, std::span<const int> others, int low) const;
  void AddThirdOrder(Level& to, int y, std::span<const int> others,
                     int low) const;
  bool GroupFits(const Level& level, int y) const;
  Word Allowed(const Level& level, int w, int low) const;
  Outcome Extend(int depth);

  const Problem& p_;
  Meter meter_;
  int most_new_ = 0;
  int rev_bits_ = 0, sum_bits_ = 0;
  int rev_words_ = 0, sum_words_ = 0;
  LineVector<Word> pool_;
  LineVector<Level> levels_;  // levels_[0]: the root of the step
  Level root_;                // the fixed carriers alone
  // The fixed ones (and the anchor), then the chosen ones.
  LineVector<int> carriers_;
  std::size_t fixed_count_ = 0;  // with the anchor
  int above_ = 0;                // 1 with an anchor
  LineVector<int> path_;         // the chosen ones
  bool fixed_valid_ = true;
  int target_ = 0;
  bool counted_ = false;
  int prefix_ = 0;  // the carriers after the first whose levels are built
  int task_ = 0;
  std::uint64_t nodes_ = 0;
  std::uint64_t limit_ = UINT64_MAX;
  StepShare* share_ = nullptr;
};

}  // namespace zelmar::plan::dense
