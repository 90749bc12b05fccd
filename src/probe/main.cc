#include <string>
#include <vector>

#include "cli/echo.h"
#include "cli/settings.h"
#include "cli/startup.h"
#include "probe/probe_options.h"
#include "probe/run.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  Settings settings;
  std::vector<std::wstring> inputs;
  const OptionsOutcome read =
      read_probe_options(program.args.count(), program.args.values(), settings,
                         inputs, program.console);
  if (read != OptionsOutcome::kRun) return exit_status(read);
  echo_probe_settings(settings, program.console);
  echo_more_inputs(inputs, program.console);
  return run_probe(settings, inputs, program.console) ? 0 : 1;
}
