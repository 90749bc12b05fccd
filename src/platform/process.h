#ifndef HUSHMARK_PLATFORM_PROCESS_H_
#define HUSHMARK_PLATFORM_PROCESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace hushmark::platform {

// How starting a program went.
enum class StartResult {
  kStarted,
  kNotFound,  // no such program (on PATH, or at the path given)
  kFailed,    // it is there but could not be started
};

// The buffer asked for the pipes that carry samples to and from a child: a
// decoder writes blocks of a mebibyte, and each should not wait for a read.
inline constexpr std::size_t kSamplePipeBytes = std::size_t{1} << 20;

// How much of the end of a child's standard error is kept for a message.
inline constexpr std::size_t kErrorTailBytes = 4096;

// What a child's standard input and output are joined to.
enum class ChildInput { kNothing, kPipe };
enum class ChildOutput { kPipe, kDiscard };

// Another program, started with its arguments as they are, never through a
// shell. Its standard output is read through a pipe with an InputFile, its
// standard input is empty or a pipe that write_input() fills, and the end of
// what it writes on standard error is kept for a message. Neither copied nor
// moved; an unfinished program is ended and waited for when the object goes.
class ChildProcess {
 public:
  ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts program (a path, or a name looked up on PATH) with args, which do
  // not include the program's own name. With ChildOutput::kPipe, output then
  // reads what it writes on standard output. Fails while a program started
  // before has not been waited for.
  StartResult start(std::wstring_view program,
                    std::span<const std::wstring> args, InputFile& output,
                    ChildInput input = ChildInput::kNothing,
                    ChildOutput output_to = ChildOutput::kPipe);

  // Writes every byte to its standard input; false once it reads no more.
  bool write_input(std::span<const std::uint8_t> bytes);

  // Closes its standard input, so that it sees the end of its input.
  void close_input();

  // Waits for it to end; true when it exited with status 0.
  bool wait();

  // Ends it at once, as when its output is no longer wanted; wait() follows.
  void terminate();

  // The last lines it wrote on standard error, as the bytes they were, once
  // wait() has returned.
  std::string error_text() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The value of an environment variable, or nothing when it is not set.
std::optional<std::wstring> environment_value(std::wstring_view name);

// The number of processors that may run this program's work at once (1 at
// least).
unsigned processor_count();

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_PROCESS_H_
