#include "cli/echo.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "cli/startup.h"
#include "extract/wave_reader.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  Settings settings;
  if (!read_options(program.args.count(), program.args.values(), settings,
                    program.console)) {
    return 1;
  }
  echo_settings(settings, program.console);
  return run_extraction(settings, program.console) ? 0 : 1;
}
