// Field texts for the behaviour tests, and the comparison of what Zelmar
// shows after Calculate with what the engine computes for the same texts.
#pragma once

#include <array>
#include <random>
#include <string>

#include "zelmar/engine.h"
#include "zelmar_session.h"

namespace zelmar_gui {

using Texts = std::array<std::wstring, 12>;  // F1 ... F12

zelmar::CheckResult RunEngine(const Texts& texts);

// Writes the texts into F1..F12, reads back what the fields hold, presses
// Calculate and expects every field and the result box to show exactly the
// engine's texts for what the fields held. Returns the result box text.
std::wstring ExpectCalculateMatchesEngine(ZelmarSession& zelmar,
                                          const Texts& texts);

// A random set: raster plans with intermodulation hits and close pairs,
// negatives, infinities, exponents, white space, junk and Japanese text.
Texts RandomTexts(std::mt19937& random);

// Printable summary of a set (UTF-8, long texts shortened).
std::string Describe(const Texts& texts);

}  // namespace zelmar_gui
