// Placeholder until the container decoder lands: recognises nothing.
#include "prefetch/xpress.h"

namespace kerf {

xpress_adt::xpress_adt(std::uint32_t table_size) : m_table_size(table_size) {}
xpress_adt::~xpress_adt() = default;

xpress_adt::Container xpress_adt::detect_container(std::span<const std::uint8_t>) { return {}; }

bool xpress_adt::decompress(std::span<const std::uint8_t>) { return false; }

bool xpress_adt::build_decode_table(qv::ByteReader) { return false; }
bool xpress_adt::decode_huffman_block(qv::ByteReader, std::uint64_t& consumed) {
  consumed = 0;
  return false;
}
std::uint32_t xpress_adt::decode_lz77_block(qv::ByteReader) { return 0; }

}  // namespace kerf
