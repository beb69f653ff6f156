// How a fuzz target stops on a broken property: one line on stderr, then
// abort, so that libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Defined by each target: the name its failures are reported under.
extern const char* const kTargetName;

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "%s: %s\n", kTargetName, what);
  std::abort();
}

inline void Require(bool ok, const char* what) {
  if (!ok) Fail(what);
}

}  // namespace fuzz
