#include <windows.h>

#include <atomic>
#include <cstring>
#include <cwchar>

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
std::atomic<int> g_holds{0};
std::atomic<bool> g_held{false};  // an interruption waits for a hold to end

// Empties a folder of the program's own and removes it; false when it is not
// a folder or cannot be removed yet.
bool remove_folder(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  static wchar_t name[kPathChars + MAX_PATH];
  const std::size_t length = std::wcslen(path);
  std::memcpy(name, path, length * sizeof(wchar_t));
  std::memcpy(name + length, L"\\*", 3 * sizeof(wchar_t));
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(name, &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      const std::size_t n = std::wcslen(found.cFileName);
      if (length + 1 + n >= kPathChars + MAX_PATH) continue;
      std::memcpy(name + length + 1, found.cFileName,
                  (n + 1) * sizeof(wchar_t));
      DeleteFileW(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  return RemoveDirectoryW(path) != 0;
}

BOOL WINAPI on_interrupt(DWORD) {
  // The program goes on meanwhile, and ends with this handler's return.
  if (g_holds.load() > 0) {
    g_held.store(true);
    while (g_holds.load() > 0)
      Sleep(10);
  }
  // Ctrl+C reaches every program on the console, ffmpeg too: a file it
  // still holds open is removed once it has let go of it.
  for (int attempt = 0; attempt < 20; ++attempt) {
    bool left = false;
    for (Slot& slot : g_slots) {
      if (slot.state.load() != kKept) continue;
      if (DeleteFileW(slot.path) || GetLastError() == ERROR_FILE_NOT_FOUND ||
          remove_folder(slot.path)) {
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

InterruptHold::InterruptHold() {
  install_handler();
  g_holds.fetch_add(1);
}

InterruptHold::~InterruptHold() {
  g_holds.fetch_sub(1);
}

bool InterruptHold::interrupted() const {
  return g_held.load();
}

}  // namespace hushmark::platform
