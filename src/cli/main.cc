#include "cli/echo.h"
#include "cli/extraction.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "cli/startup.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  Settings settings;
  const OptionsOutcome read = read_options(
      program.args.count(), program.args.values(), settings, program.console);
  if (read != OptionsOutcome::kRun) return exit_status(read);
  echo_settings(settings, program.console);
  return run_extraction(settings, program.console) ? 0 : 1;
}
