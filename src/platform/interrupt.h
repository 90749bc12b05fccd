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

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_INTERRUPT_H_
