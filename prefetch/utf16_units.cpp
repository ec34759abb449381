#include "prefetch/utf16_units.h"

#include <algorithm>

namespace kerf {

namespace {

// Writes `count` units from `offset` to the end of `out`. Names in Prefetch
// files are nearly always plain ASCII; those are stored with one resize and
// no per-character growth checks.
void append_checked_units(const qv::ByteReader& image, std::uint64_t offset, std::uint64_t count,
                          bool ascii, std::string& out) {
  if (ascii) {
    const std::size_t base = out.size();
    out.resize(base + static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      out[base + i] = static_cast<char>(image.u16_or(offset + 2 * i, 0));
    }
    return;
  }
  for (std::uint64_t i = 0; i < count; ++i) append_unit_utf8(out, image.u16_or(offset + 2 * i, 0));
}

}  // namespace

UnitRun append_units_to_zero(const qv::ByteReader& image, std::uint64_t offset,
                             std::uint64_t max_units, std::string& out) {
  // Only units that lie whole inside the image are looked at.
  const std::uint64_t available = std::min(max_units, image.remaining(offset) / 2);
  UnitRun run;
  std::uint16_t seen = 0;  // all units or'ed together: below 0x80 means ASCII
  for (; run.units < available; ++run.units) {
    const std::uint16_t unit = image.u16_or(offset + 2 * run.units, 0);
    if (unit == 0) {
      run.terminated = true;
      break;
    }
    seen |= unit;
  }
  append_checked_units(image, offset, run.units, seen < 0x80, out);
  return run;
}

void append_units(const qv::ByteReader& image, std::uint64_t offset, std::uint64_t count,
                  std::string& out) {
  const std::uint64_t available = std::min(count, image.remaining(offset) / 2);
  std::uint16_t seen = 0;
  for (std::uint64_t i = 0; i < available; ++i) seen |= image.u16_or(offset + 2 * i, 0);
  append_checked_units(image, offset, available, seen < 0x80, out);
}

std::wstring read_units_wide(const qv::ByteReader& image, std::uint64_t offset,
                             std::uint64_t count) {
  const std::uint64_t available = std::min(count, image.remaining(offset) / 2);
  std::wstring result(static_cast<std::size_t>(available), L'\0');
  for (std::uint64_t i = 0; i < available; ++i) {
    result[i] = static_cast<wchar_t>(image.u16_or(offset + 2 * i, 0));
  }
  return result;
}

}  // namespace kerf
