#ifndef HUSHMARK_TESTS_FUZZ_FUZZ_CHECK_H_
#define HUSHMARK_TESTS_FUZZ_FUZZ_CHECK_H_

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace hushmark::fuzz {

// Stops the run when a property the harness checks does not hold; unlike
// assert it stays on in release builds, where the corpus is replayed too.
inline void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// A new folder for a harness's files: the one HUSHMARK_FUZZ_FOLDER names when
// it is set, so that a run from a fixed seed sees the same paths each time
// (paths reach libFuzzer's mutations through comparisons), else a fresh one
// under base. Empty when it cannot be made.
inline std::string make_work_folder(const char* base) {
  if (const char* fixed = std::getenv("HUSHMARK_FUZZ_FOLDER")) {
    return ::mkdir(fixed, 0700) == 0 ? fixed : "";
  }
  std::string pattern = std::string(base) + "/hushmark-fuzz-XXXXXX";
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
}

}  // namespace hushmark::fuzz

#endif  // HUSHMARK_TESTS_FUZZ_FUZZ_CHECK_H_
