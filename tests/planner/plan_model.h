// A plain model of the planner's rules, for small bands: it lists every
// channel one by one and tries every combination of channels, checking each
// plan literally (every pair, both products, every other carrier). Shared
// by the unit tests and the fuzz target; deliberately slow and simple.
#pragma once

#include <algorithm>
#include <cstdint>
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
  std::vector<Khz> kept;
  for (Khz f : channels) {
    bool excluded = false;
    for (const plan::Range& r : excludes) {
      excluded = excluded || (r.low <= f && f <= r.high);
    }
    if (!excluded) kept.push_back(f);
  }
  return kept;
}

struct Judgement {
  bool valid = true;
  std::optional<Khz> margin;
};

inline Judgement Judge(std::vector<Khz> plan, const plan::Rules& rules) {
  std::sort(plan.begin(), plan.end());
  Judgement j;
  const std::size_t n = plan.size();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = i + 1; k < n; ++k) {
      if (plan[k] - plan[i] <= rules.spacing) j.valid = false;
      for (std::size_t c = 0; c < n; ++c) {
        if (c == i || c == k) continue;
        for (Khz product : {2 * plan[k] - plan[i], 2 * plan[i] - plan[k]}) {
          const Khz d =
              product > plan[c] ? product - plan[c] : plan[c] - product;
          if (d <= rules.guard) j.valid = false;
          if (!j.margin || d < *j.margin) j.margin = d;
        }
      }
    }
  }
  return j;
}

struct Answer {
  bool fixed_broken = false;
  std::vector<Khz> plan;  // empty when there is none
  std::optional<Khz> margin;
  int largest = 0;  // when there is no plan
};

// Calls `visit` with every combination of `size` channels (ascending) in
// which neighbours are more than `spacing` apart (no other can be valid).
template <typename Visit>
void Combinations(const std::vector<Khz>& channels, std::size_t size,
                  Khz spacing, std::size_t from, std::vector<Khz>& chosen,
                  Visit&& visit) {
  if (chosen.size() == size) {
    visit(chosen);
    return;
  }
  for (std::size_t i = from; i < channels.size(); ++i) {
    if (!chosen.empty() && channels[i] - chosen.back() <= spacing) continue;
    chosen.push_back(channels[i]);
    Combinations(channels, size, spacing, i + 1, chosen, visit);
    chosen.pop_back();
  }
}

// The best valid plan of `count` carriers (fixed ones included), if any.
inline std::optional<std::vector<Khz>> BestOf(const std::vector<Khz>& channels,
                                              const std::vector<Khz>& fixed,
                                              const plan::Rules& rules,
                                              std::size_t count) {
  std::optional<std::vector<Khz>> best;
  std::optional<Khz> best_margin;
  if (count < fixed.size()) return best;
  std::vector<Khz> chosen;
  Combinations(channels, count - fixed.size(), rules.spacing, 0, chosen,
               [&](const std::vector<Khz>& pick) {
                 std::vector<Khz> plan = pick;
                 plan.insert(plan.end(), fixed.begin(), fixed.end());
                 std::sort(plan.begin(), plan.end());
                 const Judgement j = Judge(plan, rules);
                 if (!j.valid) return;
                 if (!best || j.margin > best_margin ||
                     (j.margin == best_margin && plan < *best)) {
                   best = plan;
                   best_margin = j.margin;
                 }
               });
  return best;
}

// count 0: as many carriers as fit. A carrier taken away never makes a
// valid plan invalid, so sizes are tried upwards until one has no plan.
inline Answer Solve(const std::vector<Khz>& channels,
                    const std::vector<Khz>& fixed, const plan::Rules& rules,
                    int count) {
  Answer answer;
  if (!Judge(fixed, rules).valid) {
    answer.fixed_broken = true;
    return answer;
  }
  std::optional<std::vector<Khz>> best;
  if (count > 0) best = BestOf(channels, fixed, rules, count);
  if (!best) {
    const std::size_t most = std::min<std::size_t>(
        plan::kMaxCarriers, fixed.size() + channels.size());
    int largest = 0;
    for (std::size_t n = std::max<std::size_t>(1, fixed.size()); n <= most;
         ++n) {
      std::optional<std::vector<Khz>> plan = BestOf(channels, fixed, rules, n);
      if (!plan) break;
      largest = static_cast<int>(n);
      if (count == 0) best = plan;
    }
    answer.largest = largest;
    if (count > 0 || largest == 0) return answer;
  }
  answer.plan = *best;
  answer.margin = Judge(answer.plan, rules).margin;
  return answer;
}

}  // namespace zelmar::model
