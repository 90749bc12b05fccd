#include <clocale>
#include <cstdio>

#include "cli/echo.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "extract/wave_reader.h"
#include "platform/console.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  // The locale decides how path arguments are read and how text is shown.
  std::setlocale(LC_ALL, "");
  platform::Console console(stdout);
  Settings settings;
  platform::Arguments args(argc, argv);
  if (!parse_options(args.count(), args.values(), settings, console)) return 1;
  if (!validate_settings(settings, console)) return 1;
  if (settings.outfile.empty() && !derive_outfile(settings, console)) return 1;
  echo_settings(settings, console);
  return run_extraction(settings, console) ? 0 : 1;
}
