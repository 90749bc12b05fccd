#include "cli/startup.h"

#include <clocale>
#include <cstdio>

namespace hushmark {

Program start_program(int argc, char** argv) {
  // The console judges the locale's encoding when it is made.
  std::setlocale(LC_ALL, "");
  return {platform::Console(stdout), platform::Arguments(argc, argv)};
}

}  // namespace hushmark
