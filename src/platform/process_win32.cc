#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <bit>
#include <vector>

#include "platform/command_line.h"
#include "platform/process.h"

namespace hushmark::platform {
namespace {

void close_handle(HANDLE& h) {
  if (h != nullptr) CloseHandle(h);
  h = nullptr;
}

// The end of a child's standard error, read by a thread of its own so that
// the child never stops on a full pipe.
struct ErrorDrain {
  HANDLE pipe = nullptr;    // our end of the pipe
  HANDLE thread = nullptr;  // the reader, until it has been waited for
  std::string tail;         // only the reader touches it until it ends
};

DWORD WINAPI drain_errors(void* context) {
  ErrorDrain& drain = *static_cast<ErrorDrain*>(context);
  char buffer[4096];
  DWORD n = 0;
  // A read succeeds with 0 bytes when the child writes nothing; the end comes
  // as a broken pipe once every writer has closed it.
  while (ReadFile(drain.pipe, buffer, sizeof buffer, &n, nullptr)) {
    drain.tail.append(buffer, n);
    if (drain.tail.size() > 2 * kErrorTailBytes) {
      drain.tail.erase(0, drain.tail.size() - kErrorTailBytes);
    }
  }
  return 0;
}

// The last kErrorTailBytes of text.
std::string tail_of(const std::string& text) {
  std::size_t cut =
      text.size() > kErrorTailBytes ? text.size() - kErrorTailBytes : 0;
  return text.substr(cut);
}

// The child's three standard handles, closed once it holds its own copies.
struct ChildEnds {
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  HANDLE error = nullptr;
  ~ChildEnds() {
    close_handle(input);
    close_handle(output);
    close_handle(error);
  }
};

// The null device, as standard input or as output that nobody reads.
HANDLE open_null(DWORD access) {
  HANDLE h = CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool inheritable(HANDLE h) {
  return h != nullptr &&
         SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

// Opens the pipes and null devices that start() joins the child to; what is
// ours goes to input, output_fd and errors.
bool open_ends(ChildEnds& ends, ChildInput input_from, ChildOutput output_to,
               HANDLE& input, int& output_fd, HANDLE& errors) {
  if (input_from == ChildInput::kPipe) {
    if (!CreatePipe(&ends.input, &input, nullptr,
                    static_cast<DWORD>(kSamplePipeBytes))) {
      return false;
    }
  } else {
    ends.input = open_null(GENERIC_READ);
  }
  if (output_to == ChildOutput::kPipe) {
    HANDLE ours = nullptr;
    if (!CreatePipe(&ours, &ends.output, nullptr,
                    static_cast<DWORD>(kSamplePipeBytes))) {
      return false;
    }
    output_fd = _open_osfhandle(reinterpret_cast<intptr_t>(ours),
                                _O_RDONLY | _O_BINARY);
    if (output_fd < 0) {
      CloseHandle(ours);
      return false;
    }
  } else {
    ends.output = open_null(GENERIC_WRITE);
  }
  if (!CreatePipe(&errors, &ends.error, nullptr, 0)) return false;
  return inheritable(ends.input) && inheritable(ends.output) &&
         inheritable(ends.error);
}

// Starts the command line with ends as its standard handles. On Windows
// versions that take a list of the handles to inherit, nothing else is
// inherited, not even the ends of another child started at the same moment.
bool create_process(const std::wstring& path, std::wstring& line,
                    const ChildEnds& ends, PROCESS_INFORMATION& info) {
  HANDLE handles[] = {ends.input, ends.output, ends.error};
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> storage(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  bool listed =
      size > 0 && InitializeProcThreadAttributeList(list, 1, 0, &size);
  if (listed &&
      !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                 handles, sizeof handles, nullptr, nullptr)) {
    DeleteProcThreadAttributeList(list);
    listed = false;
  }
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = listed ? sizeof startup : sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = ends.input;
  startup.StartupInfo.hStdOutput = ends.output;
  startup.StartupInfo.hStdError = ends.error;
  if (listed) startup.lpAttributeList = list;
  // A console program started from a console window shares it; a console of
  // its own that never shows keeps it off our input and flashes no window
  // when we have none.
  DWORD flags = CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  BOOL started =
      CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                     nullptr, nullptr, &startup.StartupInfo, &info);
  DWORD error = GetLastError();
  if (listed) DeleteProcThreadAttributeList(list);
  SetLastError(error);
  return started != 0;
}

bool is_file(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The file that a program name names: a path as it is, with .exe added when
// it has no extension; a bare name looked up in this program's own folder and
// then on PATH, never in the current folder, where a recording's folder could
// hold a program of the same name. Empty when there is none.
std::wstring find_program(std::wstring_view program) {
  const std::size_t name_at = program.find_last_of(L"\\/:");
  const std::wstring_view name =
      name_at == program.npos ? program : program.substr(name_at + 1);
  const bool has_extension = name.find(L'.') != name.npos;
  auto existing = [&](std::wstring path) {
    if (!has_extension) path += L".exe";
    return is_file(path) ? path : std::wstring();
  };
  if (name_at != program.npos) return existing(std::wstring(program));
  std::vector<std::wstring> folders;
  std::wstring own(MAX_PATH, L'\0');
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, own.data(),
                                 static_cast<DWORD>(own.size()))) ==
         own.size()) {
    own.resize(own.size() * 2);
  }
  own.resize(n);
  if (std::size_t cut = own.find_last_of(L"\\/"); cut != own.npos) {
    folders.push_back(own.substr(0, cut));
  }
  std::wstring path = environment_value(L"PATH").value_or(std::wstring());
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = std::min(path.find(L';', at), path.size());
    std::wstring folder = path.substr(at, end - at);
    // A quoted entry is one folder whose name holds a semicolon.
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    if (!folder.empty()) folders.push_back(folder);
    at = end + 1;
  }
  for (std::wstring& folder : folders) {
    if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    std::wstring found = existing(folder + std::wstring(name));
    if (!found.empty()) return found;
  }
  return {};
}

StartResult failure_of(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_BAD_NETPATH:
    return StartResult::kNotFound;
  default:
    return StartResult::kFailed;
  }
}

}  // namespace

struct ChildProcess::State {
  HANDLE process = nullptr;
  HANDLE input = nullptr;  // our end of its standard input's pipe
  ErrorDrain errors;
  bool waited = false;
  bool succeeded = false;

  ~State() {
    close_handle(input);
    close_handle(errors.thread);
    close_handle(errors.pipe);
    close_handle(process);
  }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() {
  if (state_->process != nullptr && !state_->waited) {
    terminate();
    wait();
  }
}

StartResult ChildProcess::start(std::wstring_view program,
                                std::span<const std::wstring> args,
                                InputFile& output, ChildInput input,
                                ChildOutput output_to) {
  State& s = *state_;
  if (s.process != nullptr) return StartResult::kFailed;
  // No file name holds a quote, and a NUL would end the name early.
  if (program.empty() || program.find(L'"') != program.npos ||
      program.find(L'\0') != program.npos) {
    return StartResult::kNotFound;
  }
  std::vector<std::wstring> words{std::wstring(program)};
  for (const std::wstring& arg : args) {
    if (arg.find(L'\0') != arg.npos) return StartResult::kFailed;
    words.push_back(arg);
  }
  std::wstring line = join_command_line(words);
  const std::wstring path = find_program(program);
  if (path.empty()) return StartResult::kNotFound;

  ChildEnds ends;
  int output_fd = -1;
  PROCESS_INFORMATION info = {};
  bool opened =
      open_ends(ends, input, output_to, s.input, output_fd, s.errors.pipe);
  if (!opened || !create_process(path, line, ends, info)) {
    StartResult result =
        opened ? failure_of(GetLastError()) : StartResult::kFailed;
    if (output_fd >= 0) _close(output_fd);
    close_handle(s.input);
    close_handle(s.errors.pipe);
    return result;
  }
  CloseHandle(info.hThread);
  s.process = info.hProcess;
  if (output_fd >= 0) output.adopt(output_fd);
  s.errors.thread = CreateThread(nullptr, 64 * 1024, drain_errors, &s.errors,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (s.errors.thread == nullptr) {
    // Without a reader the child could stop on a full pipe: it must not run.
    terminate();
    wait();
    return StartResult::kFailed;
  }
  return StartResult::kStarted;
}

bool ChildProcess::write_input(std::span<const std::uint8_t> bytes) {
  HANDLE pipe = state_->input;
  if (pipe == nullptr) return false;
  while (!bytes.empty()) {
    DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
    DWORD done = 0;
    if (!WriteFile(pipe, bytes.data(), want, &done, nullptr) || done == 0) {
      return false;
    }
    bytes = bytes.subspan(done);
  }
  return true;
}

void ChildProcess::close_input() {
  close_handle(state_->input);
}

bool ChildProcess::wait() {
  State& s = *state_;
  if (s.process == nullptr) return false;
  if (s.waited) return s.succeeded;
  // Once we wait, no more input can come; a child still reading it would
  // otherwise wait for us forever.
  close_handle(s.input);
  WaitForSingleObject(s.process, INFINITE);
  DWORD code = 1;
  s.succeeded = GetExitCodeProcess(s.process, &code) && code == 0;
  if (s.errors.thread != nullptr) {
    WaitForSingleObject(s.errors.thread, INFINITE);
    close_handle(s.errors.thread);
  }
  close_handle(s.errors.pipe);
  s.waited = true;
  return s.succeeded;
}

void ChildProcess::terminate() {
  State& s = *state_;
  if (s.process != nullptr && !s.waited) TerminateProcess(s.process, 1);
}

std::string ChildProcess::error_text() const {
  return state_->waited ? tail_of(state_->errors.tail) : std::string();
}

std::optional<std::wstring> environment_value(std::wstring_view name) {
  // A NUL would end the name early.
  if (name.empty() || name.find(L'\0') != name.npos) return std::nullopt;
  std::wstring key(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(key.c_str(), value.data(),
                                      static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::wstring();
    }
    // n counts the terminator only when the buffer was too small.
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.resize(n);
  }
}

unsigned processor_count() {
  DWORD_PTR mine = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &mine, &system) &&
      mine != 0) {
    return static_cast<unsigned>(std::popcount(mine));
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return std::max<unsigned>(1, info.dwNumberOfProcessors);
}

}  // namespace hushmark::platform
