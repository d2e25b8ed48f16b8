// A broken invariant aborts with its message; libFuzzer keeps the input that got there.
#pragma once
#include <cstdio>
#include <cstdlib>

namespace kestrova::fuzzing {
inline void require(bool holds, const char* what) {
  if (!holds) std::fprintf(stderr, "invariant violated: %s\n", what), std::abort();
}
}  // namespace kestrova::fuzzing
