#include "test_support.h"

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "cli/extraction.h"
#include "platform/paths.h"

namespace hushmark::testing {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "hushmark-test-XXXXXX")
          .string();
  if (char* made = mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

CapturedConsole::CapturedConsole()
    : file_(std::tmpfile()),
      console_(std::make_unique<platform::Console>(file_)) {}

CapturedConsole::~CapturedConsole() {
  console_.reset();
  std::fclose(file_);
}

std::string CapturedConsole::text() {
  std::fflush(file_);
  std::string out;
  std::rewind(file_);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0)
    out.append(buf, n);
  return out;
}

namespace {

// Longer than any run takes, even the 4 GiB scan under the sanitizers on a
// loaded machine.
constexpr std::chrono::seconds kTimeLimit{120};

// Reads both pipes to their end without letting either fill up; false when
// the time limit passed first.
bool drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_count = 2;
  while (open_count > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 ||
        poll(fds, 2, static_cast<int>(left.count())) <= 0) {
      for (pollfd& p : fds)
        if (p.fd >= 0) ::close(p.fd);
      return false;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[65536];
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  return true;
}

ToolRun run_program(const std::string& program,
                    const std::filesystem::path& folder,
                    const std::vector<std::string>& args,
                    const std::string& lang,
                    const std::vector<std::string>& extra_env,
                    const std::string* piped) {
  std::vector<std::string> env = {"LANG=" + lang, "PATH=/usr/bin:/bin"};
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp, argv;
  for (std::string& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string binary = program;
  argv.push_back(binary.data());
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0)
    return {-1, "", "pipe failed"};
  pid_t pid = fork();
  if (pid == 0) {
    // Without input of its own the tool reads nothing from the test's.
    int in = piped ? in_pipe[0] : ::open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1],
                   err_pipe[0], err_pipe[1]})
      ::close(fd);
    if (chdir(folder.c_str()) == 0) execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  // A process of its own feeds the pipe, so that a tool that stops reading
  // early neither blocks the test nor ends it with SIGPIPE.
  pid_t feeder = piped ? fork() : -1;
  if (feeder == 0) {
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    std::string_view rest = *piped;
    while (!rest.empty()) {
      ssize_t n = ::write(in_pipe[1], rest.data(), rest.size());
      if (n <= 0) break;
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
    _exit(0);
  }
  ::close(in_pipe[1]);
  ToolRun run{-1, "", ""};
  bool finished = drain(out_pipe[0], err_pipe[0], run.out, run.err);
  if (!finished) {
    // A run that hangs fails its test instead of stopping the suite.
    kill(pid, SIGKILL);
    if (feeder > 0) kill(feeder, SIGKILL);
    run.out += "<timed out>";
  }
  if (feeder > 0) waitpid(feeder, nullptr, 0);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (finished && WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
  return run;
}

}  // namespace

ToolRun run_tool(const std::filesystem::path& folder,
                 const std::vector<std::string>& args, const std::string& lang,
                 const std::vector<std::string>& extra_env,
                 const std::string* piped) {
  return run_program(HUSHMARK_BINARY, folder, args, lang, extra_env, piped);
}

ToolRun run_probe(const std::filesystem::path& folder,
                  const std::vector<std::string>& args,
                  const std::string* piped,
                  const std::vector<std::string>& extra_env) {
  return run_program(HUSHMARK_PROBE_BINARY, folder, args, "C.UTF-8", extra_env,
                     piped);
}

ToolRun run_chapters(const std::filesystem::path& folder,
                     const std::vector<std::string>& args,
                     const std::string& lang, const std::string* piped,
                     const std::vector<std::string>& extra_env) {
  return run_program(HUSHMARK_CHAPTERS_BINARY, folder, args, lang, extra_env,
                     piped);
}

bool locale_installed(const std::string& name) {
  locale_t loc = newlocale(LC_ALL_MASK, name.c_str(), locale_t{});
  if (loc == locale_t{}) return false;
  freelocale(loc);
  return true;
}

Extraction extract_file(const std::filesystem::path& in, Settings settings) {
  settings.infile = wide(in);
  std::filesystem::path out = in.parent_path() / "out.txt";
  if (settings.outfile.empty()) settings.outfile = wide(out);
  CapturedConsole console;
  bool ok = run_extraction(settings, console.console());
  return {ok, console.text(), read_file(out), std::filesystem::exists(out)};
}

Extraction extract(const std::string& wave, Settings settings) {
  TempDir dir;
  write_file(dir / "in.wav", wave);
  return extract_file(dir / "in.wav", std::move(settings));
}

std::wstring wide(const std::filesystem::path& path) {
  return platform::widen_argument(path.string());
}

}  // namespace hushmark::testing
