#ifndef HUSHMARK_PLATFORM_INTERRUPT_H_
#define HUSHMARK_PLATFORM_INTERRUPT_H_

#include <string_view>

namespace hushmark::platform {

// A path as the operating system spells it.
#ifdef _WIN32
using NativePathView = std::wstring_view;
#else
using NativePathView = std::string_view;
#endif

// Has the file at path (or a folder of the program's own, with the files in
// it) removed should the run be interrupted (Ctrl+C, SIGINT, SIGTERM, SIGHUP,
// a console window closed) before it is forgotten;
// the program then ends as the interruption would have ended it. Up to 32
// files at once; a path past that, or too long, is not kept.
void remove_on_interrupt(NativePathView path);

// Forgets a path given to remove_on_interrupt, once its file is gone or has
// been put in place.
void forget_on_interrupt(NativePathView path);

// Holds back an interruption while it lives, for steps that must all be done
// or all be undone: one that comes meanwhile waits, and takes its course (the
// files given to remove_on_interrupt removed, the program ended) when the
// hold ends. Neither copied nor moved.
class InterruptHold {
 public:
  InterruptHold();
  InterruptHold(const InterruptHold&) = delete;
  InterruptHold& operator=(const InterruptHold&) = delete;
  ~InterruptHold();

  // True once an interruption has come and waits for the hold to end.
  bool interrupted() const;
};

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_INTERRUPT_H_
