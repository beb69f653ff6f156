// The exact search for narrow rasters ("dense search"): where every candidate
// and fixed carrier lies on one raster of at most kMaxDenseSteps steps, plans
// are searched with bitmaps over the raster positions and a Russian-doll
// table of suffix bounds.
//
//   DenseApplies(request, fixed)      whether the dense search takes it;
//   DenseFindFirst(request, fixed, query, budget, threads)
//       the lexicographically first valid plan (ascending, fixed carriers
//       included) of query.target carriers whose margins reach
//       query.at_least, or a proof that there is none;
//   DenseFindLargest(request, fixed, limit, budget, threads)
//       the most carriers (fixed included, at most `limit`) of any valid
//       plan, with one plan of that size.
//
// `fixed` is the request's fixed carriers, sorted. request.count is not
// read: the query says how many. Counted band groups are honoured by
// DenseFindFirst (exactly group_counts[g] new carriers of group g) and
// ignored by DenseFindLargest. Every phase charges its work to `budget`; a
// stopped search says so and proves nothing. `threads` (at least 1) workers
// share each search; where it runs to its end the answer is the one thread's
// answer. Under ZELMAR_NO_THREADS one thread does everything.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "budget.h"
#include "zelmar/planner.h"

namespace zelmar::plan {

// The widest raster the dense search takes, in raster steps (highest minus
// lowest carrier): a node's bitmaps are then at most 64 words.
inline constexpr int kMaxDenseSteps = 4095;
// The forward search's default allowance (see DenseQuery), about a third
// of a millisecond.
inline constexpr std::uint64_t kDenseProbeNodes = 10'000;

// Whether the dense search takes this request (one raster, few steps).
bool DenseApplies(const PlanRequest& request, std::span<const Khz> fixed);
// The raster of a request the dense search takes, in kHz.
Khz DenseRasterStep(const PlanRequest& request, std::span<const Khz> fixed);

// The suffix table a proven search for the largest plan built: a later
// question of the same request whose margins give the same radii starts
// from it rather than building it again.
struct DenseTable {
  std::array<int, kFamilyCount> radii{};
  std::vector<int> suffix;  // per raster position; empty: no table
  std::size_t from = 0;     // exact for the candidates from this index on
  // The plan that raised the table to its largest entry, in raster
  // positions: the first plan of that size from the candidate where the
  // table first reaches it.
  std::vector<int> plan;
};

struct DenseQuery {
  int target = 0;  // carriers, fixed ones included
  // Least margins a plan must reach, family order (2tx3, 3tx3, 2tx5); a
  // family not checked by request.rules ignores its entry. The 2tx3 entry is
  // raised to guard + 1 at least; 3tx3 and 2tx5 to their window + 1.
  std::array<Khz, kFamilyCount> at_least{};
  // Where plans are many, the first lies near the front: a forward search
  // from each first carrier in turn, on this many nodes plus as many per
  // candidate, finds it before any table is built (or, run to its end,
  // proves there is none). 0: straight to the table.
  std::uint64_t probe_nodes = kDenseProbeNodes;
  const DenseTable* known = nullptr;  // a table to start from, if it fits
};

struct DenseAnswer {
  enum class Status { kFound, kNone, kStopped } status = Status::kNone;
  // kFound: the lexicographically first valid plan (ascending, fixed
  // included) meeting the query.
  std::vector<Khz> plan;
};

DenseAnswer DenseFindFirst(const PlanRequest& request,
                           std::span<const Khz> fixed, const DenseQuery& query,
                           Budget& budget, int threads);

// The largest valid plan size up to `limit` (fixed included) and one plan of
// that size; proven is false when the search was stopped, and size and plan
// are then the best found so far. Fixed carriers that break a rule alone
// leave size 0.
struct DenseLargest {
  int size = 0;
  bool proven = false;
  std::vector<Khz> plan;
};

// Where `keep` is given, the search's table goes there, proven or not, and
// a search asked again with the table a stopped one left goes on from it.
DenseLargest DenseFindLargest(const PlanRequest& request,
                              std::span<const Khz> fixed, int limit,
                              Budget& budget, int threads,
                              DenseTable* keep = nullptr);

}  // namespace zelmar::plan
