// Facts about a Prefetch file that several layouts show, worked out in one
// place so that every layout tells the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "prefetch/record.h"
#include "report/input_file.h"

namespace kerf {

// The hash Windows writes into a Prefetch file's name ("CALC.EXE-3FBEF7FD.pf")
// read against the hash stored inside the file.
struct NameHashMatch {
  std::optional<std::uint32_t> name_hash;  // nothing when the name carries none
  std::optional<bool> matches;             // nothing when the name carries none

  // The name carries another hash than the stored one: the file was renamed.
  bool contradicts() const noexcept { return matches == false; }
};

NameHashMatch name_hash_match(const InputFile& input, const PrefetchRecord& record);

// The time the timelines show as the Prefetch file's creation: a file that
// ran once was created by that run, so its last run stands for it; for any
// other, the file's status change.
std::uint64_t birth_stamp(const PrefetchRecord& record) noexcept;

// What became of loaded file `index`, looked up in the disk image the
// Prefetch file was read from; `unknown` when nothing was looked up.
MftLookup loaded_file_fate(const PrefetchRecord& record, std::size_t index);

// "in use", "deleted", "reused" or "unknown".
std::string_view mft_state_label(MftState state) noexcept;

// The path a loaded file that is still in use has now, when it is not the
// listed one less its volume's device path (ignoring the case of A-Z): the
// file was renamed or moved since. Empty otherwise.
std::string_view moved_to(const PrefetchRecord& record, std::size_t index, const MftLookup& fate);

}  // namespace kerf
