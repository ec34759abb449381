// Where one input file's bytes and facts come from. The loader reads every
// file through this interface, so a file on the host, a file inside a
// volume of a disk image, one in a shadow-copy store or a carved byte range
// all reach the Prefetch parser the same way.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sources/source_file.h"
#include "sources/volume_lookup.h"

namespace kerf {

// Why a source gave no bytes.
enum class SourceError {
  none,
  cannot_open,    // the system refused to open it (system_error says why)
  not_regular,    // a FIFO, a socket or a device: never waited on
  symbolic_link,  // a link met where links are not followed
  is_directory,
  excluded,     // the file is one kerf writes to (results, diagnostics)
  empty,
  cannot_read,  // opened, but reading failed (system_error says why)
  unreadable,   // a file inside a volume whose data can't be read whole (reason says why)
};

struct SourceStatus {
  SourceError error = SourceError::none;
  int system_error = 0;  // the errno of a failed open or read, when there was one
  // Why a file inside a volume can't be read ("its clusters now belong to
  // another file"): a string with static storage, or null.
  const char* reason = nullptr;

  bool ok() const noexcept { return error == SourceError::none; }
};

class InputSource {
 public:
  virtual ~InputSource() = default;

  // The name reports show for the file: a host file's path as typed or found.
  virtual std::string_view name() const noexcept = 0;
  // Opens the file and takes its facts, the birth time only when
  // `read_birth_time` asks for it (it may cost a call of its own).
  virtual SourceStatus open(bool read_birth_time) = 0;
  // The facts taken by a successful open.
  virtual const SourceFile& facts() const noexcept = 0;
  // Reads the file's first bytes, at most `most` of them, into `out` (whose
  // capacity is reused): `empty` when it has none.
  virtual SourceStatus read(std::vector<std::uint8_t>& out, std::uint64_t most) = 0;
  // The volumes of the disk image the file is in; null for a host file.
  virtual const VolumeLookup* volumes() const noexcept { return nullptr; }
};

}  // namespace kerf
