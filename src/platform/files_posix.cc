#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <optional>

#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"

namespace hushmark::platform {
namespace {

// Opens without blocking on a FIFO that has no peer yet, then goes back to
// ordinary blocking I/O unless flags ask for O_NONBLOCK.
int open_path(std::wstring_view path, int flags) {
  std::optional<std::string> bytes = narrow_path(path);
  if (!bytes || bytes->empty()) return -1;
  int fd;
  do {
    fd = ::open(bytes->c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 || (flags & O_NONBLOCK) != 0) return fd;
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

// The descriptor that a name such as /dev/stdout, /dev/fd/3 or
// /proc/self/fd/3 stands for, as a copy of its own; -1 for any other name.
// Writing there, rather than opening the name anew, keeps what the shell set
// up: "> file" and ">> log" alike, at the place the console's lines reach.
int named_descriptor(std::wstring_view path) {
  std::optional<std::string> name = narrow_path(path);
  if (!name) return -1;
  std::string_view digits;
  if (*name == "/dev/stdout") {
    digits = "1";
  } else if (*name == "/dev/stderr") {
    digits = "2";
  } else {
    for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
      if (name->starts_with(prefix)) {
        digits = std::string_view(*name).substr(prefix.size());
      }
    }
  }
  int n = -1;
  auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (digits.empty() || error != std::errc() ||
      end != digits.data() + digits.size()) {
    return -1;
  }
  int fd = ::fcntl(n, F_DUPFD_CLOEXEC, 0);
  // One open only for reading cannot take the output.
  int flags = fd >= 0 ? ::fcntl(fd, F_GETFL) : -1;
  if (flags >= 0 && (flags & O_ACCMODE) == O_RDONLY) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when name leads to the file that descriptor fd has open.
bool names_descriptor(int fd, const std::string& name) {
  struct stat mine, named;
  return ::fstat(fd, &mine) == 0 && ::stat(name.c_str(), &named) == 0 &&
         mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

}  // namespace

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

// Keeps fd when it reads something other than a directory, telling
// whether it is a stream; closes it and answers false otherwise. Standard
// input counts as a stream unless it is a disk file or a block device.
bool InputFile::take(int fd, bool standard_input) {
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  stream_ = standard_input ? !S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)
                           : S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) ||
                                 S_ISSOCK(st.st_mode);
  return true;
}

bool InputFile::open(std::wstring_view path) {
  return take(open_path(path, O_RDONLY), false);
}

bool InputFile::open_to_peek(std::wstring_view path) {
  // Reads stay nonblocking: a file of /proc such as kmsg waits for data.
  const int fd = open_path(path, O_RDONLY | O_NONBLOCK);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return false;
  }
  return take(fd, false);
}

bool InputFile::open_standard_input() {
  return take(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0), true);
}

void InputFile::adopt(int fd) {
  close();
  fd_ = fd;
  stream_ = true;
}

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::size_t InputFile::read(std::span<std::uint8_t> out) {
  if (fd_ < 0 || failed_) return 0;
  for (;;) {
    ssize_t n = ::read(fd_, out.data(), out.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) {
      failed_ = true;
      return 0;
    }
  }
}

bool InputFile::seek_forward(std::uint64_t n) {
  return n <= static_cast<std::uint64_t>(INT64_MAX) &&
         ::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) >= 0;
}

bool InputFile::is_same_file(std::wstring_view path) const {
  std::optional<std::string> bytes = narrow_path(path);
  return fd_ >= 0 && bytes && names_descriptor(fd_, *bytes);
}

bool OutputFile::open(std::wstring_view path) {
  failed_ = begun_ = created_ = regular_ = false;
  buffer_.clear();
  path_ = path;
  // Never emptied: it is the shell's to set up.
  fd_ = named_descriptor(path);
  if (fd_ >= 0) return true;
  fd_ = open_path(path, O_WRONLY);
  if (fd_ < 0 && errno == ENOENT) {
    fd_ = open_path(path, O_WRONLY | O_CREAT | O_EXCL);
    // A symbolic link whose target is missing: create the target.
    if (fd_ < 0 && errno == EEXIST) fd_ = open_path(path, O_WRONLY | O_CREAT);
    created_ = fd_ >= 0;
  }
  struct stat st;
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) regular_ = S_ISREG(st.st_mode);
  return fd_ >= 0;
}

bool OutputFile::truncate() {
  int r;
  do {
    r = ::ftruncate(fd_, 0);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

long long OutputFile::write_some(std::string_view bytes) {
  for (;;) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool OutputFile::close_descriptor() {
  return ::close(fd_) == 0;
}

void OutputFile::close_and_remove() {
  std::optional<std::string> name = narrow_path(path_);
  struct stat link;
  if (name && ::lstat(name->c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    // Through a link, the file created is the link's target.
    char* target = ::realpath(name->c_str(), nullptr);
    name = target ? std::optional<std::string>(target) : std::nullopt;
    std::free(target);
  }
  // Remove it only while it is still the file this descriptor has open.
  if (name && names_descriptor(fd_, *name)) ::unlink(name->c_str());
  close_descriptor();
  fd_ = -1;
}

}  // namespace hushmark::platform

namespace hushmark::platform {
namespace {

// Symbolic links followed before giving up, as the system does.
constexpr int kMaxLinks = 40;

// The file that writing to path reaches: path itself, or the end of its chain
// of symbolic links, which need not exist yet; nothing for a loop.
std::optional<std::string> link_target(std::string path) {
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(static_cast<std::size_t>(st.st_size) + 256, '\0');
    ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size())
      return std::nullopt;
    link.resize(static_cast<std::size_t>(n));
    // A relative link is read from the folder that holds it.
    std::size_t slash = path.rfind('/');
    if (!link.starts_with('/') && slash != std::string::npos) {
      link.insert(0, path, 0, slash + 1);
    }
    path = std::move(link);
  }
  return std::nullopt;
}

// Names under /proc, such as /proc/1234/fd/1, stand for a descriptor that
// is already open: what they reach is written where it is.
bool names_open_descriptor(std::string_view path) {
  return path.starts_with("/proc/");
}

// The permissions a new file gets from open() with 0666.
mode_t new_file_mode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

WholeFile::~WholeFile() {
  discard();
}

void WholeFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  in_place_ = false;
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    forget_on_interrupt(temp_);
  }
  temp_.clear();
}

bool WholeFile::open(std::wstring_view path) {
  discard();
  fd_ = named_descriptor(path);
  if (fd_ >= 0) return true;
  std::optional<std::string> name = narrow_path(path);
  if (!name || name->empty()) return false;
  int fd = open_path(path, O_WRONLY);
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) == 0 &&
      (!S_ISREG(st.st_mode) || names_open_descriptor(*name))) {
    fd_ = fd;
    in_place_ = S_ISREG(st.st_mode);
    return true;
  }
  if (fd >= 0) {
    ::close(fd);
  } else if (errno != ENOENT) {
    return false;  // there, but not to be written: a folder, no permission
  }
  std::optional<std::string> target = link_target(*name);
  if (!target || target->ends_with('/')) return false;
  std::size_t slash = target->rfind('/');
  std::string folder =
      slash == std::string::npos ? "." : target->substr(0, slash);
  // A hidden name of the program's own: a run that is killed leaves a file
  // that says where it came from.
  std::string temp = folder + "/.hushmark-chapters-XXXXXX";
  fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  fd_ = fd;
  temp_ = std::move(temp);
  remove_on_interrupt(temp_);
  target_ = std::move(*target);
  // The replacement keeps the permissions and owner of the file it replaces.
  if (::stat(target_.c_str(), &st) == 0) {
    ::fchmod(fd_, st.st_mode & 07777);
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
      // Only the owner's own files can be given away; the mode still holds.
    }
  } else {
    ::fchmod(fd_, new_file_mode());
  }
  return true;
}

bool WholeFile::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool WholeFile::commit(std::string_view bytes) {
  if (fd_ < 0) return false;
  if (in_place_ && ::ftruncate(fd_, 0) != 0) {
    discard();
    return false;
  }
  bool ok = write_all(bytes);
  // The new bytes reach the disk before the name points at them.
  if (ok && !temp_.empty() && ::fsync(fd_) != 0) ok = false;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ok = false;
  if (ok && !temp_.empty()) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (ok) {
    forget_on_interrupt(temp_);
    temp_.clear();
  }
  discard();
  return ok;
}

std::wstring WholeFile::hand_over() {
  // The descriptor stays open on the same file, to put its bytes on the disk
  // at commit_written().
  return temp_.empty() ? std::wstring() : widen_argument(temp_);
}

bool WholeFile::commit_written() {
  if (temp_.empty()) {
    discard();
    return false;
  }
  return commit({});
}

ScratchFile::~ScratchFile() {
  std::optional<std::string> name = narrow_path(path_);
  if (name && !name->empty()) {
    ::unlink(name->c_str());
    forget_on_interrupt(*name);
  }
}

bool ScratchFile::create(std::wstring_view beside, std::string_view bytes) {
  std::optional<std::string> name = narrow_path(beside);
  if (!name || name->empty()) return false;
  std::size_t slash = name->rfind('/');
  std::string temp =
      (slash == std::string::npos ? std::string(".") : name->substr(0, slash)) +
      "/.hushmark-chapters-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  remove_on_interrupt(temp);
  bool ok = true;
  while (ok && !bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    forget_on_interrupt(temp);
    return false;
  }
  path_ = widen_argument(temp);
  return true;
}

namespace {

// Removes every entry of the folder at path (its own files; it holds no
// folders), then the folder.
void remove_folder(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (dir != nullptr) {
    const dirent* entry;
    while ((entry = ::readdir(dir)) != nullptr) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") ::unlinkat(::dirfd(dir), name.data(), 0);
    }
    ::closedir(dir);
  }
  ::rmdir(path.c_str());
}

}  // namespace

ScratchFolder::~ScratchFolder() {
  std::optional<std::string> name = narrow_path(path_);
  if (!name || name->empty()) return;
  remove_folder(*name);
  forget_on_interrupt(*name);
}

void ScratchFolder::keep() {
  std::optional<std::string> name = narrow_path(path_);
  if (name) forget_on_interrupt(*name);
  path_.clear();
}

bool ScratchFolder::create(std::wstring_view folder) {
  std::optional<std::string> name = narrow_path(folder);
  if (!name) return false;
  if (name->empty()) name->push_back('.');
  if (!name->ends_with('/')) name->push_back('/');
  // A hidden name of the program's own, as its temporary files have.
  std::string temp = *name;
  temp.append(".hushmark-chapters-XXXXXX");
  if (::mkdtemp(temp.data()) == nullptr) return false;
  remove_on_interrupt(temp);
  path_ = widen_argument(temp);
  return true;
}

bool make_folders(std::wstring_view path) {
  std::optional<std::string> name = narrow_path(path);
  if (!name) return false;
  if (name->empty()) return true;
  for (std::size_t slash = name->find('/', 1); slash != std::string::npos;
       slash = name->find('/', slash + 1)) {
    ::mkdir(name->substr(0, slash).c_str(), 0777);
  }
  ::mkdir(name->c_str(), 0777);
  return is_folder(path);
}

bool write_at(std::wstring_view path, std::uint64_t offset,
              std::span<const std::uint8_t> bytes) {
  std::optional<std::string> name = narrow_path(path);
  if (!name || name->empty()) return false;
  const int fd = ::open(name->c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool written = true;
  for (std::size_t done = 0; written && done < bytes.size();) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0 && written;
}

bool move_file(std::wstring_view from, std::wstring_view to) {
  std::optional<std::string> a = narrow_path(from), b = narrow_path(to);
  return a && b && !a->empty() && !b->empty() &&
         ::rename(a->c_str(), b->c_str()) == 0;
}

}  // namespace hushmark::platform

namespace hushmark::platform {
namespace {

// What an entry of a folder on file system `device` stands for: a link is
// followed to a file, but a link to a folder is left out, so that a link back
// up cannot loop. What lies on another file system (a mount point, a link
// into /proc, whose regular files may wait for data) is left out too.
EntryKind entry_kind(const std::string& path, dev_t device) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return EntryKind::kOther;
  if (S_ISDIR(st.st_mode)) {
    return st.st_dev == device ? EntryKind::kFolder : EntryKind::kOther;
  }
  if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) {
    return EntryKind::kOther;
  }
  return S_ISREG(st.st_mode) && st.st_dev == device ? EntryKind::kFile
                                                    : EntryKind::kOther;
}

}  // namespace

bool is_folder(std::wstring_view path) {
  std::optional<std::string> name = narrow_path(path);
  struct stat st;
  return name && !name->empty() && ::stat(name->c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

bool is_regular_file(std::wstring_view path) {
  std::optional<std::string> name = narrow_path(path);
  struct stat st;
  return name && !name->empty() && ::stat(name->c_str(), &st) == 0 &&
         S_ISREG(st.st_mode);
}

std::optional<std::uint64_t> file_size(std::wstring_view path) {
  std::optional<std::string> name = narrow_path(path);
  struct stat st;
  if (!name || name->empty() || ::stat(name->c_str(), &st) != 0 ||
      !S_ISREG(st.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

bool list_folder(std::wstring_view path, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::optional<std::string> folder = narrow_path(path);
  if (!folder || folder->empty()) return false;
  DIR* dir = ::opendir(folder->c_str());
  if (dir == nullptr) return false;
  struct stat st;
  if (::fstat(::dirfd(dir), &st) != 0) {
    ::closedir(dir);
    return false;
  }
  if (!folder->ends_with('/')) *folder += '/';
  const dirent* entry;
  // readdir() gives nullptr both at the end and on a failure, told by errno.
  while ((errno = 0, entry = ::readdir(dir)) != nullptr) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({widen_argument(name),
                       entry_kind(*folder + std::string(name), st.st_dev)});
  }
  const bool read = errno == 0;
  ::closedir(dir);
  return read;
}

std::wstring path_in_folder(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && !path.ends_with(L'/')) path += L'/';
  return path + std::wstring(name);
}

}  // namespace hushmark::platform
