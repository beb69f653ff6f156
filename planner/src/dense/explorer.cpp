// One worker's depth-first search of the dense search: node bitmaps kept
// per level, products ORed in as shifted bitmaps or set as runs.
#include "dense/explorer.h"

#include <algorithm>

namespace zelmar::plan::dense {

Explorer::Explorer(const Problem& problem, int most_new, Budget& budget)
    : p_(problem), meter_(budget), most_new_(std::max(most_new, 1)) {
  rev_bits_ = p_.top + 2 * p_.r2 + 1;
  sum_bits_ = p_.r3 == kUnchecked ? 0 : 2 * p_.top + 2 * p_.r3 + 1;
  rev_words_ = WordsFor(rev_bits_);
  sum_words_ = WordsFor(sum_bits_);
  const std::size_t per_level =
      static_cast<std::size_t>(p_.words + rev_words_ + 2 * sum_words_);
  // A step's root, one level per new carrier, a spare for building the
  // root, and the root itself.
  levels_.resize(static_cast<std::size_t>(most_new_) + 2);
  pool_.assign(per_level * (levels_.size() + 1), 0);
  const auto place = [&](Level& level, std::size_t slot) {
    Word* at = pool_.data() + slot * per_level;
    level.forbid = at;
    level.rev = at + p_.words;
    level.sums = level.rev + rev_words_;
    level.diffs = level.sums + sum_words_;
  };
  for (std::size_t l = 0; l < levels_.size(); ++l) place(levels_[l], l);
  place(root_, levels_.size());
  const std::size_t fixed_count = p_.fixed.size();
  fixed_count_ = fixed_count;
  carriers_.assign(fixed_count + static_cast<std::size_t>(most_new_) + 1, 0);
  std::copy(p_.fixed.begin(), p_.fixed.end(), carriers_.begin());
  path_.assign(static_cast<std::size_t>(most_new_), 0);
  // The root: the fixed carriers added one by one, every position kept.
  Level& spare = levels_.back();
  for (std::size_t k = 0; k < fixed_count; ++k) {
    const int f = p_.fixed[k];
    if (Forbidden(levels_[0], f)) fixed_valid_ = false;
    Add(levels_[0], spare, f, {carriers_.data(), k}, 0);
    std::swap(levels_[0], spare);
  }
  levels_[0].last = -1;
  Copy(levels_[0], root_);
}

void Explorer::Copy(const Level& from, Level& to) const {
  const std::size_t words =
      static_cast<std::size_t>(p_.words + rev_words_ + 2 * sum_words_);
  std::copy(from.forbid, from.forbid + words, to.forbid);
  to.last = from.last;
  to.taken = from.taken;
}

bool Explorer::Forbidden(const Level& level, int p) {
  return level.forbid[p / kWordBits] >> (p % kWordBits) & 1;
}

bool Explorer::RootAllows(int p) const { return !Forbidden(root_, p); }

void Explorer::ForbidRun(Level& to, int k, int v, int r, int low) const {
  SetRun(to.forbid, p_.top + 1, std::max(low, CeilDiv(v - r, k)),
         FloorDiv(v + r, k));
}

// 2tx3 products of y and a carrier q with the next carrier z among them:
// 2q - y near z, and 2z near y + q. Either reaches above y only where q is
// within the radius below y, or above it.
void Explorer::AddCoupled(Level& to, int y, std::span<const int> others,
                          int low) const {
  const std::size_t fixed_count = std::min(others.size(), fixed_count_);
  const auto forbid = [&](int q) {
    ForbidRun(to, 1, 2 * q - y, p_.r2, low);
    ForbidRun(to, 2, y + q, p_.r2, low);
  };
  for (std::size_t k = 0; k < fixed_count; ++k) forbid(others[k]);
  for (std::size_t k = others.size(); k > fixed_count; --k) {
    const int q = others[k - 1];
    if (low > 0 && q < y - p_.r2 - 1) break;  // chosen ones descend
    forbid(q);
  }
}

// 2tx5 products 3a - 2b near c of y, a carrier q and the next carrier z,
// in all six roles.
void Explorer::AddThirdOrder(Level& to, int y, std::span<const int> others,
                             int low) const {
  const int r = p_.r5;
  for (const int q : others) {
    ForbidRun(to, 2, 3 * y - q, r, low);  // 3y - 2z near q
    ForbidRun(to, 3, 2 * y + q, r, low);  // 3z - 2y near q
    ForbidRun(to, 1, 3 * y - 2 * q, r, low);
    ForbidRun(to, 1, 3 * q - 2 * y, r, low);
    ForbidRun(to, 3, y + 2 * q, r, low);  // 3z - 2q near y
    ForbidRun(to, 2, 3 * q - y, r, low);  // 3q - 2z near y
  }
}

void Explorer::Add(const Level& from, Level& to, int y,
                   std::span<const int> others, int low) const {
  const int first = low / kWordBits;
  const int last = p_.words - 1;
  const int top = p_.top;
  std::copy(from.forbid + first, from.forbid + p_.words, to.forbid + first);
  std::copy(from.rev, from.rev + rev_words_, to.rev);
  SetRun(to.forbid, top + 1, std::max(low, y - p_.spacing), y + p_.spacing);
  // 2tx3: z near 2y - q for every carrier q.
  OrShifted(to.forbid, first, last, from.rev, rev_words_, 2 * y - top - p_.r2);
  SetRun(to.rev, rev_bits_, top - y, top - y + 2 * p_.r2);
  if (p_.r3 != kUnchecked) {
    const int r = p_.r3;
    std::copy(from.sums, from.sums + sum_words_, to.sums);
    std::copy(from.diffs, from.diffs + sum_words_, to.diffs);
    // 3tx3: y + z near q1 + q2, and z - y near q1 - q2.
    OrShifted(to.forbid, first, last, from.sums, sum_words_, -(y + r));
    OrShifted(to.forbid, first, last, from.diffs, sum_words_, y - top - r);
    for (const int q : others) {
      SetRun(to.sums, sum_bits_, y + q, y + q + 2 * r);
      SetRun(to.diffs, sum_bits_, y - q + top, y - q + top + 2 * r);
      SetRun(to.diffs, sum_bits_, q - y + top, q - y + top + 2 * r);
    }
  }
  // Without fixed carriers, the others are chosen ones below y: when the
  // last is below y by more than the radius, none forbids anything here.
  if (!others.empty() &&
      (low == 0 || fixed_count_ > 0 || others.back() >= y - p_.r2 - 1)) {
    AddCoupled(to, y, others, low);
  }
  if (p_.r5 != kUnchecked) AddThirdOrder(to, y, others, low);
  to.last = y;
  to.taken = from.taken;
}

void Explorer::Push(int depth, int y) {
  const std::size_t at = fixed_count_ + static_cast<std::size_t>(depth);
  Level& to = levels_[static_cast<std::size_t>(depth) + 1];
  Add(levels_[static_cast<std::size_t>(depth)], to, y, {carriers_.data(), at},
      y + 1);
  carriers_[at] = y;
  path_[static_cast<std::size_t>(depth)] = y;
  prefix_ = std::min(prefix_, depth - 1);
  if (counted_) ++to.taken[static_cast<std::size_t>(p_.group_of[y])];
}

bool Explorer::GroupFits(const Level& level, int y) const {
  const int g = p_.group_of[static_cast<std::size_t>(y)];
  if (g < 0 || level.taken[static_cast<std::size_t>(g)] >=
                   p_.group_need[static_cast<std::size_t>(g)]) {
    return false;
  }
  for (std::size_t h = 0; h < p_.group_need.size(); ++h) {
    const int missing =
        p_.group_need[h] - level.taken[h] - (static_cast<int>(h) == g ? 1 : 0);
    if (missing > p_.group_after[h][static_cast<std::size_t>(y) + 1]) {
      return false;
    }
  }
  return true;
}

Word Explorer::Allowed(const Level& level, int w, int low) const {
  Word bits = p_.candidate[static_cast<std::size_t>(w)] & ~level.forbid[w];
  if (w == low / kWordBits) bits &= ~Word{0} << (low % kWordBits);
  return bits;
}

bool Explorer::Begin(int first, int target, bool counted, int anchor) {
  target_ = target;
  counted_ = counted;
  fixed_count_ = p_.fixed.size();
  if (anchor < 0) {
    Copy(root_, levels_[0]);
  } else {
    // Known to be in the plan: added as a fixed carrier would be.
    Add(root_, levels_[0], anchor, {carriers_.data(), fixed_count_}, 0);
    levels_[0].last = -1;
    carriers_[fixed_count_++] = anchor;
  }
  above_ = anchor < 0 ? 0 : 1;
  if (Forbidden(levels_[0], first)) return false;
  if (counted_ && !GroupFits(levels_[0], first)) return false;
  Push(0, first);
  return true;
}

void Explorer::Choices(int depth, std::vector<int>& out) const {
  out.clear();
  const int need = target_ - depth;
  if (need < 1) return;
  const Level& level = levels_[static_cast<std::size_t>(depth)];
  const int low = level.last + 1;
  int remaining = 0;
  for (int w = low / kWordBits; w < p_.words; ++w) {
    remaining += CountBits(Allowed(level, w, low));
  }
  for (int w = low / kWordBits; w < p_.words; ++w) {
    for (Word bits = Allowed(level, w, low); bits != 0; bits &= bits - 1) {
      const int y = w * kWordBits + LowestBit(bits);
      if (remaining < need || depth + p_.suffix[y] < target_ + above_) return;
      --remaining;
      if (!counted_ || GroupFits(level, y)) out.push_back(y);
    }
  }
}

Explorer::Outcome Explorer::Explore(std::span<const int> prefix, int task,
                                    StepShare& share) {
  task_ = task;
  share_ = &share;
  ++nodes_;
  if (meter_.Node() || nodes_ >= limit_) {
    share.stopped.store(true, std::memory_order_relaxed);
    return Outcome::kCut;
  }
  // Subtrees come in ascending order: the levels of the carriers this one
  // shares with the last one are kept.
  const int length = static_cast<int>(prefix.size());
  int kept = 0;
  while (kept < std::min(length, prefix_) &&
         path_[static_cast<std::size_t>(kept) + 1] ==
             prefix[static_cast<std::size_t>(kept)]) {
    ++kept;
  }
  for (int k = kept; k < length; ++k) {
    Push(k + 1, prefix[static_cast<std::size_t>(k)]);
  }
  prefix_ = length;
  if (length + 1 == target_) return Outcome::kFound;
  return Extend(length + 1);
}

Explorer::Outcome Explorer::Extend(int depth) {
  const Level& level = levels_[static_cast<std::size_t>(depth)];
  const int need = target_ - depth;
  const int low = level.last + 1;
  int remaining = 0;
  for (int w = low / kWordBits; w < p_.words; ++w) {
    remaining += CountBits(Allowed(level, w, low));
  }
  if (remaining < need) return Outcome::kNone;
  for (int w = low / kWordBits; w < p_.words; ++w) {
    for (Word bits = Allowed(level, w, low); bits != 0; bits &= bits - 1) {
      const int y = w * kWordBits + LowestBit(bits);
      // Both bounds only fall as y rises.
      if (remaining < need || depth + p_.suffix[y] < target_ + above_) {
        return Outcome::kNone;
      }
      --remaining;
      if (counted_ && !GroupFits(level, y)) continue;
      ++nodes_;
      if (meter_.Node() || nodes_ >= limit_) {
        share_->stopped.store(true, std::memory_order_relaxed);
        return Outcome::kCut;
      }
      if (share_->found.load(std::memory_order_relaxed) < task_ ||
          share_->stopped.load(std::memory_order_relaxed)) {
        return Outcome::kCut;
      }
      if (need == 1) {
        path_[static_cast<std::size_t>(depth)] = y;
        return Outcome::kFound;
      }
      Push(depth, y);
      const Outcome o = Extend(depth + 1);
      if (o != Outcome::kNone) return o;
    }
  }
  return Outcome::kNone;
}

}  // namespace zelmar::plan::dense
