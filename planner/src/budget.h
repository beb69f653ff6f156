// The one allowance of work a plan search has, and its way to stop: handed
// down to every phase (the exact search, the walks, the small searches
// behind the bounds) and shared by every thread.
//
// Work is charged as it is done, in units of roughly equal cost (a node of
// the exact search, a candidate scanned by a walk, a level rebuilt), not by
// moves or rounds, so that the stop check is asked every few hundred
// microseconds however large a move is. The stop check itself (a time limit,
// Ctrl-C) is asked by one thread at a time; every other thread sees the
// answer through one flag.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "score.h"
#include "zelmar/planner.h"

#ifndef ZELMAR_NO_THREADS
#include <mutex>
#endif

namespace zelmar::plan {

class Budget {
 public:
  // Units of work between two looks at the stop check: about 0.1 ms of the
  // exact search on this generation of machines.
  static constexpr std::uint64_t kLookInterval = 4096;

  explicit Budget(const StopCheck& stop) : stop_(stop) {}
  Budget(const Budget&) = delete;
  Budget& operator=(const Budget&) = delete;

  bool stopped() const { return stopped_.load(std::memory_order_relaxed); }
  std::uint64_t work() const { return work_.load(std::memory_order_relaxed); }
  std::uint64_t nodes() const { return nodes_.load(std::memory_order_relaxed); }

  // Adds `work` units done, `nodes` of them nodes of an exact search; asks
  // the stop check when one is due. True once the search must stop (and
  // from then on).
  bool Spend(std::uint64_t work, std::uint64_t nodes = 0) {
    nodes_.fetch_add(nodes, std::memory_order_relaxed);
    const std::uint64_t before =
        work_.fetch_add(work, std::memory_order_relaxed);
    if ((before + work) / kLookInterval != before / kLookInterval) Look();
    return stopped();
  }

  // What the stop check is shown. Thread-safe.
  void NoteCarriers(int carriers) {
    Locked([&] { progress_.carriers = carriers; });
  }
  // Offers a valid plan (ascending) with its score (and, with device
  // groups, its carriers' groups); the budget keeps the
  // best offered, as a report of a stopped search shows it: more carriers,
  // then larger margins, then the lexicographically smaller list. (A walk
  // or a climb may offer a plan below the best the search holds.)
  void NoteBest(std::span<const Khz> plan, const Score& score,
                std::span<const int> groups = {}) {
    Locked([&] {
      const std::vector<Khz>& best = progress_.best_plan;
      const bool better =
          !progress_.have_plan || plan.size() != best.size()
              ? !progress_.have_plan || plan.size() > best.size()
          : score != best_score_
              ? score > best_score_
              : std::lexicographical_compare(plan.begin(), plan.end(),
                                             best.begin(), best.end());
      if (!better) return;
      progress_.have_plan = true;
      progress_.best_plan.assign(plan.begin(), plan.end());
      progress_.best_groups.assign(groups.begin(), groups.end());
      progress_.best_margin = score.m[0] == kNoMargin
                                  ? std::nullopt
                                  : std::optional<Khz>(score.m[0]);
      best_score_ = score;
    });
  }
  // No plan of the size searched has a 2tx3 margin above `bound`.
  void NoteBound(Khz bound) {
    Locked([&] {
      if (!progress_.bound || bound < *progress_.bound) {
        progress_.bound = bound;
      }
    });
  }
  std::optional<Khz> bound() {
    std::optional<Khz> bound;
    Locked([&] { bound = progress_.bound; });
    return bound;
  }

 private:
  void Look() {
    if (!stop_ || stopped()) return;
#ifndef ZELMAR_NO_THREADS
    std::unique_lock lock(look_mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // another thread is asking already
#endif
    // Copied into a buffer of the stop check's own, which keeps its
    // capacity: a look allocates nothing once the plans stop growing.
    Locked([&] { shown_ = progress_; });
    shown_.nodes = nodes();
    if (stop_(shown_)) stopped_.store(true, std::memory_order_relaxed);
  }

  template <class F>
  void Locked(F&& f) {
#ifndef ZELMAR_NO_THREADS
    std::lock_guard lock(progress_mutex_);
#endif
    f();
  }

  const StopCheck& stop_;
  std::atomic<std::uint64_t> work_{0};
  std::atomic<std::uint64_t> nodes_{0};
  std::atomic<bool> stopped_{false};
  SearchProgress progress_;
  Score best_score_;      // of progress_.best_plan
  SearchProgress shown_;  // what the stop check was shown last
#ifndef ZELMAR_NO_THREADS
  std::mutex look_mutex_;
  std::mutex progress_mutex_;
#endif
};

// One thread's (or one phase's) purse: counts work locally and settles with
// the budget every few hundred units, so that threads do not contend for one
// counter on every node.
class Meter {
 public:
  static constexpr std::uint64_t kSettleInterval = 256;
  static_assert(kSettleInterval <= Budget::kLookInterval);

  explicit Meter(Budget& budget) : budget_(budget) {}
  Meter(const Meter&) = delete;
  Meter& operator=(const Meter&) = delete;
  ~Meter() { Settle(); }

  // Charges `work` units; true once the search must stop.
  bool Charge(std::uint64_t work = 1) {
    pending_work_ += work;
    if (pending_work_ < kSettleInterval) return false;
    return Settle();
  }
  // Charges one node of an exact search.
  bool Node() {
    ++pending_nodes_;
    return Charge(1);
  }
  bool Settle() {
    const bool stop = budget_.Spend(pending_work_, pending_nodes_);
    pending_work_ = 0;
    pending_nodes_ = 0;
    return stop;
  }
  Budget& budget() { return budget_; }

 private:
  Budget& budget_;
  std::uint64_t pending_work_ = 0;
  std::uint64_t pending_nodes_ = 0;
};

// A budget for one phase of a search: its work counts towards the search's
// budget, whose stop it obeys, and it stops by itself after `cap` units, so
// that a phase without budgets of its own can be tried for a while.
class CappedBudget {
 public:
  CappedBudget(Budget& parent, std::uint64_t cap)
      : parent_(parent),
        cap_(cap),
        check_([this](const SearchProgress&) { return Look(); }),
        budget_(check_) {}
  CappedBudget(const CappedBudget&) = delete;
  CappedBudget& operator=(const CappedBudget&) = delete;
  ~CappedBudget() { Look(); }

  Budget& budget() { return budget_; }

 private:
  // Hands the work done since the last look to the search's budget.
  bool Look() {
    const std::uint64_t work = budget_.work();
    const std::uint64_t nodes = budget_.nodes();
    parent_.Spend(work - work_handed_, nodes - nodes_handed_);
    work_handed_ = work;
    nodes_handed_ = nodes;
    return parent_.stopped() || work >= cap_;
  }

  Budget& parent_;
  std::uint64_t cap_;
  std::uint64_t work_handed_ = 0;
  std::uint64_t nodes_handed_ = 0;
  StopCheck check_;
  Budget budget_;
};

}  // namespace zelmar::plan
