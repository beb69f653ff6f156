// The dense search's Russian-doll driver: the suffix table is built from the
// last candidate back to the first, each step asking only whether a plan one
// carrier larger than the table's last entry starts at this candidate. Every
// large step's subtrees (one per second carrier, or per second and third)
// are shared out among the workers; the lowest subtree with a plan wins, so the
// answer is the one thread's whatever the timing.
#include "dense/search.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "dense/explorer.h"
#include "worker_team.h"

namespace zelmar::plan {
namespace dense {
namespace {

// The most marks a Golomb ruler of `span` units holds (kMaxCarriers where
// the table ends).
int GolombMarks(int span) {
  return GolombMarksWithin(span).value_or(kMaxCarriers);
}

// The forward search's nodes per candidate: this share of its allowance.
constexpr std::uint64_t kProbeShare = 625;

class Doll {
 public:
  enum class Step { kFound, kNone, kStopped, kOutOfNodes };

  Doll(const Problem& problem, int most_new, Budget& budget, int threads)
      : p_(problem), budget_(budget), team_(std::max(threads, 1)) {
    const auto workers = static_cast<std::size_t>(team_.size());
    for (std::size_t w = 0; w < workers; ++w) {
      explorers_.push_back(
          std::make_unique<Explorer>(problem, most_new, budget));
    }
    found_task_.assign(workers, INT_MAX);
    found_plan_.assign(
        workers, std::vector<int>(static_cast<std::size_t>(most_new) + 1));
    plan_.reserve(static_cast<std::size_t>(most_new) + 1);
    choices_.reserve(static_cast<std::size_t>(problem.top) + 1);
  }

  bool fixed_valid() const { return explorers_[0]->fixed_valid(); }
  // Steps from now on end after `more` nodes of each worker (0: never).
  void LimitNodes(std::uint64_t more) {
    for (auto& e : explorers_) e->LimitNodes(more);
  }
  // The plan of the last step that found one (also one cut short).
  bool found() const { return found_; }
  const std::vector<int>& plan() const { return plan_; }

  // Whether a valid plan of `target` new carriers has its lowest at
  // `first`, all others from the positions above; the lexicographically
  // first such plan in plan(). A Russian-doll step (`target` one more than
  // the suffix table holds above `first`) of a shift-invariant request
  // knows its plans hold the highest position too.
  Step Try(int first, int target, bool counted, bool doll_step) {
    found_ = false;
    if (p_.r3 != kUnchecked && GolombSpan(target) > p_.top - first) {
      return Step::kNone;  // no ruler of that many marks fits
    }
    const int anchor =
        doll_step && p_.shift_invariant && target >= 2 && first < p_.top
            ? p_.top
            : -1;
    const int chosen = anchor < 0 ? target : target - 1;
    Explorer& lead = *explorers_[0];
    if (!lead.RootAllows(first) ||
        !lead.Begin(first, chosen, counted, anchor)) {
      return Step::kNone;
    }
    if (chosen == 1) {
      plan_.assign(1, first);
      if (anchor >= 0) plan_.push_back(anchor);
      found_ = true;
      return Step::kFound;
    }
    // Steps grow from the back of the candidates: one too small to pay for
    // waking the workers is most likely followed by another.
    const bool shared = team_.size() > 1 && last_step_nodes_ >= kWorthSharing;
    ListTasks(lead, chosen, shared);
    if (TaskCount() == 0) return Step::kNone;
    StepShare share;
    std::fill(found_task_.begin(), found_task_.end(), INT_MAX);
    const int tasks = static_cast<int>(TaskCount());
    const std::function<void(int)> job = [&](int w) {
      Explorer& e = *explorers_[static_cast<std::size_t>(w)];
      if (w != 0) e.Begin(first, chosen, counted, anchor);
      for (;;) {
        const int t = share.next.fetch_add(1);
        if (t >= tasks || t > share.found.load() || share.stopped.load()) {
          return;
        }
        const std::span<const int> prefix = Task(static_cast<std::size_t>(t));
        const Explorer::Outcome o = e.Explore(prefix, t, share);
        if (o == Explorer::Outcome::kFound) {
          const auto w_at = static_cast<std::size_t>(w);
          found_task_[w_at] = t;
          std::copy(e.plan().begin(), e.plan().end(), found_plan_[w_at].data());
          share.NoteFound(t);
        }
        if (o != Explorer::Outcome::kNone) return;
      }
    };
    const std::uint64_t before = Nodes();
    if (shared && tasks > 1) {
      team_.Run(job);
    } else {
      job(0);
    }
    last_step_nodes_ = Nodes() - before;
    const auto best = static_cast<std::size_t>(
        std::min_element(found_task_.begin(), found_task_.end()) -
        found_task_.begin());
    if (found_task_[best] != INT_MAX) {
      found_ = true;
      plan_.assign(found_plan_[best].begin(),
                   found_plan_[best].begin() + chosen);
      if (anchor >= 0) plan_.push_back(anchor);
    }
    if (share.stopped.load()) {
      return budget_.stopped() ? Step::kStopped : Step::kOutOfNodes;
    }
    return found_ ? Step::kFound : Step::kNone;
  }

 private:
  // Subtrees: the carriers after the first, as many of them as it takes
  // for enough subtrees that the workers share out even the steps whose
  // first subtrees dwarf the rest. The lowest subtrees, with the most room
  // above them, are the largest: they are split further, each into its
  // children in place, so that the order of the subtrees stays the order
  // of their plans. Listing a subtree costs about a node, on one worker
  // while the others wait: a step lists at most an eighth of the nodes
  // the last one took.
  static constexpr std::size_t kEnoughTasks = 256;
  static constexpr std::size_t kMostTasks = 2048;
  static constexpr std::size_t kLongestPrefix = 4;
  static constexpr int kSplitPasses = 2;
  static constexpr std::size_t kSplitShare = 8;  // the lowest 1/8 are split
  // Nodes of a step (about a tenth of a millisecond) worth sharing out
  // among workers: a wake-up costs a few microseconds.
  static constexpr std::uint64_t kWorthSharing = 3'000;

  std::uint64_t Nodes() const {
    std::uint64_t nodes = 0;
    for (const auto& e : explorers_) nodes += e->nodes();
    return nodes;
  }

  std::size_t TaskCount() const { return starts_.size() - 1; }
  std::span<const int> Task(std::size_t t) const {
    return {tasks_.data() + starts_[t], starts_[t + 1] - starts_[t]};
  }

  // Appends the children of `prefix` (the carriers after the first) to
  // longer_, one row each.
  void AddChildren(Explorer& lead, std::span<const int> prefix) {
    for (std::size_t k = 0; k < prefix.size(); ++k) {
      lead.Push(static_cast<int>(k) + 1, prefix[k]);
    }
    lead.Choices(static_cast<int>(prefix.size()) + 1, choices_);
    for (int next : choices_) {
      longer_.insert(longer_.end(), prefix.begin(), prefix.end());
      longer_.push_back(next);
      longer_starts_.push_back(longer_.size());
    }
  }

  // Replaces the first `split` subtrees shorter than `longest` carriers
  // (and short of a whole plan of `target`) by their children, while the
  // list holds fewer than `most`.
  void Split(Explorer& lead, int target, std::size_t split, std::size_t longest,
             std::size_t most) {
    longer_.clear();
    longer_starts_.assign(1, 0);
    for (std::size_t t = 0; t < TaskCount(); ++t) {
      const std::span<const int> prefix = Task(t);
      if (t < split && prefix.size() < longest &&
          prefix.size() + 1 < static_cast<std::size_t>(target) &&
          longer_starts_.size() + (TaskCount() - t) <= most) {
        AddChildren(lead, prefix);
      } else {
        longer_.insert(longer_.end(), prefix.begin(), prefix.end());
        longer_starts_.push_back(longer_.size());
      }
    }
    std::swap(tasks_, longer_);
    std::swap(starts_, longer_starts_);
  }

  // Lists the subtrees of a step of `target` new carriers: the whole step
  // as one where it is not `shared`.
  void ListTasks(Explorer& lead, int target, bool shared) {
    tasks_.clear();
    starts_.assign(2, 0);  // one empty prefix: the whole step
    if (!shared) return;
    const auto most = static_cast<std::size_t>(std::clamp<std::uint64_t>(
        last_step_nodes_ / 8, kEnoughTasks, kMostTasks));
    std::size_t length = 0;
    while (TaskCount() > 0 && TaskCount() < kEnoughTasks &&
           length + 1 < static_cast<std::size_t>(target) &&
           length < kLongestPrefix) {
      Split(lead, target, TaskCount(), ++length, most);
    }
    for (int pass = 1; pass <= kSplitPasses; ++pass) {
      Split(lead, target, TaskCount() / kSplitShare,
            length + static_cast<std::size_t>(pass), most);
    }
  }

  const Problem& p_;
  Budget& budget_;
  Team team_;
  std::vector<std::unique_ptr<Explorer>> explorers_;
  // The subtrees' prefixes, row t from starts_[t] to starts_[t + 1].
  std::vector<int> tasks_, longer_, choices_;
  std::vector<std::size_t> starts_, longer_starts_;
  std::vector<int> found_task_;
  std::vector<std::vector<int>> found_plan_;
  std::vector<int> plan_;
  bool found_ = false;
  std::uint64_t last_step_nodes_ = 0;
};

// Sets the suffix table for the positions from just above the previous
// candidate up to candidate i.
void SetSuffix(Problem& p, std::size_t i, int value) {
  const int below = i == 0 ? 0 : p.position[i - 1] + 1;
  for (int q = below; q <= p.position[i]; ++q) {
    p.suffix[static_cast<std::size_t>(q)] = value;
  }
}

std::vector<Khz> Values(const Problem& p, std::span<const Khz> fixed,
                        std::span<const int> chosen) {
  std::vector<Khz> plan(fixed.begin(), fixed.end());
  for (int q : chosen) plan.push_back(p.ValueAt(q));
  std::sort(plan.begin(), plan.end());
  return plan;
}

DenseLargest LargestIn(Problem& p, std::span<const Khz> fixed, int limit,
                       Budget& budget, int threads, DenseTable* keep = nullptr);

std::array<int, kFamilyCount> RadiiOf(const Problem& p) {
  return {p.r2, p.r3, p.r5};
}

// What each counted group alone can hold at the margins asked: a plan's
// carriers of one group, with the fixed ones, are a plan of that group
// alone, so a group that cannot hold its count alone ends the question at
// once. Its own search is cut after kAloneWork units (about a millisecond
// or two): a group that takes longer is taken as able.
enum class Alone { kAble, kUnable, kStopped };
constexpr std::uint64_t kAloneWork = 50'000;

Alone GroupsAlone(const PlanRequest& request, std::span<const Khz> fixed,
                  const DenseQuery& query, Budget& budget, int threads) {
  const int fixed_count = static_cast<int>(fixed.size());
  for (std::size_t g = 0; g < request.group_counts.size(); ++g) {
    PlanRequest alone;
    alone.rules = request.rules;
    for (std::size_t i = 0; i < request.candidates.size(); ++i) {
      if (request.groups[i] == g) {
        alone.candidates.push_back(request.candidates[i]);
      }
    }
    if (request.group_counts[g] == 0) continue;
    if (alone.candidates.empty()) return Alone::kUnable;
    const int want = fixed_count + request.group_counts[g];
    DenseLargest most;
    {
      CappedBudget capped(budget, kAloneWork);
      Problem p = MakeProblem(alone, fixed, query.at_least);
      most = LargestIn(p, fixed, want, capped.budget(), threads);
    }
    if (budget.stopped()) return Alone::kStopped;
    if (most.proven && most.size < want) return Alone::kUnable;
  }
  return Alone::kAble;
}

// The most carriers of a plan in `p`, up to `limit` (fixed ones included),
// by the suffix table from the last candidate back.
DenseLargest LargestIn(Problem& p, std::span<const Khz> fixed, int limit,
                       Budget& budget, int threads, DenseTable* keep) {
  DenseLargest out;
  const int fixed_count = static_cast<int>(fixed.size());
  int most_new = std::min(
      {limit, kMaxCarriers, fixed_count + static_cast<int>(p.position.size())});
  if (p.r3 != kUnchecked) most_new = std::min(most_new, GolombMarks(p.top));
  most_new -= fixed_count;
  if (most_new < 0) {
    out.proven = true;  // every plan holds the fixed carriers: none fits
    return out;
  }
  int best = 0;
  std::vector<int> best_plan;
  std::size_t from = p.position.size();
  // A table of the same radii left by a search that was stopped is exact
  // where it was built: the search goes on where it ended.
  if (keep != nullptr && keep->radii == RadiiOf(p) &&
      keep->suffix.size() == p.suffix.size() && keep->from < from &&
      keep->suffix[static_cast<std::size_t>(p.position[keep->from])] <=
          most_new) {
    p.suffix = keep->suffix;
    from = keep->from;
    best = p.suffix[static_cast<std::size_t>(p.position[from])];
    best_plan = keep->plan;
  }
  Doll doll(p, most_new, budget, threads);
  if (!doll.fixed_valid()) {
    out.proven = true;
    return out;
  }
  bool stopped = false;
  while (from > 0 && best < most_new) {
    const std::size_t i = from - 1;
    const Doll::Step step = doll.Try(p.position[i], best + 1, false, true);
    if (doll.found()) {
      ++best;
      best_plan = doll.plan();
    }
    if (step == Doll::Step::kStopped) {
      stopped = true;
      break;
    }
    SetSuffix(p, i, best);
    from = i;
  }
  out.size = fixed_count + best;
  out.proven = !stopped;
  out.plan = Values(p, fixed, best_plan);
  if (keep != nullptr) {
    keep->radii = RadiiOf(p);
    keep->suffix = p.suffix;
    keep->from = from;
    keep->plan = best_plan;
  }
  return out;
}

}  // namespace
}  // namespace dense

DenseLargest DenseFindLargest(const PlanRequest& request,
                              std::span<const Khz> fixed, int limit,
                              Budget& budget, int threads, DenseTable* keep) {
  dense::Problem p = dense::MakeProblem(request, fixed, {});
  return dense::LargestIn(p, fixed, limit, budget, threads, keep);
}

DenseAnswer DenseFindFirst(const PlanRequest& request,
                           std::span<const Khz> fixed, const DenseQuery& query,
                           Budget& budget, int threads) {
  using namespace dense;
  DenseAnswer none;
  const int need = query.target - static_cast<int>(fixed.size());
  Problem p = MakeProblem(request, fixed, query.at_least);
  const bool counted = p.counted();
  int group_sum = 0;
  for (int n : p.group_need) group_sum += n;
  if (need < 0 || query.target > kMaxCarriers ||
      need > static_cast<int>(p.position.size()) ||
      (counted && need != group_sum) ||
      (p.r3 != kUnchecked && query.target > GolombMarks(p.top))) {
    return none;
  }
  DenseAnswer stopped;
  stopped.status = DenseAnswer::Status::kStopped;
  if (counted && need > 0) {
    const Alone alone = GroupsAlone(request, fixed, query, budget, threads);
    if (alone == Alone::kStopped) return stopped;
    if (alone == Alone::kUnable) return none;
  }
  // A table of the same radii is exact where it was built: the search
  // below starts where it ends.
  std::size_t built_from = p.position.size();
  if (query.known != nullptr && !query.known->suffix.empty() &&
      query.known->radii == RadiiOf(p)) {
    p.suffix = query.known->suffix;
    built_from = query.known->from;
  }
  Doll doll(p, std::max(need, 1), budget, threads);
  if (!doll.fixed_valid()) return none;
  DenseAnswer found;
  found.status = DenseAnswer::Status::kFound;
  if (need == 0) {
    found.plan = Values(p, fixed, {});
    return found;
  }
  // A forward search first (see DenseQuery::probe_nodes).
  doll.LimitNodes(query.probe_nodes +
                  query.probe_nodes / kProbeShare * p.position.size());
  bool probed = query.probe_nodes > 0;
  for (std::size_t i = 0; i < p.position.size() && probed; ++i) {
    const Doll::Step step = doll.Try(p.position[i], need, counted, false);
    if (step == Doll::Step::kStopped) return stopped;
    if (step == Doll::Step::kFound) {
      found.plan = Values(p, fixed, doll.plan());
      return found;
    }
    probed = step == Doll::Step::kNone;
  }
  if (probed) return none;
  doll.LimitNodes(0);
  // The suffix table, up to `need`: past the candidate where it reaches
  // `need`, no plan starts.
  int best = 0;
  std::size_t last_start = p.position.size();
  std::vector<int> plan_there;
  for (std::size_t i = p.position.size(); i-- > built_from;) {
    const int most = p.suffix[static_cast<std::size_t>(p.position[i])];
    if (most >= need) {
      last_start = i;
      // Where the table first reaches the size asked, the plan that
      // raised it there is the first plan of that size from there.
      if (query.known->plan.size() == static_cast<std::size_t>(need)) {
        plan_there = query.known->plan;
      }
      break;
    }
    best = most;
  }
  for (std::size_t i = built_from;
       i-- > 0 && last_start == p.position.size();) {
    const Doll::Step step = doll.Try(p.position[i], best + 1, false, true);
    if (step == Doll::Step::kStopped) return stopped;
    if (step == Doll::Step::kFound) ++best;
    SetSuffix(p, i, best);
    if (best == need) {
      last_start = i;
      plan_there = doll.plan();
      break;
    }
  }
  if (last_start == p.position.size()) return none;
  // Every suffix from a lower candidate holds `need` carriers too.
  for (int q = 0; q < p.position[last_start]; ++q) {
    p.suffix[static_cast<std::size_t>(q)] = need;
  }
  // The lowest first carrier of a plan: the first plan in ascending order.
  for (std::size_t i = 0; i <= last_start; ++i) {
    if (i == last_start && !counted && !plan_there.empty()) {
      found.plan = Values(p, fixed, plan_there);
      return found;
    }
    const Doll::Step step = doll.Try(p.position[i], need, counted, false);
    if (step == Doll::Step::kStopped) return stopped;
    if (step == Doll::Step::kFound) {
      found.plan = Values(p, fixed, doll.plan());
      return found;
    }
  }
  return none;
}

}  // namespace zelmar::plan
