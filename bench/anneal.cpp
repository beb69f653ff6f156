// zelmar_anneal: a plain simulated annealing over the candidates that
// zelmar-plan would search, as a yardstick for the planner's timed answer.
//
// Usage: zelmar_anneal SECONDS SEED ZELMAR-PLAN-ARGUMENTS...
//
// The arguments become candidates, counted groups and fixed carriers through
// zelmar-plan's own reading and the planner's request builder, so both
// programs face the same question. The
// scoring of a plan is this file's own, written from the rules alone: the
// best plan found is measured again with the planner's FindViolations and
// MeasurePlan at the end, and a disagreement is an error (exit status 3).
#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plan_options.h"
#include "zelmar/planner.h"
#include "zelmar/show/request.h"

namespace {

using zelmar::plan::FormatKhz;
using zelmar::plan::Khz;

constexpr int kFamilyCount = 3;  // 2tx3, 3tx3, 2tx5
constexpr std::array<const char*, kFamilyCount> kFamilyNames = {"2tx3", "3tx3",
                                                                "2tx5"};

struct Limits {
  Khz spacing = 0;
  // The window of each family; nullopt where the family is not checked.
  std::array<std::optional<Khz>, kFamilyCount> window;
};

Khz Abs(Khz x) { return x < 0 ? -x : x; }

// A plan's standing: how badly it breaks the rules (0 when valid), then the
// margin of each checked family (nullopt also when too few carriers).
struct Score {
  std::int64_t penalty = 0;
  std::array<std::optional<Khz>, kFamilyCount> margins;
};

// Positive when `a` is better than `b`, negative when worse, 0 when equal.
// A family without a margin (too few carriers) has nothing to lose.
int Compare(const Score& a, const Score& b) {
  if (a.penalty != b.penalty) return a.penalty < b.penalty ? 1 : -1;
  for (int f = 0; f < kFamilyCount; ++f) {
    const Khz x = a.margins[f].value_or(zelmar::plan::kMaxKhz * 4);
    const Khz y = b.margins[f].value_or(zelmar::plan::kMaxKhz * 4);
    if (x != y) return x > y ? 1 : -1;
  }
  return 0;
}

// The plain scoring, every term of every checked family from scratch. The
// terms, each once: spacing |a - b| of a pair; 2tx3 |2a - b - c| with a
// doubled and {b, c} any other pair; 3tx3 |a + b - c - d| for two disjoint
// pairs; 2tx5 |3a - 2b - c| for three distinct carriers in order. A term
// within its window costs (window + 1 - distance), a spacing term
// (spacing + 1 - distance).
Score Evaluate(std::span<const Khz> p, const Limits& limits) {
  Score s;
  const int n = static_cast<int>(p.size());
  const auto note = [&](int f, Khz d) {
    if (!s.margins[f] || d < *s.margins[f]) s.margins[f] = d;
    if (d <= *limits.window[f]) s.penalty += *limits.window[f] + 1 - d;
  };
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const Khz d = Abs(p[i] - p[j]);
      if (d <= limits.spacing) s.penalty += limits.spacing + 1 - d;
    }
  }
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      for (int c = b + 1; c < n; ++c) {
        if (a != b && a != c) note(0, Abs(2 * p[a] - p[b] - p[c]));
      }
    }
  }
  if (limits.window[1]) {
    // The pair holding the lowest index first, so each split counts once.
    for (int a = 0; a < n; ++a) {
      for (int b = a + 1; b < n; ++b) {
        for (int c = a + 1; c < n; ++c) {
          for (int d = c + 1; d < n; ++d) {
            if (c != b && d != b) note(1, Abs(p[a] + p[b] - p[c] - p[d]));
          }
        }
      }
    }
  }
  if (limits.window[2]) {
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b < n; ++b) {
        for (int c = 0; c < n; ++c) {
          if (a != b && a != c && b != c) {
            note(2, Abs(3 * p[a] - 2 * p[b] - p[c]));
          }
        }
      }
    }
  }
  return s;
}

// How many terms lie at each distance, so that the smallest is found without
// looking at every term. Distances from kCap (65.536 MHz) up share one
// bucket, which keeps the counts in cache; margins that wide come only with
// a handful of carriers, and the best plan is always scored in full.
class DistanceCounts {
 public:
  static constexpr Khz kCap = Khz{1} << 16;

  DistanceCounts() : count_(kCap + 1, 0), used_((kCap + 64) / 64, 0) {}

  void Add(Khz d, int sign) {
    d = std::min(d, kCap);
    std::uint32_t& c = count_[d];
    if (sign > 0) {
      if (c++ == 0) used_[d / 64] |= std::uint64_t{1} << (d % 64);
      ++total_;
      if (d < low_) low_ = d;
    } else {
      if (c == 0) {
        std::fprintf(stderr, "zelmar_anneal: a term removed twice\n");
        std::exit(3);
      }
      if (--c == 0) used_[d / 64] &= ~(std::uint64_t{1} << (d % 64));
      --total_;
    }
  }

  // The smallest distance held (kCap standing for any above), or nullopt.
  std::optional<Khz> Min() {
    if (total_ == 0) return std::nullopt;
    std::size_t word = static_cast<std::size_t>(low_ / 64);
    std::uint64_t bits = used_[word] & (~std::uint64_t{0} << (low_ % 64));
    while (bits == 0) bits = used_[++word];
    low_ = static_cast<Khz>(word * 64) + std::countr_zero(bits);
    return low_;
  }
  std::uint32_t CountAt(Khz d) const { return count_[std::min(d, kCap)]; }

 private:
  std::vector<std::uint32_t> count_;
  std::vector<std::uint64_t> used_;  // one bit per non-empty distance
  std::int64_t total_ = 0;
  Khz low_ = 0;  // no term lies below
};

// The plan being walked, with its terms counted, so that moving one carrier
// costs only the terms that hold it.
class Walk {
 public:
  Walk(std::vector<Khz> plan, const Limits& limits)
      : p_(std::move(plan)), limits_(limits) {
    // Carriers join one by one, each with the terms it makes with those
    // before it, so that every term counts once.
    for (int x = 0; x < static_cast<int>(p_.size()); ++x) Terms(x, +1, x);
  }

  const std::vector<Khz>& plan() const { return p_; }

  void Move(int x, Khz to) {
    const int n = static_cast<int>(p_.size());
    Terms(x, -1, n);
    p_[x] = to;
    Terms(x, +1, n);
  }

  std::int64_t penalty() const { return penalty_; }
  Score Current() {
    Score s;
    s.penalty = penalty_;
    for (int f = 0; f < kFamilyCount; ++f) {
      if (limits_.window[f]) s.margins[f] = counts_[f].Min();
    }
    return s;
  }

  // What the annealing minimises. A plan that breaks a rule costs its
  // penalty (1 or more); a valid one costs below -0.5: minus its 2tx3 margin
  // above the window, a little more for many terms at that margin (so that
  // a flat stretch still slopes towards fewer of them), a little less for
  // better 3tx3 and 2tx5 margins.
  double Energy() {
    if (penalty_ > 0) return static_cast<double>(penalty_);
    double e = 0;
    if (const auto m = counts_[0].Min()) {
      const double at = counts_[0].CountAt(*m);
      e = -static_cast<double>(*m - *limits_.window[0]) + 0.5 * at / (at + 2);
    }
    double weight = 0.4;
    for (int f = 1; f < kFamilyCount; ++f) {
      if (!limits_.window[f]) continue;
      if (const auto m = counts_[f].Min()) {
        const double above = static_cast<double>(*m - *limits_.window[f]);
        e -= weight * above / (above + 25.0);
      }
      weight *= 0.1;
    }
    return e;
  }

 private:
  // Adds (sign +1) or removes (-1) every term that holds carrier x and
  // otherwise only carriers of index below n.
  void Terms(int x, int sign, int n) {
    const Khz v = p_[x];
    const auto other = [&](int i) { return i != x && i < n; };
    const auto term = [&](int f, Khz d) {
      counts_[f].Add(d, sign);
      if (d <= *limits_.window[f])
        penalty_ += sign * (*limits_.window[f] + 1 - d);
    };
    for (int j = 0; j < n; ++j) {
      if (!other(j)) continue;
      const Khz d = Abs(v - p_[j]);
      if (d <= limits_.spacing) penalty_ += sign * (limits_.spacing + 1 - d);
    }
    for (int i = 0; i < n; ++i) {
      if (!other(i)) continue;
      for (int j = 0; j < n; ++j) {
        if (!other(j) || j == i) continue;
        // x doubled with the pair {i, j} (once: i < j), and x paired with
        // j while i is doubled.
        if (i < j) term(0, Abs(2 * v - p_[i] - p_[j]));
        term(0, Abs(2 * p_[i] - v - p_[j]));
        if (limits_.window[2]) {
          term(2, Abs(3 * v - 2 * p_[i] - p_[j]));
          term(2, Abs(3 * p_[i] - 2 * v - p_[j]));
          term(2, Abs(3 * p_[i] - 2 * p_[j] - v));
        }
      }
    }
    if (limits_.window[1]) {
      for (int y = 0; y < n; ++y) {
        if (!other(y)) continue;
        for (int c = 0; c < n; ++c) {
          if (!other(c) || c == y) continue;
          for (int d = c + 1; d < n; ++d) {
            if (other(d) && d != y) {
              term(1, Abs(v + p_[y] - p_[c] - p_[d]));
            }
          }
        }
      }
    }
  }

  std::vector<Khz> p_;
  Limits limits_;
  std::array<DistanceCounts, kFamilyCount> counts_;
  std::int64_t penalty_ = 0;
};

[[noreturn]] void Fail(int status, const std::string& message) {
  std::fprintf(stderr, "zelmar_anneal: %s\n", message.c_str());
  std::exit(status);
}

std::string Margins(const Score& s, const Limits& limits) {
  std::string text = "margins";
  for (int f = 0; f < kFamilyCount; ++f) {
    text += std::string(" ") + kFamilyNames[f] + " ";
    text += !limits.window[f] ? "-"
            : s.margins[f]    ? FormatKhz(*s.margins[f])
                              : "none";
  }
  return text;
}

std::string PlanText(std::vector<Khz> plan) {
  std::sort(plan.begin(), plan.end());
  std::string text = "plan";
  for (Khz f : plan) {
    text += ' ';
    text += FormatKhz(f);
  }
  return text;
}

// The planner's own verdict on a plan must match this file's scoring.
void CrossCheck(const std::vector<Khz>& plan, const Score& mine,
                const zelmar::plan::Rules& rules, const Limits& limits) {
  const bool broken = !zelmar::plan::FindViolations(plan, rules, 1).empty();
  bool agree = broken == (mine.penalty > 0);
  const zelmar::plan::PlanFigures figures = zelmar::plan::MeasurePlan(plan);
  for (int f = 0; f < kFamilyCount; ++f) {
    if (limits.window[f] && figures.margins[f] != mine.margins[f]) {
      agree = false;
    }
  }
  if (!agree) {
    std::fprintf(stderr,
                 "zelmar_anneal: ERROR: the planner's rules disagree with the "
                 "annealing's scoring on %s (mine: penalty %lld, %s; "
                 "planner: %s)\n",
                 PlanText(plan).c_str(), static_cast<long long>(mine.penalty),
                 Margins(mine, limits).c_str(), broken ? "broken" : "valid");
    std::exit(3);
  }
}

// The candidate indices of each counted group; without counts, one group
// of every candidate.
std::vector<std::vector<std::size_t>> GroupLists(
    const zelmar::plan::PlanRequest& request) {
  if (request.groups.empty()) {
    std::vector<std::size_t> all(request.candidates.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return {all};
  }
  std::vector<std::vector<std::size_t>> groups(request.group_counts.size());
  for (std::size_t i = 0; i < request.groups.size(); ++i) {
    groups[request.groups[i]].push_back(i);
  }
  return groups;
}

}  // namespace

int main(int argc, char** argv) {
  namespace cli = zelmar::plan_cli;
  namespace plan = zelmar::plan;
  if (argc < 3) {
    Fail(2, "usage: zelmar_anneal SECONDS SEED ZELMAR-PLAN-ARGUMENTS...");
  }
  const double seconds = std::atof(argv[1]);
  const std::uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  if (!(seconds > 0)) Fail(2, "SECONDS must be above 0");
  std::vector<std::string_view> args(argv + 3, argv + argc);
  const cli::ParsedPlanArguments parsed = cli::ParsePlanArguments(args);
  if (!parsed.error.empty()) Fail(2, parsed.error);
  const cli::PlanOptions& parsed_options = parsed.options;
  if (parsed_options.Grouped() || parsed_options.first().max ||
      parsed_options.help || parsed_options.version) {
    Fail(2, "--group, --max, --help and --version are not taken here");
  }
  const plan::GroupOptions& options = parsed_options.first();

  // Candidates and counted groups as zelmar-plan builds them.
  const plan::BuiltRequest built = plan::BuildPlanRequest(parsed_options);
  if (built.error == plan::BuildError::kTooManyCandidates) {
    Fail(2, "more candidate channels than zelmar-plan takes");
  }
  if (built.error == plan::BuildError::kCountedBandsShare) {
    Fail(2, "bands with counts must not overlap");
  }
  const std::vector<Khz>& candidates = built.request.candidates;
  const std::vector<std::vector<std::size_t>> groups =
      GroupLists(built.request);
  std::vector<int> group_counts = built.request.group_counts;
  if (group_counts.empty()) {
    group_counts.push_back(options.count -
                           static_cast<int>(options.fixed.size()));
  }

  Limits limits;
  limits.spacing = options.rules.spacing;
  limits.window[0] = options.rules.guard;
  limits.window[1] = options.rules.window_3tx3;
  limits.window[2] = options.rules.window_2tx5;

  // A fixed carrier that is also a candidate is taken.
  std::vector<char> taken(candidates.size(), 0);
  for (Khz f : options.fixed) {
    const auto it = std::lower_bound(candidates.begin(), candidates.end(), f);
    if (it != candidates.end() && *it == f) taken[it - candidates.begin()] = 1;
  }

  // The plan: fixed carriers first, then each group's free carriers, with
  // the candidate index each holds in its group.
  std::mt19937_64 random(seed);
  const auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  std::vector<Khz> start = options.fixed;
  std::vector<int> slot_group;       // per free carrier
  std::vector<std::size_t> slot_at;  // its index in its group's list
  for (std::size_t g = 0; g < groups.size(); ++g) {
    std::vector<std::size_t> open;
    for (std::size_t k = 0; k < groups[g].size(); ++k) {
      if (!taken[groups[g][k]]) open.push_back(k);
    }
    if (open.size() < static_cast<std::size_t>(group_counts[g])) {
      std::printf("anneal %g s seed %llu: no valid plan (too few channels)\n",
                  seconds, static_cast<unsigned long long>(seed));
      return 1;
    }
    std::shuffle(open.begin(), open.end(), random);
    for (int c = 0; c < group_counts[g]; ++c) {
      taken[groups[g][open[c]]] = 1;
      start.push_back(candidates[groups[g][open[c]]]);
      slot_group.push_back(static_cast<int>(g));
      slot_at.push_back(open[c]);
    }
  }
  const int fixed_count = static_cast<int>(options.fixed.size());
  const int slots = static_cast<int>(slot_group.size());
  if (fixed_count + slots > plan::kMaxCarriers) Fail(2, "too many carriers");

  // The raster (the smallest gap of two neighbouring candidates) sets the
  // temperature's scale: a fifth of it to start with, so that a loss of that
  // many kilohertz of margin is first taken about one time in e.
  Khz raster = 0;
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    const Khz gap = candidates[i] - candidates[i - 1];
    if (raster == 0 || gap < raster) raster = gap;
  }
  const double hot = std::max(1.0, static_cast<double>(raster) / 5.0);
  const double cold = 0.02;

  Walk walk(start, limits);
  // The counted scoring must equal the plain one, up to the counts' last
  // bucket.
  const auto same_as_plain = [&](const Score& counted) {
    Score plain = Evaluate(walk.plan(), limits);
    for (auto& m : plain.margins) {
      if (m) m = std::min(*m, DistanceCounts::kCap);
    }
    if (Compare(counted, plain) != 0) {
      Fail(3, "ERROR: the counted scoring differs from the plain one");
    }
  };
  same_as_plain(walk.Current());
  std::optional<Score> best;  // in full, with the walk's view beside it
  std::optional<Score> best_counted;
  std::vector<Khz> best_plan;
  std::vector<std::size_t> best_at;
  const auto consider = [&] {
    if (walk.penalty() > 0) return;
    const Score now = walk.Current();
    const int order = best ? Compare(now, *best_counted) : 1;
    if (order < 0) return;
    std::vector<Khz> sorted = walk.plan();
    std::sort(sorted.begin(), sorted.end());
    if (order == 0 && !(sorted < best_plan)) return;
    same_as_plain(now);
    best = Evaluate(walk.plan(), limits);
    best_counted = now;
    best_plan = std::move(sorted);
    best_at = slot_at;
  };
  consider();

  using Clock = std::chrono::steady_clock;
  const auto begin = Clock::now();
  // A few rounds of cooling, each but the first starting again from the best
  // plan found (or where the last ended, while none is valid).
  constexpr int kRounds = 3;
  std::uint64_t moves = 0;
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  double energy = walk.Energy();
  for (int round = 0; round < kRounds && slots > 0; ++round) {
    if (round > 0 && best) {
      for (int s = 0; s < slots; ++s) {
        const std::vector<std::size_t>& list = groups[slot_group[s]];
        taken[list[slot_at[s]]] = 0;
      }
      slot_at = best_at;
      for (int s = 0; s < slots; ++s) {
        const std::vector<std::size_t>& list = groups[slot_group[s]];
        taken[list[slot_at[s]]] = 1;
        walk.Move(fixed_count + s, candidates[list[slot_at[s]]]);
      }
      energy = walk.Energy();
    }
    const double round_seconds = seconds / kRounds;
    const double round_end = round_seconds * (round + 1);
    double temperature = hot;
    for (;;) {
      if (moves % 64 == 0) {
        const double t =
            std::chrono::duration<double>(Clock::now() - begin).count();
        if (t >= round_end) break;
        const double part = 1.0 - (round_end - t) / round_seconds;
        temperature = hot * std::pow(cold / hot, part);
      }
      ++moves;
      const int s = static_cast<int>(below(slots));
      const std::vector<std::size_t>& list = groups[slot_group[s]];
      std::size_t to;
      if (unit(random) < 0.5) {
        to = below(list.size());
      } else {
        // A nearby channel: up to eight places either way.
        const std::size_t reach = 1 + below(8);
        if (unit(random) < 0.5) {
          if (slot_at[s] < reach) continue;
          to = slot_at[s] - reach;
        } else {
          to = slot_at[s] + reach;
          if (to >= list.size()) continue;
        }
      }
      if (taken[list[to]]) continue;
      const Khz from = walk.plan()[fixed_count + s];
      const std::size_t was = slot_at[s];
      walk.Move(fixed_count + s, candidates[list[to]]);
      taken[list[was]] = 0;
      taken[list[to]] = 1;
      slot_at[s] = to;
      consider();
      const double next = walk.Energy();
      const double rise = next - energy;
      if (rise <= 0 || unit(random) < std::exp(-rise / temperature)) {
        energy = next;
      } else {
        walk.Move(fixed_count + s, from);
        taken[list[to]] = 0;
        taken[list[was]] = 1;
        slot_at[s] = was;
      }
    }
  }

  // The counts must still match the plain scoring where the walk ended.
  same_as_plain(walk.Current());
  const Score end = Evaluate(walk.plan(), limits);
  CrossCheck(walk.plan(), end, options.rules, limits);

  std::printf("anneal %g s seed %llu: ", seconds,
              static_cast<unsigned long long>(seed));
  if (!best) {
    std::printf("no valid plan (penalty %lld) moves %lluk\n",
                static_cast<long long>(end.penalty),
                static_cast<unsigned long long>(moves / 1000));
    return 1;
  }
  CrossCheck(best_plan, *best, options.rules, limits);
  std::printf("%s moves %lluk %s\n", Margins(*best, limits).c_str(),
              static_cast<unsigned long long>(moves / 1000),
              PlanText(best_plan).c_str());
  return 0;
}
