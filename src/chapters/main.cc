#include "chapters/chapter_options.h"
#include "chapters/run.h"
#include "cli/options.h"
#include "cli/startup.h"

int main(int argc, char** argv) {
  using namespace hushmark;
  Program program = start_program(argc, argv);
  ChapterSettings settings;
  const OptionsOutcome read = read_chapter_options(
      program.args.count(), program.args.values(), settings, program.console);
  if (read != OptionsOutcome::kRun) return exit_status(read);
  if (settings.scan.outfile.empty() &&
      !derive_outfile(settings.scan, program.console,
                      format_suffix(settings.format))) {
    return 1;
  }
  echo_chapter_settings(settings, program.console);
  return run_chapters(settings, program.console) ? 0 : 1;
}
