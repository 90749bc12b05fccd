#include "cli/usage.h"

#include "cli/messages.h"

namespace hushmark {

void print_usage(platform::Console& console) {
  console.write(msg::kUsage);
}

}  // namespace hushmark
