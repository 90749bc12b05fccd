#include "test_support.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "platform/paths.h"

namespace hushmark::testing {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "hushmark-test-XXXXXX").string();
  if (char* made = mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

CapturedConsole::CapturedConsole()
    : file_(std::tmpfile()),
      console_(std::make_unique<platform::Console>(file_)) {}

CapturedConsole::~CapturedConsole() {
  console_.reset();
  std::fclose(file_);
}

std::string CapturedConsole::text() {
  std::fflush(file_);
  std::string out;
  std::rewind(file_);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) out.append(buf, n);
  return out;
}

std::wstring wide(const std::filesystem::path& path) {
  return platform::widen_argument(path.string());
}

}  // namespace hushmark::testing
