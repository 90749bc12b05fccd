#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/paths.h"
#include "platform/process.h"

extern char** environ;

namespace hushmark::platform {
namespace {

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The child's ends of its standard input, output and error pipes, closed
// once it holds its own copies; -1 where it gets the null device instead.
struct ChildEnds {
  int input = -1;
  int output = -1;
  int error = -1;
  ~ChildEnds() { close(); }
  void close() {
    close_fd(input);
    close_fd(output);
    close_fd(error);
  }
};

// Opens the pipes that start() joins the child to; what is ours goes to
// input, output_fd and errors. Every end is closed in the child on exec, and
// the child's ends here once it runs.
bool open_ends(ChildEnds& ends, ChildInput input_from, ChildOutput output_to,
               int& input, int& output_fd, int& errors) {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
  errors = pipe[0];
  ends.error = pipe[1];
  if (output_to == ChildOutput::kPipe) {
    if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
    output_fd = pipe[0];
    ends.output = pipe[1];
  }
  if (input_from == ChildInput::kPipe) {
    if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
    ends.input = pipe[0];
    input = pipe[1];
  }
  return true;
}

// Starts words[0] with the rest of words as its arguments and ends as its
// standard handles, the null device where an end is missing; a name without
// a slash is looked up on PATH. 0 or the error that stopped it.
int create_process(std::vector<std::string>& words, const ChildEnds& ends,
                   pid_t& pid) {
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (ends.input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, ends.input, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null",
                                     O_RDONLY, 0);
  }
  if (ends.output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, ends.output, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null",
                                     O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, ends.error, STDERR_FILENO);
  // The child starts with no signal blocked and SIGPIPE as it usually is.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, pipe_signal;
  sigemptyset(&none);
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &pipe_signal);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  bool has_path = words[0].find('/') != std::string::npos;
  int error = has_path ? posix_spawn(&pid, argv[0], &actions, &attributes,
                                     argv.data(), environ)
                       : posix_spawnp(&pid, argv[0], &actions, &attributes,
                                      argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error;
}

StartResult failure_of(int error) {
  return error == ENOENT || error == ENOTDIR ? StartResult::kNotFound
                                             : StartResult::kFailed;
}

}  // namespace

struct ChildProcess::State {
  pid_t pid = -1;
  int input_fd = -1;  // our end of the child's standard input
  int error_fd = -1;  // our end of the child's standard error
  std::thread error_reader;
  mutable std::mutex error_mutex;
  std::string error_text;
  bool exited_ok = false;

  // Keeps the end of what the child writes on standard error, so that it
  // never waits on a full pipe.
  void read_errors() {
    char block[4096];
    for (;;) {
      ssize_t n = ::read(error_fd, block, sizeof block);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      std::lock_guard<std::mutex> lock(error_mutex);
      error_text.append(block, static_cast<std::size_t>(n));
      if (error_text.size() > 2 * kErrorTailBytes) {
        error_text.erase(0, error_text.size() - kErrorTailBytes);
      }
    }
    close_fd(error_fd);
  }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
  if (state_->pid > 0) {
    terminate();
    wait();
  }
}

StartResult ChildProcess::start(std::wstring_view program,
                                std::span<const std::wstring> args,
                                InputFile& output, ChildInput input,
                                ChildOutput output_to) {
  State& s = *state_;
  if (s.pid > 0 || s.error_reader.joinable()) return StartResult::kFailed;
  std::optional<std::string> name = narrow_path(program);
  if (!name || name->empty()) return StartResult::kNotFound;
  std::vector<std::string> words{std::move(*name)};
  for (const std::wstring& arg : args) {
    std::optional<std::string> bytes = narrow_path(arg);
    if (!bytes) return StartResult::kFailed;
    words.push_back(std::move(*bytes));
  }

  ChildEnds ends;
  int output_fd = -1;
  bool opened =
      open_ends(ends, input, output_to, s.input_fd, output_fd, s.error_fd);
  // A pipe that could not be opened fails the start as a broken one would.
  int error = opened ? create_process(words, ends, s.pid) : EPIPE;
  if (error != 0) {
    s.pid = -1;
    close_fd(output_fd);
    close_fd(s.input_fd);
    close_fd(s.error_fd);
    return failure_of(error);
  }
  ends.close();
  // Hints, which may be refused. An encoder fed through a small pipe would
  // wait on every pause of its feeder.
  if (s.input_fd >= 0) {
    ::fcntl(s.input_fd, F_SETPIPE_SZ, static_cast<int>(kSamplePipeBytes));
  }
  if (output_fd >= 0) {
    ::fcntl(output_fd, F_SETPIPE_SZ, static_cast<int>(kSamplePipeBytes));
    output.adopt(output_fd);
  }
  s.error_reader = std::thread([&s] { s.read_errors(); });
  return StartResult::kStarted;
}

bool ChildProcess::write_input(std::span<const std::uint8_t> bytes) {
  if (state_->input_fd < 0) return false;
  // A child that has stopped reading must not end this program with SIGPIPE:
  // the signal is held back on this thread and taken away unseen.
  sigset_t pipe_signal, old;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &old);
  bool ok = true;
  while (!bytes.empty()) {
    ssize_t n = ::write(state_->input_fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  if (!ok && errno == EPIPE) {
    const struct timespec now = {0, 0};
    while (sigtimedwait(&pipe_signal, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return ok;
}

void ChildProcess::close_input() {
  close_fd(state_->input_fd);
}

bool ChildProcess::wait() {
  close_input();
  if (state_->pid > 0) {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(state_->pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    state_->exited_ok =
        r == state_->pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    state_->pid = -1;
  }
  if (state_->error_reader.joinable()) state_->error_reader.join();
  return state_->exited_ok;
}

void ChildProcess::terminate() {
  if (state_->pid > 0) ::kill(state_->pid, SIGKILL);
}

std::string ChildProcess::error_text() const {
  std::lock_guard<std::mutex> lock(state_->error_mutex);
  std::string_view text = state_->error_text;
  if (text.size() > kErrorTailBytes)
    text.remove_prefix(text.size() - kErrorTailBytes);
  return std::string(text);
}

std::optional<std::wstring> environment_value(std::wstring_view name) {
  std::optional<std::string> bytes = narrow_path(name);
  const char* value = bytes ? std::getenv(bytes->c_str()) : nullptr;
  if (value == nullptr) return std::nullopt;
  return widen_argument(value);
}

unsigned processor_count() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
    return static_cast<unsigned>(CPU_COUNT(&set));
  }
  long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<unsigned>(n) : 1;
}

}  // namespace hushmark::platform
