#ifndef HUSHMARK_PLATFORM_FILES_H_
#define HUSHMARK_PLATFORM_FILES_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hushmark::platform {

// A file opened for reading by the path the user named. Neither copied nor
// moved: one object owns the descriptor and closes it.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens path for reading; false when it is missing, unreadable or a
  // directory.
  bool open(std::wstring_view path);

  // Opens path to read its first bytes when it is a regular file; false for
  // a FIFO, a device, a folder or a missing file, none of which is waited on.
  // Reads never wait: a file that waits for data gives none.
  bool open_to_peek(std::wstring_view path);

  // Reads the program's standard input, in binary; false when there is none.
  bool open_standard_input();

  // Takes over descriptor fd (the C runtime's), such as the end of a pipe
  // that another program writes; it is read as a stream.
  void adopt(int fd);

  // Closes the file now, as when a pipe's writer must see that nobody reads.
  void close();

  // Reads up to out.size() bytes with one system call; 0 at the end of the file
  // or after a read error (see failed()).
  std::size_t read(std::span<std::uint8_t> out);

  // Moves forward by n bytes from the current position; moving past the end is
  // allowed and leaves nothing more to read.
  void skip(std::uint64_t n);

  // True once a read has failed for a reason other than the end of the file.
  bool failed() const { return failed_; }

  // True when path names this same file (another spelling or a link counts).
  bool is_same_file(std::wstring_view path) const;

  // True for a pipe, a FIFO or a character device: read once, in order, with
  // no length known in advance.
  bool is_stream() const { return stream_; }

 private:
  // Seeks forward on a file that can seek; false where only reading can skip.
  bool seek_forward(std::uint64_t n);
#ifndef _WIN32
  // Keeps a descriptor that reads something other than a directory.
  bool take(int fd, bool standard_input);
#endif

  int fd_ = -1;
  bool failed_ = false;
  bool stream_ = false;
};

// The first count bytes of file, or all of it when it is shorter; a read
// error ends it early too (see InputFile::failed()).
std::vector<std::uint8_t> read_head(InputFile& file, std::size_t count);

// A chapter file, with its own buffer. Opening it changes nothing: a regular
// file is emptied only when the first bytes are written or when close() is
// called, so that a run that fails before then leaves an earlier file as it
// was. Write failures are remembered; close() reports whether every byte
// reached the file.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Without close(): a file that this object created and never wrote to is
  // removed, and one that was already there keeps its bytes.
  ~OutputFile();

  // Opens path for writing, creating it when missing but not emptying it;
  // false when that cannot be done.
  bool open(std::wstring_view path);

  // Appends what is written to sink instead of a file, the last of it at
  // close(); sink must outlive the writing.
  void open_in_memory(std::string& sink);

  void write(std::string_view bytes);

  // True once a write has failed.
  bool failed() const { return failed_; }

  // Empties the file if nothing was written yet, writes what is buffered and
  // closes it; false if anything failed.
  bool close();

 private:
  // Empties a regular file before its first bytes; other files are left be.
  void begin();
  void flush();
  // Shortens the file to nothing; false when the system refuses.
  bool truncate();
  // One write of the system's; the count written, or -1 on failure.
  long long write_some(std::string_view bytes);
  // Closes the descriptor; false when the system reports a failure.
  bool close_descriptor();
  // Closes the descriptor and removes the file it was opened on.
  void close_and_remove();

  int fd_ = -1;
  std::string* memory_ = nullptr;  // where the bytes go instead of fd_
  bool failed_ = false;
  bool regular_ = false;  // a disk file, which may be emptied and removed
  bool created_ = false;  // open() made it
  bool begun_ = false;    // emptied or written to
  std::wstring path_;     // what open() was given, kept to remove the file
  std::string buffer_;
};

// An output written whole, once: a regular file (a new one, or one reached
// through symbolic links) receives its bytes in a temporary file beside it,
// which is then renamed over it, so that the file holds either all of its
// earlier bytes or all of the new ones. A FIFO or a device is written as it
// is, and so is a regular file named through /dev or /proc (/dev/stdout
// redirected to a file). Neither copied nor moved.
class WholeFile {
 public:
  WholeFile() = default;
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  // Without commit(): removes the temporary file, leaving path as it was.
  ~WholeFile();

  // Makes ready to write path: false when it cannot be written, its folder
  // included, and then nothing has changed.
  bool open(std::wstring_view path);

  // Writes bytes and puts them in place; false if any of that failed, and
  // then a regular file keeps its earlier bytes.
  bool commit(std::string_view bytes);

  // Lets another program write the temporary file by name, and gives that
  // name; empty when path is not written through one (a FIFO, a device).
  std::wstring hand_over();

  // Puts in place what another program wrote to the temporary file; false
  // if that failed, and then path keeps its earlier bytes.
  bool commit_written();

 private:
  // Writes every byte to the descriptor; false on a failure.
  bool write_all(std::string_view bytes);
  // Removes the temporary file, if there is one.
  void discard();

#ifdef _WIN32
  void* handle_ = nullptr;  // a HANDLE; nullptr when none is open
  std::wstring target_;     // the file to replace; empty when written as is
  std::wstring temp_;       // the temporary file beside it
#else
  int fd_ = -1;
  bool in_place_ = false;  // a regular file written where it is
  std::string target_;     // the file to replace; empty when written as is
  std::string temp_;       // the temporary file beside it
#endif
};

// A file of the program's own beside another, holding bytes that another
// program reads by name; removed when the object goes. Neither copied nor
// moved.
class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  // Writes bytes to a new file in the folder that holds beside; false when
  // that cannot be done, and then there is no file.
  bool create(std::wstring_view beside, std::string_view bytes);

  // Its name, as another program is given it.
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A folder of the program's own inside another, holding files that are put
// in place only once every one of them is complete; removed with whatever it
// still holds when the object goes, and on an interruption. Neither copied
// nor moved.
class ScratchFolder {
 public:
  ScratchFolder() = default;
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  // Makes a new folder inside folder; false when that cannot be done.
  bool create(std::wstring_view folder);

  // Leaves the folder where it is with what it holds, when the object goes
  // and on an interruption; path() is then empty.
  void keep();

  // Its name, as another program is given it.
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Makes the folder at path and every folder above it that is missing; false
// when one cannot be made, or path names something other than a folder.
bool make_folders(std::wstring_view path);

// Gives the file at from the name to, in the same file system, replacing a
// file of that name; false when that cannot be done. On Windows a read-only
// file is neither replaced nor moved.
bool move_file(std::wstring_view from, std::wstring_view to);

// Writes bytes over those of the file at path from offset on, which must
// lie within it; false when that cannot be done.
bool write_at(std::wstring_view path, std::uint64_t offset,
              std::span<const std::uint8_t> bytes);

// What a name in a folder stands for. Only what lies on the folder's own
// file system (volume) is a file or a folder.
enum class EntryKind : std::uint8_t {
  kFile,    // a regular file, or a link to one
  kFolder,  // a folder itself, not one reached through a link or mounted there
  kOther,   // a link to a folder, a device, a FIFO, or what cannot be looked at
};

// One name in a folder.
struct FolderEntry {
  std::wstring name;  // without its folder
  EntryKind kind = EntryKind::kOther;
};

// True when path names a folder, through links too.
bool is_folder(std::wstring_view path);

// True when path names a regular file, through links too: one that can be
// opened and read again, unlike a FIFO whose writer would see its reader go.
bool is_regular_file(std::wstring_view path);

// The size in bytes of the regular file at path, through links too; nothing
// when it is not one.
std::optional<std::uint64_t> file_size(std::wstring_view path);

// Lists the names in the folder at path but "." and "..", in the order the
// system gives them; false when the folder cannot be read.
bool list_folder(std::wstring_view path, std::vector<FolderEntry>& entries);

// The path of name inside folder, joined by the system's separator.
std::wstring path_in_folder(std::wstring_view folder, std::wstring_view name);

}  // namespace hushmark::platform

#endif  // HUSHMARK_PLATFORM_FILES_H_
