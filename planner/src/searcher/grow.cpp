// Large plans found fast, for the largest plan and for a first plan of the
// size asked where the exact search takes long: first fit in ascending
// order, then an iterated local search of (1,2)-swaps, as maximum
// independent set solvers walk: take one carrier out, put two back where
// they fit; where only one fits, the carrier moves there (never back to a
// place a carrier just left), so that the walk crosses plateaus of equal
// size.
#include <algorithm>
#include <array>
#include <vector>

#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

// The places the last moves left, which the walk does not fill again yet.
constexpr std::size_t kTabuPlaces = 8;

}  // namespace

bool Searcher::Joins(const Level& level, std::span<const Khz> sorted,
                     Khz x) const {
  const auto o =
      std::lower_bound(sorted.begin(), sorted.end(), x - rules_.spacing);
  if (o != sorted.end() && *o <= x + rules_.spacing) return false;
  return Valid(stack_.ScoreWith(level, x));
}

std::optional<Khz> Searcher::FirstJoining(std::span<const Khz> chosen,
                                          std::size_t from,
                                          std::span<const Khz> tabu) {
  const Level& level =
      stack_[Build(chosen.data(), static_cast<int>(chosen.size()))];
  std::copy(level.carriers, level.carriers + level.n, sorted_.begin());
  std::sort(sorted_.begin(), sorted_.begin() + level.n);
  const std::span<const Khz> sorted(sorted_.data(),
                                    static_cast<std::size_t>(level.n));
  const std::size_t n = cand_.size();
  // The candidates scanned are charged once the scan ends (a scan of a
  // million takes some tens of milliseconds), so that the plan it adds to
  // is noted before the stop is asked.
  std::size_t k = 0;
  std::optional<Khz> found;
  for (; k < n && !found; ++k) {
    const Khz x = cand_[(from + k) % n];
    if (std::find(tabu.begin(), tabu.end(), x) != tabu.end()) continue;
    if (Joins(level, sorted, x)) found = x;
  }
  if (Charge(k)) return std::nullopt;
  return found;
}

Searcher::Result Searcher::Grow(const Result& from, int most,
                                std::uint64_t stall, bool note) {
  Result best;
  budget_end_ = 0;
  cut_ = false;
  const int free_most =
      std::min(most, capacity_) - static_cast<int>(fixed_.size());
  if (counted_ || free_most <= 0 || cand_.empty()) return best;
  // The free carriers of the plan to start from.
  std::vector<Khz> chosen;
  for (int i = 0; i < from.size; ++i) {
    const Khz f = from.plan[static_cast<std::size_t>(i)];
    if (std::find(fixed_.begin(), fixed_.end(), f) == fixed_.end()) {
      chosen.push_back(f);
    }
  }
  const auto record = [&] {
    const Level& level =
        stack_[Build(chosen.data(), static_cast<int>(chosen.size()))];
    if (best.found && level.n <= best.size) return;
    best.found = true;
    best.size = level.n;
    std::copy(level.carriers, level.carriers + level.n, best.plan.begin());
    std::sort(best.plan.begin(), best.plan.begin() + level.n);
    best.score = level.score;
    if (note) NoteBest(best);
  };
  // First fit, from `start` on around the candidates.
  const auto fill = [&](std::size_t start) {
    while (static_cast<int>(chosen.size()) < free_most && !stopped_ &&
           !Tick()) {
      const std::optional<Khz> x = FirstJoining(chosen, start, {});
      if (!x) break;
      chosen.push_back(*x);
      record();
    }
  };
  fill(0);
  record();
  Random random;
  std::array<Khz, kTabuPlaces> tabu{};
  std::size_t tabu_at = 0;
  for (std::uint64_t since = 0; since < stall && !chosen.empty() &&
                                static_cast<int>(chosen.size()) < free_most;
       ++since) {
    if (stopped_ || Tick()) break;
    const std::size_t out = random.Below(chosen.size());
    const Khz left = chosen[out];
    chosen.erase(chosen.begin() + static_cast<std::ptrdiff_t>(out));
    tabu[tabu_at++ % kTabuPlaces] = left;
    const std::optional<Khz> first =
        FirstJoining(chosen, random.Below(cand_.size()), tabu);
    if (!first) {
      chosen.push_back(left);
      continue;
    }
    chosen.push_back(*first);
    const std::size_t size = chosen.size();
    fill(random.Below(cand_.size()));
    if (chosen.size() > size) {
      record();
      since = 0;
    }
  }
  return best;
}

}  // namespace zelmar::plan
