#ifndef HUSHMARK_CLI_STARTUP_H_
#define HUSHMARK_CLI_STARTUP_H_

#include "platform/console.h"
#include "platform/paths.h"

namespace hushmark {

// What every program starts with: its console on standard output and its
// arguments as the locale reads them.
struct Program {
  platform::Console console;
  platform::Arguments args;
};

// Sets the locale from the environment, which decides how arguments are read
// and how text is shown, then makes the console and reads the arguments.
Program start_program(int argc, char** argv);

}  // namespace hushmark

#endif  // HUSHMARK_CLI_STARTUP_H_
