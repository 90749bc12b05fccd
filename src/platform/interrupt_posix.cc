#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/interrupt.h"

namespace hushmark::platform {
namespace {

constexpr std::size_t kSlots = 32;
constexpr std::size_t kPathBytes = 4096;

enum SlotState : int { kFree, kWriting, kKept };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kPathBytes];
};

// A signal handler reaches nothing but what lives for the whole program, and
// may call only what is safe in it: unlink, signal, raise.
Slot g_slots[kSlots];
std::atomic<bool> g_installed{false};
std::atomic<int> g_holds{0};
std::atomic<int> g_held_signal{0};  // one that came during a hold, or 0

// Empties a folder of the program's own with system calls alone, which are
// safe in a signal handler as opendir() is not, then removes it.
void remove_folder(const char* path) {
#ifdef SYS_getdents64
  const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    alignas(8) char block[4096];
    long n;
    while ((n = ::syscall(SYS_getdents64, fd, block, sizeof block)) > 0) {
      for (long at = 0; at < n;) {
        // struct linux_dirent64: inode, offset, record length, type, name.
        unsigned short length;
        std::memcpy(&length, block + at + 16, sizeof length);
        const char* name = block + at + 19;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
          ::unlinkat(fd, name, 0);
        }
        at += length;
      }
    }
    ::close(fd);
  }
#endif
  ::rmdir(path);
}

// Removes what the slots name and ends the program by signal_number.
void remove_and_end(int signal_number) {
  for (Slot& slot : g_slots) {
    if (slot.state.load() != kKept) continue;
    if (::unlink(slot.path) != 0 && errno == EISDIR) remove_folder(slot.path);
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // in the handler, delivered once it returns
}

// Any thread may take the signal: a flag, not a blocked signal, holds it back.
void on_interrupt(int signal_number) {
  if (g_holds.load() > 0) {
    g_held_signal.store(signal_number);
    return;
  }
  remove_and_end(signal_number);
}

void install_handler() {
  if (g_installed.exchange(true)) return;
  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old = {};
    // A signal ignored by whoever started the program (nohup) stays ignored.
    if (::sigaction(signal_number, nullptr, &old) == 0 &&
        old.sa_handler == SIG_IGN) {
      continue;
    }
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

void remove_on_interrupt(NativePathView path) {
  if (path.empty() || path.size() >= kPathBytes) return;
  install_handler();
  for (Slot& slot : g_slots) {
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kWriting)) continue;
    std::memcpy(slot.path, path.data(), path.size());
    slot.path[path.size()] = '\0';
    slot.state.store(kKept);
    return;
  }
}

void forget_on_interrupt(NativePathView path) {
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kKept && path == slot.path) {
      slot.state.store(kFree);
      return;
    }
  }
}

InterruptHold::InterruptHold() {
  install_handler();
  g_holds.fetch_add(1);
}

InterruptHold::~InterruptHold() {
  if (g_holds.fetch_sub(1) != 1) return;
  if (const int signal_number = g_held_signal.exchange(0)) {
    remove_and_end(signal_number);
  }
}

bool InterruptHold::interrupted() const {
  return g_held_signal.load() != 0;
}

}  // namespace hushmark::platform
