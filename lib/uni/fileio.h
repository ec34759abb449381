// One open file, addressed by a UTF-8 path name: every file the program reads
// (Prefetch files) or writes (the results file) goes through this class.
//
// Opening never blocks: the descriptor is always non-blocking, and FIFOs and
// sockets are refused once opened, so a hostile name in a piped file list
// can't stall a run. The size is taken at open and kept up to date by the
// appends; reads are positioned and never move past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace uni {

class fileio_output;

class fileio {
 public:
  fileio();
  // Closes the file (flushing an attached output stream first).
  virtual ~fileio();
  fileio(const fileio&) = delete;
  fileio& operator=(const fileio&) = delete;

  // Both close whatever is open first. The path must be valid UTF-8 and must
  // not hold a NUL; trailing '/' and '\' are removed. Fail (printing nothing)
  // when the file can't be opened or is a FIFO or a socket.
  bool open_for_read(std::string_view utf8_path);
  // With `create`: created when absent (permission bits 0666 reduced by the
  // umask) and emptied when present. Without: the file must exist and its
  // content stays; appends go after it.
  bool open_for_write(std::string_view utf8_path, bool create);
  // For adding to a file without ever losing what it holds: created when
  // absent (like open_for_write with `create`), its content kept when present.
  bool open_for_append(std::string_view utf8_path);

  bool is_open() const noexcept;
  // Size of the file as taken at open and updated by every append: a regular
  // file's size from its status, anything else found by seeking to its end (a
  // "/proc" pseudo-file whose end can't be sought counts as 262 144 bytes).
  // 0 when not open or when the end can't be found.
  std::uint64_t file_size() const;
  // Reads up to `count` bytes at `offset`, never past the size taken at open.
  // `out` is cleared first (its capacity is kept) and holds exactly the bytes
  // read. False when not open, when `offset` is at or past the end, or when
  // no byte at all could be read; a short read is success. `count` 0 is
  // success with nothing read.
  bool read_at(std::vector<std::uint8_t>& out, std::uint64_t count, std::uint64_t offset);
  // Append at the current end of the file, writing every byte. False when not
  // open or on a write error (which also sets write_failed()). Appending
  // nothing is success.
  bool append_bytes(const void* bytes, std::size_t count);
  bool append_text(std::string_view text);
  bool append_text(const std::ostringstream& text);

  // Flushes and destroys the attached output stream, then closes the file.
  // False when any write since the file was opened failed (the final flush
  // included) or the system reported an error on closing a written file.
  bool close();
  // True once a write to this file failed; stays set after close() until the
  // next open.
  bool write_failed() const noexcept { return m_write_failed; }

  // The stream attached by attach_output_stream, or null. Owned by the file.
  fileio_output* output_stream() const noexcept { return m_output.get(); }
  // The path as opened (trailing separators removed).
  const std::wstring& path() const noexcept { return m_path; }

 private:
  friend fileio_output* attach_output_stream(fileio& file);

  bool open_path(std::string_view utf8_path, int flags);
  std::uint64_t measure_size() const;  // by seeking to the end; the offset is kept

  int m_descriptor = -1;
  std::uint64_t m_size = 0;
  bool m_writable = false;
  bool m_opened = false;
  bool m_write_failed = false;
  std::wstring m_path;
  std::string m_native_path;  // the bytes handed to the system
  std::unique_ptr<fileio_output> m_output;
};

// Reads the first min(size, limit) bytes of a file into `out`, which is
// cleared first and keeps its capacity (callers pass one vector for thousands
// of files). False, with `out` empty, for an empty path, a zero limit, a file
// that can't be opened, an empty file, or a file of which nothing could be
// read.
bool read_whole_file(std::vector<std::uint8_t>& out, std::string_view utf8_path,
                     std::uint32_t limit);

}  // namespace uni
