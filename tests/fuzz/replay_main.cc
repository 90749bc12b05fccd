// Feeds every file of the given corpus folders (or single files) to a fuzz
// target once, so that any compiler can run the corpus as a regular test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace hushmark::fuzz {
namespace {

std::vector<std::filesystem::path> inputs_of(const std::filesystem::path& arg) {
  std::vector<std::filesystem::path> found;
  if (!std::filesystem::is_directory(arg)) return {arg};
  for (const auto& entry : std::filesystem::directory_iterator(arg)) {
    if (entry.is_regular_file()) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)),
                    std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         bytes.size());
  return true;
}

}  // namespace
}  // namespace hushmark::fuzz

int main(int argc, char** argv) {
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& file : hushmark::fuzz::inputs_of(argv[i])) {
      if (!hushmark::fuzz::replay(file)) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      ++count;
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return count > 0 ? 0 : 1;  // an empty corpus would prove nothing
}
