// UTF-16LE names inside a Prefetch image.
//
// Windows stores every name as 16-bit units. Each unit is taken as one code
// point of its own; surrogate pairs are not joined, so a unit from D800 to
// DFFF becomes a three-byte UTF-8 sequence by itself. Names go straight from
// the units to UTF-8 without a wide string in between.
#pragma once

#include <cstdint>
#include <string>

#include "lib/byte_reader.h"
#include "lib/text_encoding.h"

namespace kerf {

// Appends the UTF-8 form of one unit; plain ASCII takes the short path.
inline void append_unit_utf8(std::string& out, std::uint16_t unit) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else {
    qv::append_utf8(out, unit);
  }
}

struct UnitRun {
  std::uint64_t units = 0;  // units of the name, without the zero unit
  bool terminated = false;  // a zero unit ended the name
};

// Appends to `out` the units from image offset `offset` up to the first zero
// unit, looking at no more than `max_units` units (the zero unit counts) and
// never past the end of the image.
UnitRun append_units_to_zero(const qv::ByteReader& image, std::uint64_t offset,
                             std::uint64_t max_units, std::string& out);

// Appends exactly `count` units from `offset` (zero units included); the
// caller has checked that they lie inside the image.
void append_units(const qv::ByteReader& image, std::uint64_t offset, std::uint64_t count,
                  std::string& out);

// The `count` units from `offset` as a wide string, one element per unit.
std::wstring read_units_wide(const qv::ByteReader& image, std::uint64_t offset,
                             std::uint64_t count);

}  // namespace kerf
