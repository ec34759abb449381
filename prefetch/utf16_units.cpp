#include "prefetch/utf16_units.h"

#include <algorithm>

namespace kerf {

UnitRun append_units_to_zero(const qv::ByteReader& image, std::uint64_t offset,
                             std::uint64_t max_units, std::string& out) {
  UnitRun run;
  for (; run.units < max_units; ++run.units) {
    const auto unit = image.u16(offset + 2 * run.units);
    if (!unit) break;
    if (*unit == 0) {
      run.terminated = true;
      break;
    }
    append_unit_utf8(out, *unit);
  }
  return run;
}

void append_units(const qv::ByteReader& image, std::uint64_t offset, std::uint64_t count,
                  std::string& out) {
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto unit = image.u16(offset + 2 * i);
    if (!unit) break;
    append_unit_utf8(out, *unit);
  }
}

std::wstring read_units_wide(const qv::ByteReader& image, std::uint64_t offset,
                             std::uint64_t count) {
  std::wstring result;
  result.reserve(static_cast<std::size_t>(std::min(count, image.remaining(offset) / 2)));
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto unit = image.u16(offset + 2 * i);
    if (!unit) break;
    result.push_back(static_cast<wchar_t>(*unit));
  }
  return result;
}

}  // namespace kerf
