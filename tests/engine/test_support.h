// Shared helpers for the engine unit tests: bit-exact double comparison and
// set and text builders. The reference model of the run, with the expected
// lines and the exact decimal oracle for number reading and formatting, is
// check_model.h, which the fuzz targets share.
#pragma once

#include <gtest/gtest.h>
#include <zelmar/engine.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "check_model.h"

namespace zelmar_test {

using zelmar::FieldTexts;
using zelmar::FrequencySet;
using zelmar::kSlotCount;

inline constexpr double kInf = std::numeric_limits<double>::infinity();

inline std::string Describe(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g (0x%016llx)", v,
                static_cast<unsigned long long>(Bits(v)));
  return buf;
}

// Bit-for-bit equality, so that -0.0 differs from 0.0 and every ulp counts.
inline ::testing::AssertionResult SameBits(double expected, double actual) {
  if (Bits(expected) == Bits(actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "expected " << Describe(expected) << ", got " << Describe(actual);
}

// Equality of slot contents where 0.0 and -0.0 are the same empty slot.
inline bool SameSlotValue(double a, double b) {
  return (a == 0.0 && b == 0.0) || Bits(a) == Bits(b);
}

inline ::testing::AssertionResult SameSlots(const FrequencySet& expected,
                                            const FrequencySet& actual) {
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    if (!SameSlotValue(expected[i], actual[i]))
      return ::testing::AssertionFailure()
             << "slot F" << i + 1 << ": expected " << Describe(expected[i])
             << ", got " << Describe(actual[i]);
  }
  return ::testing::AssertionSuccess();
}

// Slots from 1 on; the rest stay 0.0 (empty).
inline FrequencySet Set(std::initializer_list<double> values) {
  FrequencySet s{};
  std::copy(values.begin(), values.end(), s.begin());
  return s;
}

// Field texts from F1 on; the rest stay empty.
inline FieldTexts Texts(std::initializer_list<const char*> texts) {
  FieldTexts t{};
  std::size_t i = 0;
  for (const char* text : texts) t[i++] = text;
  return t;
}

// A deterministic generator per test so that failures reproduce.
inline std::mt19937_64 Rng(std::uint64_t seed) { return std::mt19937_64(seed); }

}  // namespace zelmar_test
