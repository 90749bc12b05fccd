// How fast read() copies a page-cached file into our buffer, depending on
// where in the buffer each read lands and where in the file it starts.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kFileBytes = 64 << 20;
constexpr std::size_t kReadBytes = 512 * 1024;
constexpr std::size_t kHeaderBytes = 44;  // where a plain WAVE's samples start

// A temporary file, written once so that it sits in the page cache.
int cached_file() {
  static const int fd = [] {
    char name[] = "/tmp/hushmark-read-bench-XXXXXX";
    int f = mkstemp(name);
    if (f < 0) return -1;
    unlink(name);
    std::vector<char> block(kReadBytes, 'x');
    for (std::size_t n = 0; n < kFileBytes + kReadBytes; n += block.size()) {
      if (write(f, block.data(), block.size()) < 0) return -1;
    }
    return f;
  }();
  return fd;
}

// Reads the file in kReadBytes pieces starting at file offset `first`, each
// landing `lead(offset)` bytes past a page-aligned buffer start.
template <typename Lead>
void read_all(benchmark::State& state, std::size_t first, Lead lead) {
  int fd = cached_file();
  if (fd < 0) {
    state.SkipWithError("cannot make the file");
    return;
  }
  std::unique_ptr<std::uint8_t[]> storage(new std::uint8_t[kReadBytes + 8192]);
  auto addr = reinterpret_cast<std::uintptr_t>(storage.get());
  std::uint8_t* page = storage.get() + (4096 - addr % 4096) % 4096;
  for (auto _ : state) {
    for (std::size_t off = first; off < first + kFileBytes; off += kReadBytes) {
      ssize_t got =
          pread(fd, page + lead(off), kReadBytes, static_cast<off_t>(off));
      benchmark::DoNotOptimize(got);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kFileBytes));
}

void BM_CongruentMod64(benchmark::State& s) {
  read_all(s, kHeaderBytes, [](std::size_t off) { return off % 64; });
}
void BM_CongruentMod4096(benchmark::State& s) {
  read_all(s, kHeaderBytes, [](std::size_t off) { return off % 4096; });
}
void BM_PageAlignedOffsets(benchmark::State& s) {
  read_all(s, 0, [](std::size_t) { return std::size_t{0}; });
}
void BM_Misaligned(benchmark::State& s) {
  read_all(s, kHeaderBytes, [](std::size_t off) { return (off + 1) % 64; });
}

BENCHMARK(BM_CongruentMod64)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_CongruentMod4096)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PageAlignedOffsets)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Misaligned)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
