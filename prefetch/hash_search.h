// Proving a path of the executable against the hash stored in the header,
// and the candidates that are not loaded files: each directory the file
// lists, joined with the executable's name. Internal to the parser.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "lib/io/byte_reader.h"
#include "prefetch/header.h"
#include "prefetch/record.h"

namespace kerf {

// Windows hashes the path under the volume's device name
// "\DEVICE\HARDDISKVOLUMEn"; Windows 10 and later list files under the
// volume's GUID-style name "\VOLUME{...}" instead, and such a path is tried
// with each n from 1 to 128 in its place.
class HashSearch {
 public:
  static constexpr std::uint32_t kMaxVolumeNumber = 128;
  using DeviceStates = std::array<std::uint32_t, kMaxVolumeNumber>;

  HashSearch(std::uint32_t version, std::uint32_t stored);

  // Tries one path given as its UTF-16LE bytes; fills `check` and gives
  // true when it proves the stored hash.
  bool try_path(std::span<const std::uint8_t> utf16le, HashCheck& check) const;

 private:
  bool try_volume_numbers(std::span<const std::uint8_t> rest, HashCheck& check) const;

  std::uint32_t m_version;
  std::uint32_t m_stored;
};

// The header keeps at most 29 units of a longer executable name.
inline constexpr std::uint64_t kCutNameUnits = 29;

// Whether the last path component of `name` is the executable's name
// (ignoring the case of A-Z), or begins with it when Windows cut the name.
// An empty name, or one holding a "\", is no file name and names nothing.
bool names_executable(std::string_view name, std::string_view exe_name, bool exe_name_cut);

// Joins each directory the file lists (volume by volume, each in its list
// order) with the executable's name as the header stores it and tries the
// path; the first that proves the stored hash fills `check` and gives the
// path as the file lists its directory. Nothing when the name was cut (the
// whole name is not known), holds a "\" or is empty, or no path proves it.
std::optional<std::string> prove_in_directories(const io::ByteReader& image, const PrefetchHeader& header,
                                                const PrefetchRecord& record, const HashSearch& search,
                                                HashCheck& check);

}  // namespace kerf
