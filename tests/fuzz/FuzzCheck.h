// What the fuzz targets share: an invariant that does not hold stops the run with its reason, so
// that libFuzzer keeps the input as a finding.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                             \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                       \
      std::fprintf(stderr, "\n");                                                              \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)
