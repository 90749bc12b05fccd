#include "platform/option_reader.h"

namespace hushmark::platform {

// The getopt of mingw-w64 does not permute, and its getopt_long stops at an
// option cluster that ends in '-'; the own reader keeps Linux's rules.
OptionReader::OptionReader(int argc, char** argv, const char* optstring)
    : own_(argc, argv, optstring) {}

int OptionReader::next() {
  return own_.next();
}

const char* OptionReader::argument() const {
  return own_.argument();
}

int OptionReader::operands() const {
  return own_.index();
}

}  // namespace hushmark::platform
