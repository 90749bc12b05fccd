#ifndef HUSHMARK_TESTS_FUZZ_FUZZ_CHECK_H_
#define HUSHMARK_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

namespace hushmark::fuzz {

// Stops the run when a property the harness checks does not hold; unlike
// assert it stays on in release builds, where the corpus is replayed too.
inline void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace hushmark::fuzz

#endif  // HUSHMARK_TESTS_FUZZ_FUZZ_CHECK_H_
