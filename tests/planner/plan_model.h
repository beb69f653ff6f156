// A plain model of the planner's rules, for small bands: it lists every
// channel one by one and tries every combination of channels, checking each
// plan literally (every pair, both products, every other carrier, for
// each checked family; the band counts counted). Shared
// by the unit tests and the fuzz target; deliberately slow and simple.
#pragma once

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <map>
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

// Margins in family order (absent where not checked or nothing measured),
// compared as the planner ranks plans: larger first, an absent one as
// larger than any.
struct Judgement {
  bool valid = true;
  std::array<std::optional<Khz>, plan::kFamilyCount> margins;
  std::optional<Khz> margin;  // 2tx3
};

inline bool Above(const Judgement& a, const Judgement& b) {
  for (int f = 0; f < plan::kFamilyCount; ++f) {
    const Khz x = a.margins[f].value_or(std::numeric_limits<Khz>::max());
    const Khz y = b.margins[f].value_or(std::numeric_limits<Khz>::max());
    if (x != y) return x > y;
  }
  return false;
}

inline bool Same(const Judgement& a, const Judgement& b) {
  return !Above(a, b) && !Above(b, a);
}

inline Judgement Judge(std::vector<Khz> plan, const plan::Rules& rules) {
  std::sort(plan.begin(), plan.end());
  Judgement j;
  const std::size_t n = plan.size();
  const auto note = [&](int family, const std::optional<Khz>& window,
                        Khz product, Khz victim) {
    if (!window) return;
    const Khz d = std::abs(product - victim);
    if (d <= *window) j.valid = false;
    if (!j.margins[family] || d < *j.margins[family]) j.margins[family] = d;
  };
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a) continue;
      if (a < b && plan[b] - plan[a] <= rules.spacing) j.valid = false;
      for (std::size_t c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        note(0, rules.guard, 2 * plan[a] - plan[b], plan[c]);
        note(2, rules.window_2tx5, 3 * plan[a] - 2 * plan[b], plan[c]);
        if (a >= b || !rules.window_3tx3) continue;
        for (std::size_t d = 0; d < n; ++d) {
          if (d == a || d == b || d == c) continue;
          note(1, rules.window_3tx3, plan[a] + plan[b] - plan[c], plan[d]);
        }
      }
    }
  }
  j.margin = j.margins[0];
  return j;
}

// Counted bands: the group of each channel and the new carriers each group
// must hold; empty `counts`: none.
struct Counts {
  std::map<Khz, int> group;
  std::vector<int> counts;
};

// Calls `visit(plan, judgement)` on every plan of `count` carriers (fixed
// ones included, ascending) that keeps the band counts, the chosen channels
// in lexicographic order, until it returns false. A combination whose
// neighbours are not more than the spacing apart cannot be valid and is
// skipped.
template <class Visit>
void ForEachPlan(const std::vector<Khz>& channels,
                 const std::vector<Khz>& fixed, const plan::Rules& rules,
                 std::size_t count, const Counts& counts, Visit visit) {
  std::vector<Khz> chosen;
  bool going = true;
  auto walk = [&](auto& self, std::size_t from) -> void {
    if (!going) return;
    if (chosen.size() + fixed.size() == count) {
      if (!counts.counts.empty()) {
        std::vector<int> taken(counts.counts.size());
        for (Khz f : chosen) ++taken[counts.group.at(f)];
        if (taken != counts.counts) return;
      }
      std::vector<Khz> plan = chosen;
      plan.insert(plan.end(), fixed.begin(), fixed.end());
      std::sort(plan.begin(), plan.end());
      going = visit(plan, Judge(plan, rules));
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
  if (count >= fixed.size()) walk(walk, 0);
}

// The best valid plan of `count` carriers (fixed ones included), if any:
// every combination of channels is judged.
inline std::optional<std::vector<Khz>> BestOf(const std::vector<Khz>& channels,
                                              const std::vector<Khz>& fixed,
                                              const plan::Rules& rules,
                                              std::size_t count,
                                              const Counts& counts = {}) {
  std::optional<std::vector<Khz>> best;
  Judgement best_j;
  ForEachPlan(channels, fixed, rules, count, counts,
              [&](const std::vector<Khz>& plan, const Judgement& j) {
                if (j.valid && (!best || Above(j, best_j) ||
                                (Same(j, best_j) && plan < *best))) {
                  best = plan;
                  best_j = j;
                }
                return true;
              });
  return best;
}

// The first valid plan of `count` carriers in ascending order (fixed ones
// included) whose margins reach `at_least` in every checked family (an
// absent margin reaches any), if any.
inline std::optional<std::vector<Khz>> FirstOf(
    const std::vector<Khz>& channels, const std::vector<Khz>& fixed,
    const plan::Rules& rules, std::size_t count,
    const std::array<Khz, plan::kFamilyCount>& at_least,
    const Counts& counts = {}) {
  std::optional<std::vector<Khz>> first;
  ForEachPlan(channels, fixed, rules, count, counts,
              [&](const std::vector<Khz>& plan, const Judgement& j) {
                for (int f = 0; f < plan::kFamilyCount; ++f) {
                  if (j.margins[f] && *j.margins[f] < at_least[f]) return true;
                }
                if (j.valid) first = plan;
                return !j.valid;
              });
  return first;
}

struct Answer {
  bool fixed_broken = false;
  std::vector<Khz> plan;  // empty when there is none
  std::optional<Khz> margin;
  Judgement judgement;
  std::optional<int> largest;  // when there is no plan (none with counts)
};

// First fit: the fixed carriers, then each channel in ascending order that
// keeps the plan valid, up to `most` carriers.
inline std::vector<Khz> FirstFit(const std::vector<Khz>& channels,
                                 const std::vector<Khz>& fixed,
                                 const plan::Rules& rules,
                                 std::size_t most = plan::kMaxCarriers) {
  std::vector<Khz> plan = fixed;
  for (Khz c : channels) {
    if (plan.size() >= most) break;
    plan.push_back(c);
    if (!Judge(plan, rules).valid) plan.pop_back();
  }
  return plan;
}

// count 0: as many carriers as fit. A carrier taken away never makes a
// valid plan invalid, so sizes are tried upwards until one has no plan.
inline Answer Solve(const std::vector<Khz>& channels,
                    const std::vector<Khz>& fixed, const plan::Rules& rules,
                    int count, const Counts& counts = {}) {
  Answer answer;
  answer.fixed_broken = !Judge(fixed, rules).valid;
  if (answer.fixed_broken) {
    answer.largest = 0;
    return answer;
  }
  std::optional<std::vector<Khz>> best;
  if (count > 0) best = BestOf(channels, fixed, rules, count, counts);
  if (!counts.counts.empty()) {
    if (best) answer.plan = *best;
  } else {
    answer.largest = 0;
    const std::size_t most = std::min<std::size_t>(
        plan::kMaxCarriers, fixed.size() + channels.size());
    for (std::size_t n = std::max<std::size_t>(1, fixed.size());
         !best && n <= most; ++n) {
      std::optional<std::vector<Khz>> plan = BestOf(channels, fixed, rules, n);
      if (!plan) break;
      answer.largest = static_cast<int>(n);
      if (count == 0 && (n == most || !BestOf(channels, fixed, rules, n + 1))) {
        best = plan;
      }
    }
    if (best) answer.plan = *best;
  }
  if (!answer.plan.empty()) {
    answer.judgement = Judge(answer.plan, rules);
    answer.margin = answer.judgement.margin;
  }
  return answer;
}

}  // namespace zelmar::model
