#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/interrupt.h"

namespace hushmark::platform {
namespace {

constexpr std::size_t kSlots = 32;
constexpr std::size_t kPathChars = 8192;

enum SlotState : int { kFree, kWriting, kKept };

struct Slot {
  std::atomic<int> state{kFree};
  wchar_t path[kPathChars];
};

// The console's handler runs on a thread of its own while the program goes
// on; it reaches nothing but what lives for the whole program.
Slot g_slots[kSlots];
std::atomic<bool> g_installed{false};

BOOL WINAPI on_interrupt(DWORD) {
  // Ctrl+C reaches every program on the console, ffmpeg too: a file it
  // still holds open is removed once it has let go of it.
  for (int attempt = 0; attempt < 20; ++attempt) {
    bool left = false;
    for (Slot& slot : g_slots) {
      if (slot.state.load() != kKept) continue;
      if (DeleteFileW(slot.path) || GetLastError() == ERROR_FILE_NOT_FOUND) {
        slot.state.store(kFree);
      } else {
        left = true;
      }
    }
    if (!left) break;
    Sleep(100);
  }
  return FALSE;  // the default handler then ends the program
}

void install_handler() {
  if (g_installed.exchange(true)) return;
  SetConsoleCtrlHandler(on_interrupt, TRUE);
}

}  // namespace

void remove_on_interrupt(NativePathView path) {
  if (path.empty() || path.size() >= kPathChars) return;
  install_handler();
  for (Slot& slot : g_slots) {
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kWriting)) continue;
    std::memcpy(slot.path, path.data(), path.size() * sizeof(wchar_t));
    slot.path[path.size()] = L'\0';
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
