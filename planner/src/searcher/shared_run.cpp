// One run of the exact search shared among threads. Its subtrees are tasks
// in the order one thread meets them: a first new carrier, and a slice of
// the candidates for the second. Each thread takes the next task and
// searches it with the best plan of the tasks done so far as its floor; a
// task that finds a plan ends every later one that can no longer matter.
// So a run that ends gives the one thread's answer: the first plan in
// ascending order, or the best plan and, among plans of its score, the
// lexicographically first.
#include <algorithm>
#include <limits>

#include "searcher/searcher.h"

namespace zelmar::plan {

namespace {

template <class T>
void AtomicMin(std::atomic<T>& a, T value) {
  T now = a.load();
  while (value < now && !a.compare_exchange_weak(now, value)) {
  }
}

}  // namespace

struct Searcher::SharedRun {
  // Second carriers are sliced finer where subtrees are largest, next to
  // the first carrier.
  static constexpr std::uint64_t kSlices = 32;
  static constexpr std::uint64_t kNone =
      std::numeric_limits<std::uint64_t>::max();

  std::size_t first_low = 0;  // the first new carriers of the tasks
  std::size_t candidates = 0;
  std::uint64_t tasks = 0;
  std::atomic<std::uint64_t> next{0};
  // The run's node budget, taken by the threads a part at a time.
  static constexpr std::uint64_t kClaim = 4096;
  std::atomic<std::uint64_t> nodes_left{0};
  // Tasks after this one can hold no plan the answer takes.
  std::atomic<std::uint64_t> last{kNone};
  // No plan's lowest new carrier is this candidate or a later one.
  std::atomic<std::size_t> firsts_end{std::numeric_limits<std::size_t>::max()};

  TeamMutex mutex;
  Result best;
  std::uint64_t best_task = kNone;
  std::uint64_t first_cut = kNone;  // the first task a thread left unfinished
  std::uint64_t nodes_done = 0;     // by every thread

  // The candidate ranges of task t at the first two levels: slices of the
  // second carriers the spacing leaves, finest next to the first carrier.
  std::array<IndexRange, 2> RangesOf(std::uint64_t t, std::span<const Khz> cand,
                                     Khz spacing) const {
    const std::size_t first = first_low + static_cast<std::size_t>(t / kSlices);
    const std::uint64_t slice = t % kSlices;
    const std::size_t start = static_cast<std::size_t>(
        std::lower_bound(cand.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                         cand.end(), cand[first] + spacing + 1) -
        cand.begin());
    const std::uint64_t room = cand.size() - start;
    // Slice s starts (s / kSlices)^3 of the way up: about a third of them
    // within the lowest 4 % of the second carriers.
    const auto edge = [&](std::uint64_t s) {
      return start + static_cast<std::size_t>(room * s * s * s /
                                              (kSlices * kSlices * kSlices));
    };
    return {IndexRange{first, first + 1},
            IndexRange{edge(slice), edge(slice + 1)}};
  }
};

Searcher::Result Searcher::RunShared(const RunOptions& options) {
  const std::size_t n = cand_.size();
  while (static_cast<int>(helpers_.size()) < threads_ - 1) {
    helpers_.push_back(std::make_unique<Searcher>(request_, fixed_, capacity_,
                                                  budget_, probe_));
  }
  if (!team_) team_ = std::make_unique<Team>(threads_);
  SharedRun shared;
  shared.first_low = options.lowest.value_or(0);
  shared.candidates = n;
  const std::size_t firsts = options.lowest ? 1 : n;
  shared.tasks = firsts * SharedRun::kSlices;
  shared.nodes_left = options.node_budget;
  for (const auto& helper : helpers_) {
    helper->spans_ = spans_;
    helper->suffix_view_ = suffix_view_;
  }
  const std::uint64_t nodes_before = nodes_;
  // One pointer captured, which std::function holds without allocating.
  const auto work = [&](int worker) {
    Searcher& searcher = worker == 0 ? *this : *helpers_[worker - 1];
    searcher.WorkShared(shared, options);
  };
  team_->Run([&work](int worker) { work(worker); });
  nodes_ = nodes_before + shared.nodes_done;
  result_ = shared.best;
  cut_ = shared.first_cut != SharedRun::kNone &&
         shared.first_cut <= shared.last.load();
  done_ = false;
  only_depth_ = 0;
  if (budget_.stopped()) stopped_ = cut_ = true;
  return result_;
}

void Searcher::WorkShared(SharedRun& shared, const RunOptions& options) {
  Prepare(options);
  const std::uint64_t nodes_start = nodes_;
  const Khz base_threshold = threshold_;
  last_needed_ = &shared.last;
  if (options.node_budget != 0) {
    nodes_left_ = &shared.nodes_left;
    budget_end_ = nodes_;
    if (!ClaimNodes()) cut_ = true;
  }
  std::uint64_t cut_task = SharedRun::kNone;
  std::size_t checked_first = cand_.size();
  while (!cut_) {
    const std::uint64_t t = shared.next.fetch_add(1);
    if (t >= shared.tasks || t > shared.last.load()) break;
    const std::array<IndexRange, 2> ranges =
        shared.RangesOf(t, cand_, rules_.spacing);
    const std::size_t first = ranges[0].low;
    if (first >= shared.firsts_end.load()) break;
    if (first != checked_first) {
      // Checked at the run's own threshold, so that the answer holds for
      // every task whatever floor it gets.
      checked_first = first;
      threshold_ = base_threshold;
      if (!FirstOpen(first)) {
        AtomicMin(shared.firsts_end, first);
        break;
      }
    }
    if (ranges[1].low == ranges[1].high) continue;
    task_ = t;
    if (mode_ == Mode::kBest) {
      // The floor is the best plan so far; a task before the one that
      // found it may still find one of its score that comes first.
      TeamLock lock(shared.mutex);
      if (shared.best.found) {
        floor_ = shared.best.score;
        accept_equal_ = t < shared.best_task;
      } else {
        floor_ = options.floor;
        accept_equal_ = options.accept_equal;
      }
    }
    ApplyFloor(base_threshold);
    only_ = ranges;
    only_depth_ = 2;
    done_ = false;
    result_ = Result{};
    Descend(0, 0);
    if (result_.found) {
      TeamLock lock(shared.mutex);
      const bool first = t < shared.best_task;
      if (mode_ == Mode::kFirst ? first : Better(result_, shared.best)) {
        shared.best = result_;
        shared.best_task = t;
      }
      // The first plan, or one no plan can beat: later tasks can only
      // tie it, and they come after it.
      if (done_) AtomicMin(shared.last, t);
    }
    if (cut_) {
      cut_task = t;
      break;
    }
  }
  meter_.Settle();
  last_needed_ = nullptr;
  nodes_left_ = nullptr;
  only_depth_ = 0;
  TeamLock lock(shared.mutex);
  shared.first_cut = std::min(shared.first_cut, cut_task);
  shared.nodes_done += nodes_ - nodes_start;
}

bool Searcher::FirstOpen(std::size_t first) {
  const int remaining = target_ - stack_[0].n;
  if (cand_.size() - first < static_cast<std::size_t>(remaining) ||
      SuffixMost(first) < remaining) {
    return false;
  }
  return has_secondary() || RoomFor(stack_[0], first, remaining);
}

bool Searcher::ClaimNodes() {
  if (nodes_left_ == nullptr) return false;
  std::uint64_t left = nodes_left_->load(std::memory_order_relaxed);
  std::uint64_t claim = 0;
  do {
    if (left == 0) return false;
    claim = std::min(left, SharedRun::kClaim);
  } while (!nodes_left_->compare_exchange_weak(left, left - claim,
                                               std::memory_order_relaxed));
  budget_end_ = nodes_ + claim;
  return true;
}

}  // namespace zelmar::plan
