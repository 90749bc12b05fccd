#include "e2e/end_to_end.h"

#include <cstdlib>
#include <sstream>

namespace hushmark::testing {
namespace {

namespace fs = std::filesystem;

void list_into(const fs::path& root, const fs::path& folder,
               std::set<std::string>& names) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().lexically_relative(root).string());
    if (!entry.is_symlink() && entry.is_directory())
      list_into(root, entry.path(), names);
  }
}

}  // namespace

std::set<std::string> listing(const fs::path& folder) {
  std::set<std::string> names;
  list_into(folder, folder, names);
  return names;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.ends_with('\r')) line.pop_back();
    out.push_back(line);
  }
  return out;
}

bool installed(const std::string& program) {
  return std::system(("command -v " + program + " > /dev/null 2>&1").c_str()) ==
         0;
}

bool run_in(const fs::path& folder, const std::string& command) {
  return std::system(("cd '" + folder.string() + "' && timeout 120 " + command)
                         .c_str()) == 0;
}

}  // namespace hushmark::testing
