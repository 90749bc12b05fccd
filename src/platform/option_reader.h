#ifndef HUSHMARK_PLATFORM_OPTION_READER_H_
#define HUSHMARK_PLATFORM_OPTION_READER_H_

#include <string_view>

namespace hushmark::platform {

// What next() gives for an element that starts with "--": "--help" and
// "--version", each also by its start ("--he"), and kOtherLongOption for any
// other, the element itself then being its argument. Nothing is printed for
// these: the program words its own answer.
inline constexpr int kHelpOption = 0x100;
inline constexpr int kVersionOption = 0x101;
inline constexpr int kOtherLongOption = 0x102;

// Which of the above an element that starts with "--" (not "--" alone) is,
// as glibc's getopt_long tells with a table of "help" and "version".
int long_option_of(std::string_view element);

// Short options read by the rules of GNU getopt: option arguments attached or
// in the next element, non-options moved behind the options unless
// POSIXLY_CORRECT is set, "--" ending the options, and a diagnostic on stderr
// for an unknown option or a missing argument. Only the ':' of optstring is
// understood. Long options are told apart as above. For C libraries whose
// getopt follows other rules.
class GnuShortOptions {
 public:
  // Reads argv, which it may reorder; POSIXLY_CORRECT is looked up once, here.
  GnuShortOptions(int argc, char** argv, const char* optstring);

  // The next option character; '?' for an unknown option or one missing its
  // argument; a long option's value; -1 once the options end.
  int next();

  // The argument of the option last returned, or nullptr.
  const char* argument() const { return argument_; }

  // Where the non-options start once next() has returned -1, as optind.
  int index() const { return index_; }

 private:
  // True when the element at index_ is not an option ("-" alone is not).
  bool at_non_option() const;
  // Moves to the next element holding options; false once there is none.
  bool start_element();
  // Rotates the non-options skipped so far behind the options read since.
  void move_non_options_behind();
  // Reads one option character from the current element.
  int take_option();

  int argc_;
  char** argv_;
  const char* optstring_;
  bool permute_;  // false under POSIXLY_CORRECT: stop at the first non-option
  int index_ = 1;
  // The rest of an option cluster such as "-hi" still to be read.
  const char* next_char_ = nullptr;
  int first_non_option_ = 1;  // the skipped non-options, [first, last)
  int last_non_option_ = 1;
  const char* argument_ = nullptr;
};

// The command-line options in order, read by GNU getopt's rules on every
// system, with "--help", "--version" and other long options told apart as
// above. Read one command line with one reader.
class OptionReader {
 public:
  // Reads argv, which it may reorder.
  OptionReader(int argc, char** argv, const char* optstring);

  // The next option character, '?' for a bad one, a long option's value, -1
  // once the options end.
  int next();

  // The argument of the option last returned, or nullptr.
  const char* argument() const;

  // Where the arguments that are not options start, once next() has
  // returned -1.
  int operands() const;

 private:
#ifdef _WIN32
  GnuShortOptions own_;  // mingw-w64's getopt follows other rules
#else
  // What glibc's getopt_long, which follows the GNU rules itself, is called
  // with.
  int argc_;
  char** argv_;
  const char* optstring_;
  bool permute_;  // false under POSIXLY_CORRECT, as glibc reads it
  // The element whose cluster getopt is in the middle of, or -1.
  int cluster_ = -1;
  const char* argument_ = nullptr;
#endif
};

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_OPTION_READER_H_
