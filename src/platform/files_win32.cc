#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace hushmark::platform {
namespace {

// Windows refuses longer paths unless they take the \\?\ form; 248 is its
// limit for folders, a little below MAX_PATH for files.
constexpr std::size_t kShortPathLimit = 248;

bool usable(std::wstring_view path) {
  return !path.empty() && path.find(L'\0') == std::wstring_view::npos;
}

// The absolute form of path, with its folder spelt out; false when Windows
// cannot make one.
bool full_path(const std::wstring& path, std::wstring& full) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return false;
  std::wstring text(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, text.data(), nullptr);
  if (size == 0 || size >= text.size()) return false;
  text.resize(size);
  full = std::move(text);
  return true;
}

// The path as Windows takes it: unchanged when short, otherwise made absolute
// and marked \\?\ so that the MAX_PATH limit does not apply.
std::wstring native_path(std::wstring_view path) {
  std::wstring name(path);
  if (name.starts_with(L"\\\\?\\") || name.starts_with(L"\\\\.\\")) return name;
  std::wstring full;
  if (!full_path(name, full) || full.size() < kShortPathLimit) return name;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Opens the very file named, in binary mode so that no byte is translated.
int open_path(std::wstring_view path, int flags) {
  if (!usable(path)) return -1;
  return _wopen(native_path(path).c_str(), flags | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}

HANDLE handle_of(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Volume serial number and file index name a file whatever path reached it.
bool identity_of(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  return handle != INVALID_HANDLE_VALUE &&
         GetFileInformationByHandle(handle, &info);
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a,
                   const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// True when name, opened with flags, is the file that mine describes. No
// access rights are needed to read a file's identity.
bool names_identity(const std::wstring& name, DWORD flags,
                    const BY_HANDLE_FILE_INFORMATION& mine) {
  HANDLE other = CreateFileW(
      name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, flags, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION theirs;
  const bool same = identity_of(other, theirs) && same_identity(mine, theirs);
  CloseHandle(other);
  return same;
}

}  // namespace

InputFile::~InputFile() {
  if (fd_ >= 0) _close(fd_);
}

bool InputFile::open(std::wstring_view path) {
  int fd = open_path(path, _O_RDONLY);
  if (fd < 0) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!identity_of(handle_of(fd), info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    _close(fd);
    return false;
  }
  fd_ = fd;
  stream_ = GetFileType(handle_of(fd)) != FILE_TYPE_DISK;
  return true;
}

bool InputFile::open_to_peek(std::wstring_view path) {
  if (!open(path)) return false;
  if (!stream_) return true;
  close();  // a pipe or a device
  return false;
}

bool InputFile::open_standard_input() {
  int fd = _dup(0);
  if (fd < 0) return false;
  _setmode(fd, _O_BINARY);
  fd_ = fd;
  stream_ = GetFileType(handle_of(fd)) != FILE_TYPE_DISK;
  return true;
}

void InputFile::adopt(int fd) {
  close();
  fd_ = fd;
  stream_ = true;
}

void InputFile::close() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
}

std::size_t InputFile::read(std::span<std::uint8_t> out) {
  if (fd_ < 0 || failed_) return 0;
  unsigned want =
      static_cast<unsigned>(std::min<std::size_t>(out.size(), INT_MAX));
  int n = _read(fd_, out.data(), want);
  if (n >= 0) return static_cast<std::size_t>(n);
  failed_ = true;
  return 0;
}

bool InputFile::seek_forward(std::uint64_t n) {
  // Only a disk file seeks; a pipe's position is undefined after a seek.
  return GetFileType(handle_of(fd_)) == FILE_TYPE_DISK && n <= INT64_MAX &&
         _lseeki64(fd_, static_cast<__int64>(n), SEEK_CUR) >= 0;
}

bool InputFile::is_same_file(std::wstring_view path) const {
  if (fd_ < 0 || !usable(path)) return false;
  BY_HANDLE_FILE_INFORMATION mine;
  // A directory opens only with backup semantics.
  return identity_of(handle_of(fd_), mine) &&
         names_identity(native_path(path), FILE_FLAG_BACKUP_SEMANTICS, mine);
}

bool OutputFile::open(std::wstring_view path) {
  failed_ = begun_ = created_ = regular_ = false;
  buffer_.clear();
  path_ = path;
  fd_ = -1;
  if (!usable(path)) return false;
  // OPEN_ALWAYS keeps the bytes of a file that is there and tells whether it
  // was; the sharing matches what _wopen grants.
  HANDLE h = CreateFileW(native_path(path).c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  created_ = GetLastError() != ERROR_ALREADY_EXISTS;
  regular_ = GetFileType(h) == FILE_TYPE_DISK;
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(h);
    return false;
  }
  return true;
}

bool OutputFile::truncate() {
  // Nothing has been written, so the file pointer is at its start.
  return SetEndOfFile(handle_of(fd_)) != 0;
}

long long OutputFile::write_some(std::string_view bytes) {
  unsigned want =
      static_cast<unsigned>(std::min<std::size_t>(bytes.size(), INT_MAX));
  return _write(fd_, bytes.data(), want);
}

bool OutputFile::close_descriptor() {
  return _close(fd_) == 0;
}

void OutputFile::close_and_remove() {
  // Remove it only while the name still leads to the file that was created.
  BY_HANDLE_FILE_INFORMATION mine;
  bool known = identity_of(handle_of(fd_), mine);
  close_descriptor();
  fd_ = -1;
  const std::wstring name = native_path(path_);
  if (known && names_identity(name, FILE_FLAG_OPEN_REPARSE_POINT, mine)) {
    DeleteFileW(name.c_str());
  }
}

}  // namespace hushmark::platform

namespace hushmark::platform {
namespace {

bool is_separator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// The path of the file that an open handle reaches, past any link.
std::wstring final_path(HANDLE h, const std::wstring& fallback) {
  DWORD size = GetFinalPathNameByHandleW(h, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0) return fallback;
  std::wstring path(size, L'\0');
  size = GetFinalPathNameByHandleW(h, path.data(), size, FILE_NAME_NORMALIZED);
  if (size == 0 || size >= path.size()) return fallback;
  path.resize(size);
  return path;
}

// Where the names of the program's own start: this process and this moment.
unsigned long long name_seed() {
  return (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
         GetTickCount64();
}

// The name of the program's own that try k gives in folder (which ends in a
// separator), from seed on.
std::wstring own_name(const std::wstring& folder, unsigned long long seed,
                      int k) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = folder + L".hushmark-chapters-";
  unsigned long long value = seed + static_cast<unsigned long long>(k);
  for (int i = 0; i < 16; ++i, value >>= 4) {
    name += kDigits[value & 15];
  }
  return name;
}

// A new, empty file in folder (which ends in a separator) with a name of the
// program's own; its path goes to temp.
HANDLE create_temporary(const std::wstring& folder, std::wstring& temp) {
  const unsigned long long seed = name_seed();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = own_name(folder, seed, attempt);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      temp = std::move(name);
      return h;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

WholeFile::~WholeFile() {
  discard();
}

void WholeFile::discard() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
  if (!temp_.empty()) {
    DeleteFileW(temp_.c_str());
    forget_on_interrupt(temp_);
  }
  temp_.clear();
  target_.clear();
}

bool WholeFile::open(std::wstring_view path) {
  discard();
  if (!usable(path)) return false;
  std::wstring target = native_path(path);
  HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    if (GetFileType(h) != FILE_TYPE_DISK) {
      handle_ = h;  // a device or a pipe, written as it is
      return true;
    }
    target = final_path(h, target);
    CloseHandle(h);
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;  // there, but not to be written: a folder, no permission
  } else if (!target.starts_with(L"\\\\")) {
    // "\x.txt" and "C:x.txt" do not say which folder holds them, and the
    // temporary file must go in that folder.
    full_path(target, target);
  }
  if (target.empty() || is_separator(target.back())) return false;
  std::size_t cut = target.size();
  while (cut > 0 && !is_separator(target[cut - 1]))
    --cut;
  // With its separator: C:\ for a file at the root of a drive.
  std::wstring folder = cut == 0 ? L".\\" : target.substr(0, cut);
  h = create_temporary(folder, temp_);
  if (h == INVALID_HANDLE_VALUE) return false;
  remove_on_interrupt(temp_);
  handle_ = h;
  target_ = std::move(target);
  return true;
}

bool WholeFile::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30));
    DWORD done = 0;
    if (!WriteFile(handle_, bytes.data(), want, &done, nullptr) || done == 0) {
      return false;
    }
    bytes.remove_prefix(done);
  }
  return true;
}

bool WholeFile::commit(std::string_view bytes) {
  if (handle_ == nullptr) return false;
  bool ok = write_all(bytes);
  // The new bytes reach the disk before the name points at them.
  if (ok && !temp_.empty() && !FlushFileBuffers(handle_)) ok = false;
  if (!CloseHandle(handle_)) ok = false;
  handle_ = nullptr;
  if (ok && !temp_.empty()) {
    ok = MoveFileExW(temp_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (ok) {
    forget_on_interrupt(temp_);
    temp_.clear();
  }
  discard();
  return ok;
}

std::wstring WholeFile::hand_over() {
  if (temp_.empty()) return std::wstring();
  // Opened without sharing, the file is closed for the other program to open.
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
  return temp_;
}

bool WholeFile::commit_written() {
  if (temp_.empty()) {
    discard();
    return false;
  }
  if (handle_ == nullptr) {
    // Opened again to put its bytes on the disk before it is renamed.
    HANDLE h = CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      discard();
      return false;
    }
    handle_ = h;
  }
  return commit({});
}

ScratchFile::~ScratchFile() {
  if (path_.empty()) return;
  DeleteFileW(path_.c_str());
  forget_on_interrupt(path_);
}

bool ScratchFile::create(std::wstring_view beside, std::string_view bytes) {
  if (!usable(beside)) return false;
  std::wstring name(beside);
  std::size_t cut = name.size();
  while (cut > 0 && !is_separator(name[cut - 1]))
    --cut;
  std::wstring temp;
  HANDLE h = create_temporary(cut == 0 ? L".\\" : name.substr(0, cut), temp);
  if (h == INVALID_HANDLE_VALUE) return false;
  remove_on_interrupt(temp);
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30));
    DWORD done = 0;
    ok = WriteFile(h, bytes.data(), want, &done, nullptr) && done > 0;
    if (ok) bytes.remove_prefix(done);
  }
  if (!CloseHandle(h)) ok = false;
  if (!ok) {
    DeleteFileW(temp.c_str());
    forget_on_interrupt(temp);
    return false;
  }
  path_ = std::move(temp);
  return true;
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::vector<FolderEntry> entries;
  list_folder(path_, entries);
  for (const FolderEntry& entry : entries)
    DeleteFileW(native_path(path_in_folder(path_, entry.name)).c_str());
  RemoveDirectoryW(native_path(path_).c_str());
  forget_on_interrupt(native_path(path_));
}

void ScratchFolder::keep() {
  if (!path_.empty()) forget_on_interrupt(native_path(path_));
  path_.clear();
}

bool ScratchFolder::create(std::wstring_view folder) {
  if (folder.find(L'\0') != std::wstring_view::npos) return false;
  std::wstring base = folder.empty() ? L"." : std::wstring(folder);
  if (!is_separator(base.back())) base += L'\\';
  const unsigned long long seed = name_seed();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = own_name(base, seed, attempt);
    if (CreateDirectoryW(native_path(name).c_str(), nullptr)) {
      path_ = std::move(name);
      remove_on_interrupt(native_path(path_));
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return false;
}

bool make_folders(std::wstring_view path) {
  if (!usable(path)) return path.empty();
  const std::wstring name(path);
  // A drive ("C:\") or a share ("\\server\share\") is there or not; only
  // what follows it is made.
  for (std::size_t at = 1; at < name.size(); ++at) {
    if (is_separator(name[at]) && name[at - 1] != L':' &&
        !is_separator(name[at - 1])) {
      CreateDirectoryW(native_path(name.substr(0, at)).c_str(), nullptr);
    }
  }
  CreateDirectoryW(native_path(name).c_str(), nullptr);
  return is_folder(path);
}

bool write_at(std::wstring_view path, std::uint64_t offset,
              std::span<const std::uint8_t> bytes) {
  if (!usable(path)) return false;
  const HANDLE file =
      CreateFileW(native_path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  bool written = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0;
  for (std::size_t done = 0; written && done < bytes.size();) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(
        std::min<std::size_t>(bytes.size() - done, 1u << 30));
    written =
        WriteFile(file, bytes.data() + done, want, &n, nullptr) != 0 && n > 0;
    done += n;
  }
  return CloseHandle(file) != 0 && written;
}

bool move_file(std::wstring_view from, std::wstring_view to) {
  if (!usable(from) || !usable(to)) return false;
  // Windows replaces no read-only file; nor is one moved aside to be.
  const DWORD attributes = GetFileAttributesW(native_path(from).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_READONLY) == 0 &&
         MoveFileExW(native_path(from).c_str(), native_path(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace hushmark::platform

namespace hushmark::platform {
namespace {

// What an entry found in a folder stands for: a reparse point that is a
// folder (a symbolic link, a junction, another volume mounted there) is left
// out, so that a link back up cannot loop and the walk stays on its volume.
EntryKind entry_kind(const WIN32_FIND_DATAW& found) {
  const DWORD attributes = found.dwFileAttributes;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return EntryKind::kOther;
  }
  if (folder) return EntryKind::kFolder;
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? EntryKind::kOther
                                                   : EntryKind::kFile;
}

}  // namespace

bool is_folder(std::wstring_view path) {
  if (!usable(path)) return false;
  const DWORD attributes = GetFileAttributesW(native_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_regular_file(std::wstring_view path) {
  // \\.\ names a device or a pipe, never a file on a disk.
  if (!usable(path) || path.starts_with(L"\\\\.\\")) return false;
  const DWORD attributes = GetFileAttributesW(native_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::optional<std::uint64_t> file_size(std::wstring_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!is_regular_file(path) ||
      !GetFileAttributesExW(native_path(path).c_str(), GetFileExInfoStandard,
                            &data)) {
    return std::nullopt;
  }
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool list_folder(std::wstring_view path, std::vector<FolderEntry>& entries) {
  entries.clear();
  if (!usable(path)) return false;
  WIN32_FIND_DATAW found;
  const std::wstring pattern = path_in_folder(native_path(path), L"*");
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({std::wstring(name), entry_kind(found)});
  } while (FindNextFileW(find, &found));
  const bool read = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return read;
}

std::wstring path_in_folder(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && !is_separator(path.back()) && !path.ends_with(L':')) {
    path += L'\\';
  }
  return path + std::wstring(name);
}

}  // namespace hushmark::platform
