// The branch and bound of several groups: each pool's channels in
// ascending order, every node bounded by its own score, which only falls as
// carriers are added.
#include "groups/search.h"

namespace zelmar::plan {

bool GroupSearch::Exact(bool first, int open_count, std::uint64_t node_budget,
                        Placed& best) {
  first_ = first;
  open_count_ = open_count;
  nodes_ = 0;
  node_end_ = node_budget;
  cut_ = false;
  best_ = &best;
  stack_ = request_.fixed;
  scores_.clear();
  const auto root = tables_.ScoreOf(stack_);
  if (!root) return true;
  scores_.push_back(*root);
  stack_.reserve(kMaxCarriers);
  Descend(0, 0, 0);
  return !cut_;
}

// Places the next carrier of pool order_[k] (`taken` of it placed, the
// next from channel `from` on). Returns true to end the run.
bool GroupSearch::Descend(std::size_t k, int taken, std::size_t from) {
  while (k < order_.size() && taken == Need(order_[k], open_count_)) {
    ++k;
    taken = 0;
    from = 0;
  }
  const Score score = scores_.back();  // scores_ grows below
  if (k == order_.size()) {
    if (first_ || !best_->found ||
        BetterGroupPlan(stack_, score, best_->plan, best_->score)) {
      best_->plan = stack_;
      best_->score = score;
      best_->found = true;
      best_->pool.clear();
      best_->pool.assign(request_.fixed.size(), -1);
      for (std::size_t i = 0; i < order_.size(); ++i) {
        for (int t = 0; t < Need(order_[i], open_count_); ++t) {
          best_->pool.push_back(order_[i]);
        }
      }
      Offer(*best_);
    }
    return first_;
  }
  const int pool = order_[k];
  const Pool& p = request_.pools[pool];
  const std::size_t need = static_cast<std::size_t>(Need(pool, open_count_));
  for (std::size_t i = from; i + (need - taken) <= p.channels.size(); ++i) {
    if (++nodes_ > node_end_ && node_end_ != 0) {
      cut_ = true;
      return true;
    }
    if (meter_.Charge(tables_.Cost(static_cast<int>(stack_.size())))) {
      cut_ = true;
      return true;
    }
    // A node's score only falls below it: one below the best is cut, one
    // equal to it may still lead to lower frequencies.
    const bool floored = !first_ && best_->found;
    const auto s = tables_.ScoreWith(stack_, score, {p.channels[i], p.group},
                                     floored ? &best_->score : nullptr);
    if (!s) continue;
    stack_.push_back({p.channels[i], p.group});
    scores_.push_back(*s);
    const bool end = Descend(k, taken + 1, i + 1);
    stack_.pop_back();
    scores_.pop_back();
    if (end) return true;
  }
  return false;
}

}  // namespace zelmar::plan
