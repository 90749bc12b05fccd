#include "cli/echo.h"

#include <string>

#include "cli/messages.h"

namespace hushmark {

namespace {

void echo_threshold(const Settings& settings, platform::Console& console) {
  console.write(msg::kEchoThreshold + std::to_wstring(settings.threshold) +
                L"\n");
}

void echo_min_silence(const Settings& settings, platform::Console& console) {
  if (settings.min_silence_ms != kDefaultMinSilenceMs) {
    console.write(msg::kEchoMinSilence +
                  std::to_wstring(settings.min_silence_ms) +
                  msg::kEchoMinSilenceSuffix);
  }
}

}  // namespace

void echo_settings(const Settings& settings, platform::Console& console,
                   std::span<const std::wstring> more_inputs) {
  console.write(msg::kEchoInfile + settings.infile + L"\n");
  echo_more_inputs(more_inputs, console);
  console.write(msg::kEchoOutfile + settings.outfile + L"\n");
  if (settings.threshold != 0) echo_threshold(settings, console);
  echo_min_silence(settings, console);
}

void echo_probe_settings(const Settings& settings, platform::Console& console) {
  console.write(msg::kEchoInfile + settings.infile + L"\n");
  if (settings.threshold_given) echo_threshold(settings, console);
  echo_min_silence(settings, console);
}

void echo_more_inputs(std::span<const std::wstring> inputs,
                      platform::Console& console) {
  for (std::size_t k = 1; k < inputs.size(); ++k) {
    console.write(msg::kEchoInfile + inputs[k] + L"\n");
  }
}

}  // namespace hushmark
