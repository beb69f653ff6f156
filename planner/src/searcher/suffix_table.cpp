// The suffix table of wide rasters: how many new carriers still fit from
// each candidate on. Where fixed carriers and excluded channels leave the
// plans little room, a node whose carriers so far are too few for the
// candidates left is cut at once, without a search of what lies above it.
#include <memory>

#include "searcher/searcher.h"

namespace zelmar::plan {

Searcher::Result Searcher::RefineSuffix(Khz threshold, int target,
                                        std::uint64_t budget) {
  Result plan;
  if (threshold == kNoMargin || cand_.empty()) return plan;
  threshold = std::max(threshold, rules_.guard + 1);
  if (threshold < suffix_.threshold) return plan;
  const std::size_t n = cand_.size();
  if (threshold > suffix_.threshold) {
    suffix_.threshold = threshold;
    suffix_.from = n;
    suffix_.most.assign(n + 1, 0);
  }
  // A probe of the same candidates without counted groups: the table bounds
  // plans whatever their groups.
  if (!suffix_probe_) {
    PlanRequest probe;
    probe.candidates.assign(cand_.begin(), cand_.end());
    probe.rules = rules_;
    suffix_probe_ = MakeSide(std::move(probe));
  }
  Searcher& sub = *suffix_probe_->searcher;
  sub.suffix_view_ = &suffix_;
  suffix_view_ = &suffix_;
  // Entries past the new carriers of `target` cut nothing: they are only
  // known to be large enough.
  const int fixed_count = static_cast<int>(fixed_.size());
  const int enough = std::min(target, capacity_) - fixed_count;
  const std::uint64_t end = nodes_ + budget;
  // An entry's search is shared among the threads where the last one took
  // long enough to pay for waking them: entries far up take a few nodes.
  constexpr std::uint64_t kWorthSharing = 2000;  // nodes
  std::uint64_t last_nodes = 0;
  while (suffix_.from > 0 && nodes_ < end) {
    const std::size_t i = suffix_.from - 1;
    const int above = suffix_.most[i + 1];
    int here = above;
    if (above < enough) {
      RunOptions run;
      run.target = fixed_count + above + 1;
      run.threshold = threshold;
      run.lowest = i;
      run.node_budget = end - nodes_;
      const std::uint64_t before = sub.nodes();
      sub.SetThreads(last_nodes >= kWorthSharing ? threads_ : 1);
      const Result r = sub.Run(run);
      last_nodes = sub.nodes() - before;
      nodes_ += last_nodes;
      if (sub.stopped()) {
        stopped_ = true;
        return plan;
      }
      if (r.found) {
        here = above + 1;
        // A plan of the probe's may break the counted groups' counts.
        if (here == enough && !counted_) plan = r;
      } else if (sub.cut()) {
        return plan;  // out of budget: the next call goes on from here
      }
    }
    suffix_.most[i] = here;
    suffix_.from = i;
  }
  if (plan.found) NoteBest(plan);
  return plan;
}

std::unique_ptr<Searcher::SideSearch> Searcher::MakeSide(
    PlanRequest request) const {
  auto side = std::make_unique<SideSearch>();
  side->request = std::move(request);
  // The searcher keeps views of the request, which stays where it is.
  side->searcher = std::make_unique<Searcher>(side->request, fixed_, capacity_,
                                              budget_, true);
  side->searcher->SetThreads(threads_);
  return side;
}

bool Searcher::SuffixRefutes(Khz threshold, int target) const {
  return suffix_.threshold != 0 && suffix_.threshold <= threshold &&
         suffix_.from == 0 &&
         static_cast<int>(fixed_.size()) + suffix_.most[0] < target;
}

bool Searcher::GroupAloneRefutes(Khz threshold, std::uint64_t budget) {
  if (!counted_) return false;
  if (alone_.empty()) {
    for (std::size_t g = 0; g < need_.size(); ++g) {
      PlanRequest request;
      request.rules = rules_;
      for (std::uint32_t i : group_index_[g]) {
        request.candidates.push_back(cand_[i]);
      }
      alone_.push_back(MakeSide(std::move(request)));
      alone_.back()->need = need_[g];
    }
  }
  const int fixed_count = static_cast<int>(fixed_.size());
  for (const auto& alone : alone_) {
    if (alone->need == 0) continue;
    Searcher& searcher = *alone->searcher;
    const int want = fixed_count + alone->need;
    searcher.RefineSuffix(threshold, want, budget);
    if (searcher.stopped()) {
      stopped_ = true;
      return false;
    }
    if (searcher.SuffixRefutes(threshold, want)) return true;
  }
  return false;
}

}  // namespace zelmar::plan
