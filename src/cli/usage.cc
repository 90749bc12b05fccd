#include "cli/usage.h"

namespace hushmark {

void print_usage(const wchar_t* usage, platform::Console& console) {
  console.write(usage);
}

}  // namespace hushmark
