// One open file, named by the bytes of its path: every file kerf reads
// (Prefetch files, -filter_sig checks) or writes (results, diagnostics) goes
// through this class.
//
// Opening never blocks: the descriptor is always non-blocking, and FIFOs and
// sockets are refused once opened, so a hostile name in a piped file list
// can't stall a run. A file opened for reading is evidence: it is opened
// without updating its access time wherever the system allows it, and its
// status is taken at open, before anything is read. Reads are positioned and
// never go past the size taken then.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kerf::io {

// Which file a path leads to, whatever its name: the same device and inode
// are the same file.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  bool operator==(const FileId&) const = default;
};

// The file `path` leads to (symbolic links followed); nothing when there is
// none.
std::optional<FileId> file_id(std::string_view path);

// The file open on descriptor `fd`; nothing when it is not open.
std::optional<FileId> descriptor_id(int fd);

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // How an existing file is treated when it is opened for writing; a file
  // that does not exist yet is created (permission bits 0666 reduced by the
  // umask) in every mode.
  enum class WriteMode { truncate, append };

  // How symbolic links on the way to the file, the file itself included,
  // are treated: followed, or refused everywhere but within the first
  // `followed` bytes of the path (see link_free_open.h).
  enum class Links { follow, refuse };

  // Both close whatever is open first. The path is handed to the system as
  // the bytes it is (a name that is not UTF-8 opens like any other), but it
  // must not hold a NUL; trailing '/' and '\' are removed. False (printing
  // nothing; error() tells why) when the file can't be opened, is a FIFO or
  // a socket, or is reached through a symbolic link that may not be
  // followed (ELOOP).
  bool open_for_read(std::string_view path, Links links = Links::follow, std::size_t followed = 0);
  bool open_for_write(std::string_view path, WriteMode mode);

  bool is_open() const noexcept { return m_descriptor != -1; }
  int descriptor() const noexcept { return m_descriptor; }
  // The errno of the last open that failed (ENXIO for a FIFO or a socket,
  // ELOOP for a refused symbolic link).
  int error() const noexcept { return m_error; }
  // The status taken when the file was opened.
  const struct stat& status() const noexcept { return m_status; }
  // The birth time, when the file system reports one: seconds and
  // nanoseconds since 1970.
  std::optional<std::pair<std::int64_t, std::uint32_t>> birth_time() const;

  // Size of the file as taken at open: a regular file's size from its status,
  // anything else found by seeking to its end (a "/proc" pseudo-file whose
  // end can't be sought counts as 262 144 bytes). 0 when not open.
  std::uint64_t size() const noexcept { return m_size; }

  // Reads up to `count` bytes at `offset`, never past the size taken at open.
  // `out` is cleared first (its capacity is kept) and holds exactly the bytes
  // read. False when nothing at all could be read.
  bool read_at(std::vector<std::uint8_t>& out, std::uint64_t count, std::uint64_t offset);

  // Writes every byte at the end of the file (looping over short writes and
  // waiting on a non-blocking descriptor). False on a write error, which the
  // file remembers: write_failed() tells whether any write since the open
  // failed, so that a run can learn at its end that a line never arrived.
  bool write_all(std::string_view bytes);
  bool write_failed() const noexcept { return m_write_failed; }

  // Empties a regular file opened for writing (other files have no content
  // to lose); false when the system refuses. Opening without emptying and
  // emptying once every output of a run has opened means a run refused at
  // the second file has emptied none.
  bool discard_content();

  // False when the system reported an error on closing a written file (some
  // file systems report a failed write only here).
  bool close();

 private:
  // `followed`: as for open_for_read with Links::refuse; npos follows every
  // link.
  bool open_path(std::string_view path, int flags, std::size_t followed = std::string_view::npos);

  int m_descriptor = -1;
  int m_error = 0;
  struct stat m_status {};
  std::uint64_t m_size = 0;
  bool m_writable = false;
  bool m_write_failed = false;
};

// Writes all of `bytes` to descriptor `fd`; false on a write error.
bool write_fully(int fd, std::string_view bytes);

}  // namespace kerf::io
