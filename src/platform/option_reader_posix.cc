#include <getopt.h>

#include "platform/option_reader.h"

namespace hushmark::platform {

// glibc's getopt already follows the GNU rules.
OptionReader::OptionReader(int argc, char** argv, const char* optstring)
    : argc_(argc), argv_(argv), optstring_(optstring) {}

int OptionReader::next() {
  return getopt(argc_, argv_, optstring_);
}

const char* OptionReader::argument() const {
  return optarg;
}

int OptionReader::operands() const {
  return optind;
}

}  // namespace hushmark::platform
