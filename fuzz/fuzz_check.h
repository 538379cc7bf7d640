// What the fuzz targets do when a property they check does not hold: say
// which one, then abort so libFuzzer records the input as a finding.
#ifndef ZOL_FUZZ_FUZZ_CHECK_H
#define ZOL_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz: property broken: %s\n", what);
    std::abort();
  }
}

#endif  // ZOL_FUZZ_FUZZ_CHECK_H
