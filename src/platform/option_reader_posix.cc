#include <getopt.h>

#include <algorithm>
#include <cstdlib>

#include "platform/option_reader.h"

namespace hushmark::platform {
namespace {

const option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelpOption},
    {"version", no_argument, nullptr, kVersionOption},
    {nullptr, 0, nullptr, 0}};

// The element getopt starts on when it is not inside a cluster: the first at
// or after optind that holds options, as it moves the others behind them.
int next_element(int argc, char** argv, bool permute) {
  int k = std::max(optind, 1);
  while (permute && k < argc && (argv[k][0] != '-' || argv[k][1] == '\0'))
    ++k;
  return k;
}

}  // namespace

// glibc's getopt_long already follows the GNU rules.
OptionReader::OptionReader(int argc, char** argv, const char* optstring)
    : argc_(argc),
      argv_(argv),
      optstring_(optstring),
      permute_(std::getenv("POSIXLY_CORRECT") == nullptr) {}

int OptionReader::next() {
  const int k = cluster_ >= 0 ? cluster_ : next_element(argc_, argv_, permute_);
  const char* element = k < argc_ ? argv_[k] : nullptr;
  const bool long_option = cluster_ < 0 && element != nullptr &&
                           element[0] == '-' && element[1] == '-' &&
                           element[2] != '\0';
  // glibc would report an unknown long option in words of its own; the
  // program says what it takes instead.
  const int report = opterr;
  if (long_option) opterr = 0;
  int c = getopt_long(argc_, argv_, optstring_, kLongOptions, nullptr);
  opterr = report;
  argument_ = optarg;
  if (long_option) {
    if (c == kHelpOption || c == kVersionOption) return c;
    argument_ = element;
    return kOtherLongOption;
  }
  // An element is used up once optind has passed it.
  cluster_ = c != -1 && optind == k ? k : -1;
  return c;
}

const char* OptionReader::argument() const {
  return argument_;
}

int OptionReader::operands() const {
  return optind;
}

}  // namespace hushmark::platform
