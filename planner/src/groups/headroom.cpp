#include "groups/headroom.h"

#include <algorithm>

namespace zelmar::plan {
namespace {

Khz Abs(Khz v) { return v < 0 ? -v : v; }

// The smallest headroom seen per family, and whether a rule broke.
struct Tally {
  const GroupTables& tables;
  Score score;
  const Score* floor = nullptr;  // a score below it is of no use
  bool broken = false;

  // A product at distance `d` from a victim of group `g`.
  void At(int family, Khz d, int g) {
    const Khz w = tables.Window(g, family);
    if (w < 0) return;
    const Khz h = d - w;
    if (h <= 0) broken = true;
    score.m[family] = std::min(score.m[family], h);
  }
  // Scores only fall as products are added: one below the floor stays
  // below it.
  bool done() {
    if (floor != nullptr && score < *floor) broken = true;
    return broken;
  }
};

}  // namespace

GroupTables::GroupTables(std::span<const GroupRules> groups) {
  const int n = static_cast<int>(groups.size());
  for (int g = 0; g < n; ++g) {
    for (int h = 0; h < n; ++h) spacing_[g][h] = SpacingBetween(groups, g, h);
    for (Family f : kFamilies) {
      const int k = static_cast<int>(f);
      window_[g][k] = WindowOf(groups[g].rules, f).value_or(-1);
      checked_[k] = checked_[k] || window_[g][k] >= 0;
    }
  }
}

std::uint64_t GroupTables::Cost(int n) const {
  const std::uint64_t m = static_cast<std::uint64_t>(n) + 1;
  return 1 + (checked_[1] ? m * m * m : m * m) / 64;
}

namespace {

// Calls note.At(family, distance, victim group) for every product with x
// among its makers or as its victim, over the checked families, until
// note.done().
template <class Note>
void ForEachProductWith(const GroupTables& tables,
                        std::span<const Carrier> plan, Carrier x, Note& note) {
  const std::size_t n = plan.size();
  const bool f0 = tables.Checked(0), f1 = tables.Checked(1),
             f2 = tables.Checked(2);
  const Khz v = x.khz;
  for (std::size_t a = 0; a < n && !note.done(); ++a) {
    const Khz pa = plan[a].khz;
    for (std::size_t b = 0; b < n; ++b) {
      if (b == a) continue;
      const Khz pb = plan[b].khz;
      const int gb = plan[b].group;
      // x the victim of a's and b's products.
      if (f0) note.At(0, Abs(2 * pa - pb - v), x.group);
      if (f2) note.At(2, Abs(3 * pa - 2 * pb - v), x.group);
      // x a maker with a, b the victim.
      if (f0) {
        note.At(0, Abs(2 * v - pa - pb), gb);
        note.At(0, Abs(2 * pa - v - pb), gb);
      }
      if (f2) {
        note.At(2, Abs(3 * v - 2 * pa - pb), gb);
        note.At(2, Abs(3 * pa - 2 * v - pb), gb);
      }
      if (!f1) continue;
      for (std::size_t c = 0; c < n; ++c) {
        if (c == a || c == b) continue;
        const Khz pc = plan[c].khz;
        const int gc = plan[c].group;
        // x + a - b near c; with a < b also a + b - c near x and
        // a + b - x near c.
        note.At(1, Abs(v + pa - pb - pc), gc);
        if (a < b) {
          note.At(1, Abs(pa + pb - pc - v), x.group);
          note.At(1, Abs(pa + pb - v - pc), gc);
        }
      }
    }
  }
}

// Counts the rules a carrier breaks.
struct Conflicts {
  const GroupTables& tables;
  int limit;
  int count = 0;
  void At(int family, Khz d, int g) {
    const Khz w = tables.Window(g, family);
    if (w >= 0 && d <= w) ++count;
  }
  bool done() const { return count > limit; }
};

}  // namespace

std::optional<Score> GroupTables::ScoreWith(std::span<const Carrier> plan,
                                            const Score& score, Carrier x,
                                            const Score* floor) const {
  for (const Carrier& p : plan) {
    if (Abs(x.khz - p.khz) <= spacing_[x.group][p.group]) return std::nullopt;
  }
  Tally t{*this, score, floor};
  ForEachProductWith(*this, plan, x, t);
  if (t.broken) return std::nullopt;
  return t.score;
}

int GroupTables::ConflictsWith(std::span<const Carrier> plan, Carrier x,
                               int limit) const {
  Conflicts c{*this, limit};
  for (const Carrier& p : plan) {
    c.count += Abs(x.khz - p.khz) <= spacing_[x.group][p.group];
  }
  ForEachProductWith(*this, plan, x, c);
  return c.count;
}

std::optional<Score> GroupTables::ScoreOf(std::span<const Carrier> plan) const {
  Score s;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const auto next = ScoreWith(plan.first(i), s, plan[i]);
    if (!next) return std::nullopt;
    s = *next;
  }
  return s;
}

std::vector<Carrier> Ascending(std::span<const Carrier> plan) {
  std::vector<Carrier> sorted(plan.begin(), plan.end());
  std::sort(sorted.begin(), sorted.end(),
            [](const Carrier& a, const Carrier& b) {
              return a.khz != b.khz ? a.khz < b.khz : a.group < b.group;
            });
  return sorted;
}

bool BetterGroupPlan(std::span<const Carrier> a, const Score& sa,
                     std::span<const Carrier> b, const Score& sb) {
  if (sa != sb) return sa > sb;
  const std::vector<Carrier> x = Ascending(a), y = Ascending(b);
  const auto less = [](const Carrier& p, const Carrier& q) {
    return p.khz != q.khz ? p.khz < q.khz : p.group < q.group;
  };
  return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                      less);
}

}  // namespace zelmar::plan
