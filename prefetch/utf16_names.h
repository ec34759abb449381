// UTF-16LE names inside a Prefetch image, turned into UTF-8 once, as they
// are read.
//
// Windows stores every name as 16-bit units. Each unit is taken as one code
// point of its own; surrogate pairs are not joined, so a unit from D800 to
// DFFF becomes a three-byte UTF-8 sequence by itself.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "lib/io/byte_reader.h"

namespace kerf {

// Unit `i` of a span of whole UTF-16LE units (the reader has checked the span).
inline std::uint16_t unit_at(std::span<const std::uint8_t> units, std::size_t i) {
  return static_cast<std::uint16_t>(units[2 * i] | (units[2 * i + 1] << 8));
}

struct UnitRun {
  std::uint64_t units = 0;  // units of the name, without the zero unit
  bool terminated = false;  // a zero unit ended the name
};

// Appends to `out` the units from image offset `offset` up to the first zero
// unit, looking at no more than `max_units` units (the zero unit counts) and
// never past the end of the image.
UnitRun append_units_to_zero(const io::ByteReader& image, std::uint64_t offset,
                             std::uint64_t max_units, std::string& out);

// The units from `offset` before the first zero unit, looking at no more
// than `max_units` units and never past the end of the image.
std::uint64_t count_units_to_zero(const io::ByteReader& image, std::uint64_t offset, std::uint64_t max_units);

// Appends `count` units from `offset` (zero units included), as many as lie
// inside the image.
void append_units(const io::ByteReader& image, std::uint64_t offset, std::uint64_t count,
                  std::string& out);

}  // namespace kerf
