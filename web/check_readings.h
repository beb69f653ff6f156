// What the check made of the texts it was given, for the page to say beside
// the fields and under the finding lines: how far the engine read each field
// text and where its value went, and each finding's frequencies and product.
// Every value is the engine's own reading, written by FormatMHz; the page
// only words it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "zelmar/engine.h"

namespace zelmar::web {

// No wireless microphone works above this; a value above it is most likely
// a frequency typed in kHz.
inline constexpr double kHighestMicrophoneMHz = 3000.0;

// The bytes at the start of `text` that ParseFrequencyText reads as its
// number (white space, sign, digits, point, exponent); 0 when it finds no
// digit. Every byte from there on is ignored by the reading.
std::size_t NumberLength(std::string_view text);

// One JSON object for the texts of fields F1 to F12:
// {"fields":[per text {"value","empty","used","rest","slot","range","khz"}],
//  "findings":[per finding, in line order, {"frequencies":[...],"line"}]}.
// "used" counts bytes of the text, "rest" is the text after them, "slot" the
// 1-based field the value is shown in after the check; "range" is "high"
// (above kHighestMicrophoneMHz), "negative" or null, and "khz" the value
// read as kHz when that lies below kHighestMicrophoneMHz. A finding's line
// is "F5 = 2 × F4 − F2 = 2 × 808.000 − 806.125 = 809.875 MHz",
// "F4 − F3 = 807.000 − 806.875 = 0.125 MHz" or "F3 = F4 = 806.125 MHz".
std::string CheckReadingsJson(const FieldTexts& texts);

}  // namespace zelmar::web
