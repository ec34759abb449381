// Turning a signature hit in a stream of bytes into a Prefetch record: the
// header is checked for the consistency of a file Windows wrote (sizes,
// section offsets inside the declared size, counts that fit), a container
// is undone, and a find that stops short is decoded as far as it goes and
// marked cut (PrefetchRecord::cut).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codec/xpress_decoder.h"
#include "prefetch/parser.h"
#include "prefetch/record.h"

namespace kerf {

// What one hit came to.
enum class FindKind {
  none,     // not Prefetch data, or too little of it to decode
  whole,    // every byte the header declares was read and decoded
  partial,  // the data stops short (record.cut says how far it went)
};

struct Find {
  FindKind kind = FindKind::none;
  // The bytes of the stream the find takes, as stored (compressed or not):
  // signature hits inside them belong to it, not to finds of their own.
  std::uint64_t length = 0;
};

class FindDecoder {
 public:
  // Bytes of a hit looked at before anything is decoded.
  static constexpr std::size_t kHeadBytes = 16;

  explicit FindDecoder(const DecodeOptions& options = {}) : m_options(options) {}

  // How many bytes from the hit on may belong to it, judged from its first
  // kHeadBytes (fewer when the stream ends first): the declared size of a
  // plain image, or the most a container of its declared size can take; 0
  // when those bytes rule it out.
  static std::uint64_t bytes_wanted(std::span<const std::uint8_t> head) noexcept;

  // Decodes the hit at the start of `bytes`: what could be read of it, up
  // to bytes_wanted() (fewer when its extent ends first). `record` is
  // cleared first; its source facts are the caller's to set.
  Find decode(std::span<const std::uint8_t> bytes, PrefetchRecord& record);

  // The decoded Prefetch image of the last find (what was read of it, for
  // a partial one): the same bytes as a directory's file of the same content
  // decodes to.
  std::span<const std::uint8_t> image() const noexcept { return m_image; }

 private:
  Find decode_plain(std::span<const std::uint8_t> bytes, PrefetchRecord& record);
  Find decode_container(std::span<const std::uint8_t> bytes, PrefetchRecord& record);
  // Parses m_image, `declared` bytes long when read whole.
  bool parse(std::uint64_t declared, PrefetchRecord& record);
  void drop_overwritten_sections(PrefetchRecord& record);
  // How much of m_decoder's output came from `bytes` themselves.
  std::uint64_t trusted_output(std::span<const std::uint8_t> bytes);

  DecodeOptions m_options;
  codec::XpressDecoder m_decoder;
  std::span<const std::uint8_t> m_image;
  // For a stream cut short: the bytes with a filler after them, decoded
  // again by a decoder of their own.
  codec::XpressDecoder m_check;
  std::vector<std::uint8_t> m_padded;
};

// Whether the header at the start of `image` is one Windows writes for an
// image of `declared` bytes: a known version, "SCCA", that size in its size
// field, and every section offset and size inside it. `image` may be only
// the first bytes (at least the header's 228).
bool header_is_consistent(std::span<const std::uint8_t> image, std::uint64_t declared) noexcept;

}  // namespace kerf
