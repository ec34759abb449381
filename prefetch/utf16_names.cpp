#include "prefetch/utf16_names.h"

#include <algorithm>
#include <span>

#include "lib/text/utf8.h"

namespace kerf {

namespace {

// Four units at once, in the order they stand (the span holds them).
inline std::uint64_t four_units_at(std::span<const std::uint8_t> units, std::size_t i) {
  std::uint64_t word = 0;
  for (std::size_t b = 0; b < 8; ++b) word |= std::uint64_t{units[2 * i + b]} << (8 * b);
  return word;
}

// True when one of the four 16-bit lanes of `word` is zero.
constexpr bool has_zero_unit(std::uint64_t word) {
  return ((word - 0x0001000100010001ull) & ~word & 0x8000800080008000ull) != 0;
}

// The four lanes or'ed together into the low 16 bits.
constexpr std::uint16_t fold_units(std::uint64_t word) {
  return static_cast<std::uint16_t>(word | (word >> 16) | (word >> 32) | (word >> 48));
}

// Writes the first `count` units of `units` to the end of `out`. Names in
// Prefetch files are nearly always plain ASCII; those are stored with one
// resize and no per-character growth checks.
void append_span_units(std::span<const std::uint8_t> units, std::size_t count, bool ascii,
                       std::string& out) {
  if (ascii) {
    const std::size_t base = out.size();
    out.resize(base + count);
    char* const text = out.data() + base;
    for (std::size_t i = 0; i < count; ++i) text[i] = static_cast<char>(units[2 * i]);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) text::append_utf8(out, unit_at(units, i));
}

// The whole units from `offset`, at most `max_units` of them, as one span:
// the bounds are checked once here, not for every unit.
std::span<const std::uint8_t> unit_span(const io::ByteReader& image, std::uint64_t offset,
                                        std::uint64_t max_units) {
  const std::uint64_t available = std::min(max_units, image.remaining(offset) / 2);
  return image.bytes(offset, 2 * available);
}

}  // namespace

UnitRun append_units_to_zero(const io::ByteReader& image, std::uint64_t offset,
                             std::uint64_t max_units, std::string& out) {
  const auto units = unit_span(image, offset, max_units);
  const std::size_t available = units.size() / 2;
  UnitRun run;
  std::uint16_t seen = 0;  // all units or'ed together: below 0x80 means ASCII
  std::size_t count = 0;
  // Four units at a time up to the group that holds the zero unit.
  for (; count + 4 <= available; count += 4) {
    const std::uint64_t word = four_units_at(units, count);
    if (has_zero_unit(word)) break;
    seen |= fold_units(word);
  }
  for (; count < available; ++count) {
    const std::uint16_t unit = unit_at(units, count);
    if (unit == 0) {
      run.terminated = true;
      break;
    }
    seen |= unit;
  }
  run.units = count;
  append_span_units(units, count, seen < 0x80, out);
  return run;
}

std::uint64_t count_units_to_zero(const io::ByteReader& image, std::uint64_t offset, std::uint64_t max_units) {
  const auto units = unit_span(image, offset, max_units);
  const std::size_t available = units.size() / 2;
  std::size_t count = 0;
  while (count < available && unit_at(units, count) != 0) ++count;
  return count;
}

void append_units(const io::ByteReader& image, std::uint64_t offset, std::uint64_t count,
                  std::string& out) {
  const auto units = unit_span(image, offset, count);
  const std::size_t available = units.size() / 2;
  std::uint16_t seen = 0;
  for (std::size_t i = 0; i < available; ++i) seen |= unit_at(units, i);
  append_span_units(units, available, seen < 0x80, out);
}

}  // namespace kerf
