#include "searcher/node_state.h"

namespace zelmar::plan {

NodeStack::NodeStack(const Rules& rules, int most_carriers)
    : check3_(rules.window_3tx3.has_value()),
      check5_(rules.window_2tx5.has_value()) {
  // One buffer for every level: sized for the most carriers once.
  const std::size_t n = static_cast<std::size_t>(most_carriers);
  const std::size_t ordered = n * (n - 1 + (n == 0));
  triples_ = check3_ && most_carriers <= kTripleCarriers;
  const std::size_t triples = triples_ ? ordered * (n - 1) / 2 : 0;
  const std::size_t per_level = ordered + ordered / 2 +
                                (check5_ ? 3 * ordered : 0) + n + triples +
                                (triples_ ? ordered : 0);
  levels_.resize(n + 2);
  khz_pool_.resize(per_level * levels_.size());
  pair_pool_.resize(check3_ ? ordered / 2 * levels_.size() : 0);
  for (std::size_t l = 0; l < levels_.size(); ++l) {
    Khz* at = khz_pool_.data() + l * per_level;
    Level& level = levels_[l];
    level.products = at;
    at += ordered;
    level.sums = at;
    at += ordered / 2;
    for (Khz*& f : level.fifth) {
      f = at;
      if (check5_) at += ordered;
    }
    level.carriers = at;
    at += n;
    level.triples = at;
    at += triples;
    level.diffs = at;
    if (check3_) level.pairs = pair_pool_.data() + l * (ordered / 2);
  }
}

void NodeStack::SetRoot(std::span<const Khz> fixed) {
  // The fixed carriers, added back and forth between two levels.
  int at = 0;
  for (Khz f : fixed) {
    Level& from = levels_[static_cast<std::size_t>(at)];
    Level& to = levels_[static_cast<std::size_t>(1 - at)];
    to.score = ScoreWith(from, f);
    Add(from, to, f);
    at = 1 - at;
  }
  if (at == 1) std::swap(levels_[0], levels_[1]);
}

}  // namespace zelmar::plan
