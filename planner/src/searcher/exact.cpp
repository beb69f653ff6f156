// The exact search: a depth-first branch and bound over the candidate
// channels. A node is a set of carriers: the fixed ones plus candidates
// chosen in ascending order, so the search meets complete plans in
// lexicographic order. A candidate whose 2tx3 distance falls below the
// threshold is skipped with one jump to the first value past its window
// (node_state.h keeps the values sorted for that). A node's margins only
// fall as carriers join, so a node whose margins (in family order) are
// below the best plan's is cut; so is a node whose carriers still to come
// cannot fit above it (bounds.cpp).
#include <algorithm>

#include "raster.h"
#include "searcher/searcher.h"

namespace zelmar::plan {

Searcher::Searcher(const PlanRequest& request, std::span<const Khz> fixed,
                   int most_carriers, Budget& budget, bool probe)
    : request_(request),
      cand_(request.candidates),
      fixed_(fixed),
      rules_(request.rules),
      budget_(budget),
      meter_(budget),
      probe_(probe),
      capacity_(most_carriers),
      stack_(request.rules, most_carriers) {
  groups_ = request.groups;
  need_ = request.group_counts;
  counted_ = !need_.empty();
  if (counted_) {
    group_index_.resize(need_.size());
    for (std::size_t i = 0; i < groups_.size(); ++i) {
      group_index_[groups_[i]].push_back(static_cast<std::uint32_t>(i));
    }
  }
  const Raster raster = RasterOf(cand_, fixed);
  low_ = raster.origin;
  raster_ = raster.step;
  top_ = low_ + raster.steps * raster_;
  stack_.SetRoot(fixed);
  root_score_ = stack_[0].score;
  sorted_.resize(static_cast<std::size_t>(most_carriers) + 1);
}

void Searcher::NoteBest(const Result& r) {
  if (probe_) return;
  budget_.NoteBest(std::span<const Khz>(r.plan.data(), r.size), r.score);
}

void Searcher::NoteBound(Khz out_of_reach) {
  if (out_of_reach == kNoMargin || probe_) return;
  budget_.NoteBound(std::max<Khz>(0, out_of_reach - raster_));
}

void Searcher::ApplyFloor(Khz base_threshold) {
  threshold_ = base_threshold;
  if (floor_ && mode_ == Mode::kBest) {
    const Khz m = floor_->m[0];
    if (m != kNoMargin) {
      threshold_ =
          std::max(threshold_, (has_secondary() || accept_equal_) ? m : m + 1);
    }
  }
}

void Searcher::Prepare(const RunOptions& options) {
  target_ = options.target;
  ceiling_ = options.ceiling;
  mode_ = options.mode;
  floor_ = options.floor;
  accept_equal_ = options.accept_equal;
  ApplyFloor(std::max(options.threshold, rules_.guard + 1));
  budget_end_ = options.node_budget == 0 ? 0 : nodes_ + options.node_budget;
  cut_ = false;
  done_ = false;
  result_ = Result{};
  only_depth_ = 0;
  if (options.lowest) {
    only_depth_ = 1;
    only_[0] = {*options.lowest, *options.lowest + 1};
  }
}

Searcher::Result Searcher::Run(const RunOptions& options) {
  Prepare(options);
  if (target_ > capacity_) {
    // The buffers hold no more carriers: never asked by FindBestPlan,
    // and answered as a search cut short, not as a proof.
    cut_ = true;
    return result_;
  }
  if (!probe_) budget_.NoteCarriers(target_);
  constexpr std::size_t kWorthSharing = 64;  // candidates
  if (stack_[0].n == target_) {
    if (!options.lowest && Acceptable(stack_[0].score)) Record(stack_[0]);
  } else if (threads_ > 1 && target_ - stack_[0].n >= 2 &&
             cand_.size() >= kWorthSharing) {
    return RunShared(options);
  } else {
    Descend(0, 0);
  }
  meter_.Settle();
  if (budget_.stopped()) stopped_ = cut_ = true;
  return result_;
}

Khz Searcher::FirstAllowed(const Level& level, Khz x) const {
  Khz need = NodeStack::FirstAllowed2(level, x, threshold_);
  if (stack_.triples() && level.n >= 3) {
    // The 3tx3 distance every plan below this node needs: past the
    // window, and where its 2tx3 margin can only tie the floor's, the
    // floor's 3tx3 margin too (past it unless a tie there may still win
    // on the 2tx5 margin).
    Khz t = *rules_.window_3tx3 + 1;
    if (floor_ && level.score.m[0] <= floor_->m[0] &&
        floor_->m[1] != kNoMargin) {
      t = std::max(t,
                   floor_->m[1] + (accept_equal_ || stack_.check5() ? 0 : 1));
    }
    const Khz* begin = level.triples;
    const Khz* end = begin + level.n * (level.n - 1) * (level.n - 2) / 2;
    const Khz* it = std::lower_bound(begin, end, x - t + 1);
    if (it != end && *it <= x + t - 1) need = std::max(need, *it + t);
  }
  const Khz spacing = rules_.spacing;
  auto f = std::lower_bound(fixed_.begin(), fixed_.end(), x - spacing);
  if (f != fixed_.end() && *f <= x + spacing) {
    need = std::max(need, *f + spacing + 1);
  }
  if (SpansApply() && need == x) need = SpanFloor(level, x);
  return std::max(need, x);
}

bool Searcher::Tick() {
  ++nodes_;
  if (budget_end_ != 0 && nodes_ >= budget_end_ && !ClaimNodes()) {
    cut_ = true;
    return true;
  }
  // A task of a shared run past the last one still needed ends at once.
  if (nodes_ % 1024 == 0 && Abandoned()) {
    done_ = true;
    return true;
  }
  if (meter_.Node()) {
    stopped_ = true;
    cut_ = true;
    return true;
  }
  return false;
}

// Whether a node (or plan) of this score may still lead to a plan that is
// kept: valid, and not below the floor.
bool Searcher::Acceptable(const Score& s) const {
  if (!Valid(s)) return false;
  if (s.m[0] != kNoMargin && s.m[0] < threshold_) return false;
  if (!floor_) return true;
  return s > *floor_ || (accept_equal_ && s == *floor_);
}

void Searcher::Record(const Level& level) {
  result_.found = true;
  result_.size = level.n;
  std::copy(level.carriers, level.carriers + level.n, result_.plan.begin());
  std::sort(result_.plan.begin(), result_.plan.begin() + level.n);
  result_.score = level.score;
  NoteBest(result_);
  // Without products every plan ties: the first is best.
  if (mode_ == Mode::kFirst || level.score == Score{}) {
    done_ = true;
    return;
  }
  floor_ = level.score;
  accept_equal_ = false;
  const Khz m = level.score.m[0];
  if (has_secondary()) {
    threshold_ = std::max(threshold_, m);
  } else if (RoundUp(m + 1) >= ceiling_) {
    done_ = true;
  } else {
    threshold_ = m + 1;
  }
}

// Whether every counted group can still get its carriers from the
// candidates after index i.
bool Searcher::GroupsFeasible(const Level& level, std::size_t i) const {
  for (std::size_t g = 0; g < need_.size(); ++g) {
    const int missing = need_[g] - level.taken[g];
    if (missing <= 0) continue;
    const auto& idx = group_index_[g];
    const auto after =
        idx.end() -
        std::upper_bound(idx.begin(), idx.end(), static_cast<std::uint32_t>(i));
    if (after < missing) return false;
  }
  return true;
}

// Extends level `depth` by candidates from index `from` on.
void Searcher::Descend(int depth, std::size_t from) {
  const Level& level = stack_[static_cast<std::size_t>(depth)];
  const int remaining = target_ - level.n;  // >= 1
  const std::size_t n = cand_.size();
  std::size_t i = from;
  std::size_t end = n;
  if (depth < only_depth_) {
    const IndexRange only = only_[static_cast<std::size_t>(depth)];
    i = std::max(i, only.low);
    end = only.high;
  }
  if (level.last_chosen != 0) {
    const Khz low = level.last_chosen + rules_.spacing + 1;
    i = std::lower_bound(cand_.begin() + i, cand_.end(), low) - cand_.begin();
  }
  if (RoomDue(remaining) &&
      !NoteRoom(remaining, RoomFor(level, i, remaining))) {
    return;
  }
  Khz width = threshold_ / 8;  // of the ranges SkipRoomless tries
  while (i < end) {
    if (done_ || cut_ || !Acceptable(level.score)) return;
    if (n - i < static_cast<std::size_t>(remaining)) return;
    // The table falls as i rises: no later candidate fares better.
    if (SuffixMost(i) < remaining) return;
    const Khz x = cand_[i];
    const Khz need = FirstAllowed(level, x);
    if (need > x) {
      i = std::lower_bound(cand_.begin() + i + 1, cand_.end(), need) -
          cand_.begin();
      continue;
    }
    // Up to the next fixed carrier, a candidate that fails this bound
    // leaves every later one failing it too.
    const auto next_fixed = std::upper_bound(fixed_.begin(), fixed_.end(), x);
    const Khz above = remaining - 1 + (fixed_.end() - next_fixed);
    if (top_ - x < NeededAbove(above)) {
      if (next_fixed == fixed_.end()) return;
      i = std::upper_bound(cand_.begin() + i, cand_.end(), *next_fixed) -
          cand_.begin();
      continue;
    }
    if (counted_ && level.taken[groups_[i]] >= need_[groups_[i]]) {
      ++i;
      continue;
    }
    if (remaining > 1 && RoomDue(remaining - 1) &&
        SkipRoomless(level, i, remaining - 1, width)) {
      continue;
    }
    if (Tick()) return;
    const Score score = stack_.ScoreWith(level, x);
    if (!Acceptable(score)) {
      ++i;
      continue;
    }
    Level& child = stack_[static_cast<std::size_t>(depth) + 1];
    child.score = score;
    stack_.Add(level, child, x);
    child.last_chosen = x;
    if (counted_) {
      ++child.taken[groups_[i]];
      if (!GroupsFeasible(child, i)) {
        ++i;
        continue;
      }
    }
    if (remaining == 1) {
      Record(child);
    } else {
      Descend(depth + 1, i + 1);
    }
    ++i;
  }
}

std::size_t Searcher::Build(const Khz* carriers, int count) {
  std::size_t at = 0;
  for (int k = 0; k < count; ++k) {
    Level& next = stack_[at + 1];
    next.score = stack_.ScoreWith(stack_[at], carriers[k]);
    stack_.Add(stack_[at], next, carriers[k]);
    ++at;
  }
  return at;
}

bool Better(const Searcher::Result& a, const Searcher::Result& b) {
  if (!a.found) return false;
  if (!b.found) return true;
  if (a.score != b.score) return a.score > b.score;
  return std::lexicographical_compare(a.plan.begin(), a.plan.begin() + a.size,
                                      b.plan.begin(), b.plan.begin() + b.size);
}

}  // namespace zelmar::plan
