#include <signal.h>
#include <unistd.h>

#include <atomic>
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

void on_interrupt(int signal_number) {
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kKept) ::unlink(slot.path);
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // delivered once the handler returns
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

}  // namespace hushmark::platform
