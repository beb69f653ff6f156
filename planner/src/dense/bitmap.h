// Multiword bitmaps over raster positions, as ruler and progression-free set
// searches keep them: a set of positions is a run of 64-bit words, bit p of
// word p / 64 standing for position p. Shifted copies of one bitmap ORed
// into another give a whole family of products in a few word operations.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

namespace zelmar::plan::dense {

using Word = std::uint64_t;
inline constexpr int kWordBits = 64;

constexpr int WordsFor(int bits) { return (bits + kWordBits - 1) / kWordBits; }

// Floor and ceiling of a / b for b > 0, whatever the sign of a.
inline int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
inline int CeilDiv(int a, int b) { return -FloorDiv(-a, b); }

// Sets the bits lo..hi (both included) that lie within [0, bits).
inline void SetRun(Word* map, int bits, int lo, int hi) {
  lo = std::max(lo, 0);
  hi = std::min(hi, bits - 1);
  if (lo > hi) return;
  const int first = lo / kWordBits, last = hi / kWordBits;
  const Word low_mask = ~Word{0} << (lo % kWordBits);
  const Word high_mask = ~Word{0} >> (kWordBits - 1 - hi % kWordBits);
  if (first == last) {
    map[first] |= low_mask & high_mask;
    return;
  }
  map[first] |= low_mask;
  for (int w = first + 1; w < last; ++w) map[w] = ~Word{0};
  map[last] |= high_mask;
}

// The 64 bits of `map` (of `words` words) from bit `start` on; bits outside
// the map read as zero.
inline Word BitsFrom(const Word* map, int words, int start) {
  const int w = FloorDiv(start, kWordBits);
  const int shift = start - w * kWordBits;
  const auto at = [&](int k) { return k >= 0 && k < words ? map[k] : Word{0}; };
  if (shift == 0) return at(w);
  return (at(w) >> shift) | (at(w + 1) << (kWordBits - shift));
}

// dst bit p |= src bit (p - offset), for the words first..last of dst.
inline void OrShifted(Word* dst, int first, int last, const Word* src,
                      int src_words, int offset) {
  for (int w = first; w <= last; ++w) {
    dst[w] |= BitsFrom(src, src_words, w * kWordBits - offset);
  }
}

// Written out: without a target that has a popcount instruction,
// std::popcount is a library call on every node.
inline int CountBits(Word w) {
  w -= (w >> 1) & 0x5555555555555555u;
  w = (w & 0x3333333333333333u) + ((w >> 2) & 0x3333333333333333u);
  w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((w * 0x0101010101010101u) >> 56);
}
inline int LowestBit(Word w) { return std::countr_zero(w); }

}  // namespace zelmar::plan::dense
