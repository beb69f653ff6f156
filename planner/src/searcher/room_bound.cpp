// Bounds on the room left above a node: whether the carriers still to come
// fit among the candidates its carriers allow.
//
// Any three carriers a < b < c of a plan of 2tx3 margin t or more have
// |2b - a - c| >= t, so their two gaps differ by t and c - a >= 2g + t
// (g: the spacing + 1, the least gap). Five carriers span 3t + 3g at the
// least: of their four gaps, two neighbours rising (or falling) twice make
// gaps of t + g and 2t + g; else they alternate, say d1 > d2 < d3 > d4, and
// the three carriers around the third gap give |d1 + d2 - d3| >= t, so d3
// >= d1 + d2 + t or d1 >= 2t. Keeping these for consecutive carriers alone,
// the greedy chain that takes each next allowed candidate as early as the
// chain permits holds the most carriers (a chain placed earlier never
// leaves less room), so it bounds every plan below the node. Once a few
// carriers are in, their products forbid most of a wide band, and where the
// plans ask for a wide margin a node whose carriers cannot fit is cut before
// any of its candidates is tried.
//
// The same chain bounds a node's children: the next carrier x anywhere in
// [low, high] forbids, whatever x is there, the values every x of the range
// forbids (a window of radius t shrunk by the range's width). A range whose
// children have no room is skipped whole; the candidates of a fine raster
// share their fate over long runs.
#include <algorithm>

#include "searcher/searcher.h"

namespace zelmar::plan {
namespace {

// A chain end with no carrier: far enough below the band that it never
// bounds the next carrier.
constexpr Khz kFree = -(Khz{1} << 50);

Khz CeilHalf(Khz v) { return v >= 0 ? (v + 1) / 2 : -(-v / 2); }

}  // namespace

// The first value >= y that no carrier x of `range`, with a carrier p of
// the node, forbids for every x: |2y - x - p|, |2x - p - y| and
// |2p - x - y| below t for every x in the range.
Khz Searcher::RangeAllows(const Level& level, const Range& range, Khz y) const {
  const Khz t = threshold_;
  for (bool moved = true; moved;) {
    moved = false;
    for (int k = 0; k < level.n; ++k) {
      const Khz p = level.carriers[k];
      Khz next = y;
      if (p + range.high - t < 2 * y && 2 * y < p + range.low + t) {
        next = std::max(next, CeilHalf(p + range.low + t));
      }
      if (2 * range.high - p - t < y && y < 2 * range.low - p + t) {
        next = std::max(next, 2 * range.low - p + t);
      }
      if (2 * p - range.low - t < y && y < 2 * p - range.high + t) {
        next = std::max(next, 2 * p - range.high + t);
      }
      if (next > y) {
        y = next;
        moved = true;
      }
    }
  }
  return y;
}

// The index of the first candidate from j on that the node (and `range`,
// where given) allows; cand_.size() where none does.
std::size_t Searcher::NextRoom(const Level& level, std::size_t j,
                               const Range* range) const {
  const std::size_t n = cand_.size();
  while (j < n) {
    const Khz x = cand_[j];
    Khz allowed = FirstAllowed(level, x);
    if (range != nullptr && allowed == x) {
      allowed = RangeAllows(level, *range, x);
    }
    if (allowed == x) return j;
    j = static_cast<std::size_t>(
        std::lower_bound(cand_.begin() + static_cast<std::ptrdiff_t>(j) + 1,
                         cand_.end(), allowed) -
        cand_.begin());
  }
  return n;
}

// The greedy chain through candidates from `start` on, after a chain that
// ends with `end`, below `limit`: the least place of each next carrier, up
// to `most` of them.
int Searcher::Greedy(const Level& level, Khz start, ChainEnd end,
                     const Range* range, Khz limit, int most,
                     std::span<Khz> out) const {
  std::size_t j = 0;
  int count = 0;
  while (count < most) {
    j = std::max(
        j, static_cast<std::size_t>(std::lower_bound(cand_.begin(), cand_.end(),
                                                     Lowest(start, end)) -
                                    cand_.begin()));
    j = NextRoom(level, j, range);
    if (j == cand_.size() || cand_[j] >= limit) break;
    out[static_cast<std::size_t>(count++)] = cand_[j];
    end.Push(cand_[j]);
    ++j;
  }
  return count;
}

// The least place from `start` on of a carrier after the chain `end`.
Khz Searcher::Lowest(Khz start, const ChainEnd& end) const {
  const Khz gap = rules_.spacing + 1;
  const Khz t = threshold_;
  return std::max({start, end.at[3] + gap, end.at[2] + 2 * gap + t,
                   end.at[0] + 3 * gap + 3 * t});
}

// Whether chains from `end` reach `need` new carriers from `start` on.
// Every plan holds the fixed carriers above: the chains pass through each
// of them. The greedy chain holds the least place of each count, so of the
// chains that reach a fixed carrier with the same count, the least places
// of their last carriers, each taken alone, bound them all.
bool Searcher::ChainFits(const Level& level, Khz start, ChainEnd end,
                         const Range* range, int need) const {
  // by_count[c]: the chain's end with c new carriers so far (kNoMargin in
  // its last place: no such chain).
  std::array<ChainEnd, kMaxCarriers + 1> by_count, next;
  std::array<Khz, kMaxCarriers> places;
  const ChainEnd none{{kNoMargin, kNoMargin, kNoMargin, kNoMargin}};
  by_count.fill(none);
  by_count[0] = end;
  auto f = std::upper_bound(fixed_.begin(), fixed_.end(),
                            range != nullptr ? range->high : start - 1);
  for (;; ++f) {
    const Khz limit = f == fixed_.end() ? kNoMargin : *f;
    next.fill(none);
    for (int c = 0; c < need; ++c) {
      const ChainEnd from = by_count[static_cast<std::size_t>(c)];
      if (from.at[3] == kNoMargin) continue;
      const int m = Greedy(level, start, from, range, limit, need - c, places);
      if (c + m >= need) return true;
      if (limit == kNoMargin) continue;
      ChainEnd at = from;
      for (int k = 0; k <= m; ++k) {
        if (k > 0) at.Push(places[static_cast<std::size_t>(k - 1)]);
        // The fixed carrier keeps the chain's rules with the carriers
        // before it.
        if (Lowest(start, at) > limit) continue;
        ChainEnd& slot = next[static_cast<std::size_t>(c + k)];
        for (std::size_t a = 0; a < at.at.size(); ++a) {
          slot.at[a] = std::min(slot.at[a], at.at[a]);
        }
      }
    }
    if (limit == kNoMargin) return false;
    for (ChainEnd& e : next) {
      if (e.at[3] != kNoMargin) e.Push(limit);
    }
    by_count = next;
    start = std::max(start, limit);
  }
}

// The node's highest four carriers below v, oldest first: the chosen ones
// ascend, the fixed ones below v merge in.
Searcher::ChainEnd Searcher::TailBelow(const Level& level, Khz v) const {
  const int fixed_count = static_cast<int>(fixed_.size());
  int chosen = level.n - fixed_count;
  auto fixed_below = std::lower_bound(fixed_.begin(), fixed_.end(), v);
  ChainEnd end{{kFree, kFree, kFree, kFree}};
  for (int k = 3; k >= 0 && (chosen > 0 || fixed_below != fixed_.begin());
       --k) {
    const Khz c = chosen > 0 ? level.carriers[fixed_count + chosen - 1] : 0;
    if (fixed_below != fixed_.begin() && *(fixed_below - 1) > c) {
      end.at[static_cast<std::size_t>(k)] = *--fixed_below;
    } else {
      end.at[static_cast<std::size_t>(k)] = c;
      --chosen;
    }
  }
  return end;
}

bool Searcher::RoomFor(const Level& level, std::size_t from, int need) const {
  if (need <= 0) return true;
  if (from >= cand_.size()) return false;
  const Khz start = cand_[from];
  return ChainFits(level, start, TailBelow(level, start), nullptr, need);
}

bool Searcher::RoomBeside(const Level& level, const Range& range,
                          int need) const {
  ChainEnd end = TailBelow(level, range.low);
  end.Push(range.low);
  return ChainFits(level, range.low + rules_.spacing + 1, end, &range, need);
}

bool Searcher::RoomDue(int need) {
  // With 3tx3 or 2tx5 checked, the best plans tie on the 2tx3 margin and
  // the later families decide, which the chains know nothing of: there
  // they did not pay (case k of the wide bench, 12 carriers with every
  // family windowed, lost three raster steps of its 2tx3 margin in 10 s).
  if (has_secondary()) return false;
  std::uint8_t& wait = room_[static_cast<std::size_t>(need)].wait;
  if (wait == 0) return true;
  --wait;
  return false;
}

bool Searcher::NoteRoom(int need, bool room) {
  RoomChecks& checks = room_[static_cast<std::size_t>(need)];
  constexpr int kMostWait = 63;
  checks.gap =
      room ? static_cast<std::uint8_t>(std::min(2 * checks.gap + 1, kMostWait))
           : 0;
  checks.wait = checks.gap;
  return room;
}

bool Searcher::SkipRoomless(const Level& level, std::size_t& i, int need,
                            Khz& width) {
  const Khz x = cand_[i];
  Range range{x, x + width};
  // A range stays below the next fixed carrier, which then lies above
  // every carrier of it.
  const auto f = std::upper_bound(fixed_.begin(), fixed_.end(), x);
  if (f != fixed_.end()) range.high = std::min(range.high, *f - 1);
  if (range.high > x) {
    if (Tick()) return true;
    if (!NoteRoom(need, RoomBeside(level, range, need))) {
      i = static_cast<std::size_t>(
          std::upper_bound(cand_.begin() + static_cast<std::ptrdiff_t>(i),
                           cand_.end(), range.high) -
          cand_.begin());
      width = std::min(2 * width, threshold_);
      return true;
    }
    width /= 4;
  }
  if (!NoteRoom(need, RoomBeside(level, Range{x, x}, need))) {
    // Children without room come in runs: the next range is tried.
    width = std::max(width, 2 * raster_);
    ++i;
    return true;
  }
  return false;
}

}  // namespace zelmar::plan
