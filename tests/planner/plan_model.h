// A plain model of the planner's rules, for small bands: it lists every
// channel one by one and tries every combination of channels, checking each
// plan literally (every pair, both products, every other carrier). Shared
// by the unit tests and the fuzz target; deliberately slow and simple.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <vector>

#include "zelmar/planner.h"

namespace zelmar::model {

using plan::Khz;

inline std::vector<Khz> Channels(const std::vector<plan::Band>& bands,
                                 const std::vector<plan::Range>& excludes) {
  std::set<Khz> channels;
  for (const plan::Band& band : bands) {
    for (Khz f = band.low; f <= band.high; f += band.step) channels.insert(f);
  }
  for (const plan::Range& r : excludes) {
    channels.erase(channels.lower_bound(r.low), channels.upper_bound(r.high));
  }
  return {channels.begin(), channels.end()};
}

struct Judgement {
  bool valid = true;
  std::optional<Khz> margin;
};

inline Judgement Judge(std::vector<Khz> plan, const plan::Rules& rules) {
  std::sort(plan.begin(), plan.end());
  Judgement j;
  for (std::size_t a = 0; a < plan.size(); ++a) {
    for (std::size_t b = a + 1; b < plan.size(); ++b) {
      if (plan[b] - plan[a] <= rules.spacing) j.valid = false;
      for (std::size_t c = 0; c < plan.size(); ++c) {
        if (c == a || c == b) continue;
        for (Khz product : {2 * plan[b] - plan[a], 2 * plan[a] - plan[b]}) {
          const Khz d = std::abs(product - plan[c]);
          if (d <= rules.guard) j.valid = false;
          if (!j.margin || d < *j.margin) j.margin = d;
        }
      }
    }
  }
  return j;
}

// The best valid plan of `count` carriers (fixed ones included), if any:
// every combination of channels is judged. A combination whose neighbours
// are not more than the spacing apart cannot be valid and is skipped.
inline std::optional<std::vector<Khz>> BestOf(const std::vector<Khz>& channels,
                                              const std::vector<Khz>& fixed,
                                              const plan::Rules& rules,
                                              std::size_t count) {
  std::optional<std::vector<Khz>> best;
  std::optional<Khz> best_margin;
  std::vector<Khz> chosen;
  auto visit = [&](auto& self, std::size_t from) -> void {
    if (chosen.size() + fixed.size() == count) {
      std::vector<Khz> plan = chosen;
      plan.insert(plan.end(), fixed.begin(), fixed.end());
      std::sort(plan.begin(), plan.end());
      const Judgement j = Judge(plan, rules);
      if (j.valid && (!best || j.margin > best_margin ||
                      (j.margin == best_margin && plan < *best))) {
        best = plan;
        best_margin = j.margin;
      }
      return;
    }
    for (std::size_t i = from; i < channels.size(); ++i) {
      if (!chosen.empty() && channels[i] - chosen.back() <= rules.spacing) {
        continue;
      }
      chosen.push_back(channels[i]);
      self(self, i + 1);
      chosen.pop_back();
    }
  };
  if (count >= fixed.size()) visit(visit, 0);
  return best;
}

struct Answer {
  bool fixed_broken = false;
  std::vector<Khz> plan;  // empty when there is none
  std::optional<Khz> margin;
  int largest = 0;  // when there is no plan
};

// count 0: as many carriers as fit. A carrier taken away never makes a
// valid plan invalid, so sizes are tried upwards until one has no plan.
inline Answer Solve(const std::vector<Khz>& channels,
                    const std::vector<Khz>& fixed, const plan::Rules& rules,
                    int count) {
  Answer answer;
  answer.fixed_broken = !Judge(fixed, rules).valid;
  if (answer.fixed_broken) return answer;
  std::optional<std::vector<Khz>> best;
  if (count > 0) best = BestOf(channels, fixed, rules, count);
  const std::size_t most =
      std::min<std::size_t>(plan::kMaxCarriers, fixed.size() + channels.size());
  for (std::size_t n = std::max<std::size_t>(1, fixed.size());
       !best && n <= most; ++n) {
    std::optional<std::vector<Khz>> plan = BestOf(channels, fixed, rules, n);
    if (!plan) break;
    answer.largest = static_cast<int>(n);
    if (count == 0 && (n == most || !BestOf(channels, fixed, rules, n + 1))) {
      best = plan;
    }
  }
  if (best) {
    answer.plan = *best;
    answer.margin = Judge(answer.plan, rules).margin;
  }
  return answer;
}

}  // namespace zelmar::model
