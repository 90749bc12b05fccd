#include "platform/option_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hushmark::platform {

int long_option_of(std::string_view element) {
  const std::string_view name = element.substr(2);
  // Neither takes an argument, so "--help=x" is refused as glibc does.
  if (name.empty() || name.find('=') != std::string_view::npos) {
    return kOtherLongOption;
  }
  if (std::string_view("help").starts_with(name)) return kHelpOption;
  if (std::string_view("version").starts_with(name)) return kVersionOption;
  return kOtherLongOption;
}

GnuShortOptions::GnuShortOptions(int argc, char** argv, const char* optstring)
    : argc_(argc),
      argv_(argv),
      optstring_(optstring),
      permute_(std::getenv("POSIXLY_CORRECT") == nullptr) {}

bool GnuShortOptions::at_non_option() const {
  const char* arg = argv_[index_];
  return arg[0] != '-' || arg[1] == '\0';
}

void GnuShortOptions::move_non_options_behind() {
  std::rotate(argv_ + first_non_option_, argv_ + last_non_option_,
              argv_ + index_);
  first_non_option_ += index_ - last_non_option_;
  last_non_option_ = index_;
}

bool GnuShortOptions::start_element() {
  last_non_option_ = std::min(last_non_option_, index_);
  first_non_option_ = std::min(first_non_option_, index_);
  if (permute_) {
    if (first_non_option_ != last_non_option_ && last_non_option_ != index_) {
      move_non_options_behind();
    } else if (last_non_option_ != index_) {
      first_non_option_ = index_;
    }
    while (index_ < argc_ && at_non_option())
      ++index_;
    last_non_option_ = index_;
  }
  if (index_ != argc_ && std::strcmp(argv_[index_], "--") == 0) {
    ++index_;
    if (first_non_option_ != last_non_option_ && last_non_option_ != index_) {
      move_non_options_behind();
    } else if (first_non_option_ == last_non_option_) {
      first_non_option_ = index_;
    }
    last_non_option_ = argc_;
    index_ = argc_;
  }
  if (index_ == argc_) {
    if (first_non_option_ != last_non_option_) index_ = first_non_option_;
    return false;
  }
  if (at_non_option()) return false;  // only reached without permutation
  next_char_ = argv_[index_] + 1;
  return true;
}

int GnuShortOptions::take_option() {
  char c = *next_char_++;
  const char* entry = std::strchr(optstring_, c);
  // The element is used up once its last character is being read.
  if (*next_char_ == '\0') ++index_;
  if (entry == nullptr || c == ':') {
    std::fprintf(stderr, "%s: invalid option -- '%c'\n", argv_[0], c);
    return '?';
  }
  if (entry[1] != ':') return c;
  if (*next_char_ != '\0') {
    argument_ = next_char_;
    ++index_;
  } else if (index_ == argc_) {
    std::fprintf(stderr, "%s: option requires an argument -- '%c'\n", argv_[0],
                 c);
    c = '?';
  } else {
    argument_ = argv_[index_++];
  }
  next_char_ = nullptr;
  return c;
}

int GnuShortOptions::next() {
  argument_ = nullptr;
  if (index_ > argc_) return -1;  // an empty argv, not even a program name
  if (next_char_ == nullptr || *next_char_ == '\0') {
    if (!start_element()) return -1;
    if (*next_char_ == '-') {  // "--name"; "--" alone ended the options
      next_char_ = nullptr;
      const char* element = argv_[index_++];
      const int option = long_option_of(element);
      if (option == kOtherLongOption) argument_ = element;
      return option;
    }
  }
  return take_option();
}

}  // namespace hushmark::platform
