// Bounds that cut the exact search where plans fill much of a band: how
// many raster steps k carriers span at the least, by counting (each gap
// more than the spacing, neighbouring gaps differing by the margin), by the
// optimal Golomb rulers when 3tx3 is checked, and by tables of bounds found
// by small searches of their own, short spans first, as ruler searches keep
// them.
#include <algorithm>

#include "golomb.h"
#include "searcher/searcher.h"

namespace zelmar::plan {
void Searcher::NoteSpanBound(int target) {
  if (target < 3) return;
  const Khz gaps = target - 1;
  const Khz room = top_ - low_ - gaps * RoundUp(rules_.spacing + 1);
  const Khz t = room < 0 ? 0 : room / (gaps / 2) / raster_ * raster_;
  NoteBound(t + raster_);
}

bool Searcher::SpansWorthwhile() const {
  constexpr Khz kMostSteps = 4096;
  return raster_ > 0 && (top_ - low_) / raster_ <= kMostSteps;
}

// The span the carriers still to come above x need, with `above` of them.
Khz Searcher::NeededAbove(Khz above) const {
  Khz need = ReckonedSpan(above, threshold_);
  if (SpansApply()) {
    need = std::max(need, spans_.span[static_cast<std::size_t>(above + 1)]);
  }
  return need;
}

// The span `above` + 1 carriers need by counting alone, with a 2tx3
// margin of at least `threshold`.
Khz Searcher::ReckonedSpan(Khz above, Khz threshold) const {
  const Khz step = RoundUp(rules_.spacing + 1);
  Khz need = above * step + above / 2 * RoundUp(threshold);
  if (stack_.check3() && above > 0) {
    // x and the carriers above it form a Golomb ruler: all differences
    // distinct whole raster steps, the smallest at least `step`.
    const Khz marks = above + 1;
    const Khz units = GolombSpan(marks);
    need = std::max(need, units * raster_);
    need = std::max(need, step + (above * (above + 1) / 2 - 1) * raster_);
  }
  return need;
}

// The smallest value the span bounds allow for the next carrier x: for
// each carrier c below it, x - c is at least the span of the carriers
// from c to x. Chosen carriers lie below x and ascend; fixed ones below x
// are merged in.
Khz Searcher::SpanFloor(const Level& level, Khz x) const {
  const int fixed_count = static_cast<int>(fixed_.size());
  int chosen = level.n - fixed_count;
  int fixed_below = static_cast<int>(
      std::lower_bound(fixed_.begin(), fixed_.end(), x) - fixed_.begin());
  Khz need = 0;
  std::size_t count = 1;
  while (chosen > 0 || fixed_below > 0) {
    Khz c;
    if (fixed_below == 0 ||
        (chosen > 0 && level.carriers[fixed_count + chosen - 1] >
                           fixed_[static_cast<std::size_t>(fixed_below - 1)])) {
      c = level.carriers[fixed_count + --chosen];
    } else {
      c = fixed_[static_cast<std::size_t>(--fixed_below)];
    }
    need = std::max(need, c + spans_.span[++count]);
  }
  return need;
}

void Searcher::RefineSpans(Khz threshold, int target, std::uint64_t budget) {
  if (threshold == kNoMargin) return;
  threshold = std::max(threshold, rules_.guard + 1);
  if (threshold < spans_.threshold) return;
  if (threshold > spans_.threshold) {
    SpanTable next;
    next.threshold = threshold;
    next.span = spans_.span;
    spans_ = next;
  }
  SpanTable& table = spans_;
  // Bounds pay where the plans fill much of the band; far below that they
  // cut nothing.
  const int most = std::min(target, kMaxCarriers);
  const Khz width = top_ - low_;
  if (std::max(ReckonedSpan(most - 1, threshold),
               table.span[static_cast<std::size_t>(most)]) < width / 2) {
    return;
  }
  const std::uint64_t end = nodes_ + budget;
  const Khz step = RoundUp(rules_.spacing + 1);
  PlanRequest probe;
  probe.rules = rules_;
  while (!table.done && table.next_count <= most && nodes_ < end) {
    const auto k = static_cast<std::size_t>(table.next_count);
    const Khz low = RoundUp(std::max(table.span[k], table.span[k - 1] + step));
    table.next_steps = std::max(table.next_steps, low / raster_);
    const Khz steps = table.next_steps;
    table.span[k] = steps * raster_;
    if (table.span[k] > width) {
      // Not even k carriers fit the band with this margin, nor more.
      for (std::size_t j = k + 1; j < table.span.size(); ++j) {
        table.span[j] = std::max(table.span[j], table.span[k]);
      }
      table.done = true;
      break;
    }
    probe.candidates.clear();
    for (Khz u = 2; u <= steps; ++u) probe.candidates.push_back(u * raster_);
    const std::array<Khz, 2> ends = {raster_, (steps + 1) * raster_};
    probe.count = table.next_count;
    Searcher sub(probe, ends, table.next_count, budget_, true);
    sub.spans_ = table;
    RunOptions run;
    run.target = table.next_count;
    run.threshold = threshold;
    run.node_budget = end - nodes_;
    const Result r = sub.Run(run);
    nodes_ += sub.nodes();
    if (sub.stopped()) {
      stopped_ = true;
      break;
    }
    if (r.found) {
      ++table.next_count;
      table.next_steps = 0;
    } else if (sub.cut()) {
      break;  // out of budget: the bound so far stands
    } else {
      table.next_steps = steps + 1;
      table.span[k] = table.next_steps * raster_;
    }
  }
}

}  // namespace zelmar::plan
