#include "prefetch/hash_search.h"

#include <algorithm>
#include <vector>

#include "lib/text/ascii.h"
#include "prefetch/path_hash.h"
#include "prefetch/utf16_names.h"

namespace kerf {

namespace {

constexpr std::string_view kDevicePrefix = "\\DEVICE\\HARDDISKVOLUME";
constexpr std::string_view kVolumeGuidPrefix = "\\VOLUME{";

// The hash rolled over ASCII text as UTF-16LE units.
constexpr std::uint32_t roll_ascii(std::uint32_t state, std::string_view text) {
  for (const char c : text) {
    const std::uint8_t unit[2] = {static_cast<std::uint8_t>(c), 0};
    state = path_hash_roll(state, unit);
  }
  return state;
}

// A volume number's digits.
struct Decimal {
  char digits[4] = {};
  std::size_t size = 0;
  constexpr std::string_view text() const { return {digits, size}; }
};

constexpr Decimal decimal(std::uint32_t number) {
  Decimal out;
  for (std::uint32_t rest = number; rest != 0 || out.size == 0; rest /= 10) ++out.size;
  for (std::size_t i = out.size; i-- > 0; number /= 10) out.digits[i] = static_cast<char>('0' + number % 10);
  return out;
}

// The rolled states of "\DEVICE\HARDDISKVOLUMEn", n from 1 to 128, from
// the seed of a format version; worked out by the compiler.
constexpr HashSearch::DeviceStates device_states(std::uint32_t seed) {
  HashSearch::DeviceStates states{};
  const std::uint32_t prefix = roll_ascii(seed, kDevicePrefix);
  for (std::uint32_t number = 1; number <= HashSearch::kMaxVolumeNumber; ++number) {
    states[number - 1] = roll_ascii(prefix, decimal(number).text());
  }
  return states;
}

constexpr HashSearch::DeviceStates kXpDeviceStates = device_states(path_hash_seed(kVersionXp));
constexpr HashSearch::DeviceStates kLaterDeviceStates = device_states(path_hash_seed(kVersionVista));

// After Windows XP the stored hash is the rolled state itself, so for a
// path's rest the one device state that proves it can be worked out, and
// looked up among the device states, sorted, instead of trying each n: a
// file whose hash no path proves (a host process hashed with its command
// line) would otherwise cost 128 tries for every candidate.
struct DeviceState {
  std::uint32_t state = 0;
  std::uint32_t number = 0;
  constexpr bool operator<(const DeviceState& other) const {
    return state != other.state ? state < other.state : number < other.number;
  }
};

constexpr std::array<DeviceState, HashSearch::kMaxVolumeNumber> sorted_device_states(
    const HashSearch::DeviceStates& states) {
  std::array<DeviceState, HashSearch::kMaxVolumeNumber> sorted{};
  for (std::uint32_t number = 1; number <= HashSearch::kMaxVolumeNumber; ++number) {
    sorted[number - 1] = {states[number - 1], number};
  }
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

constexpr auto kLaterDeviceStatesSorted = sorted_device_states(kLaterDeviceStates);

// The inverse of an odd number modulo 2^32 (every power of 37 is odd), by
// Newton's iteration: each step doubles the bits that are right.
constexpr std::uint32_t odd_inverse(std::uint32_t odd) {
  std::uint32_t inverse = odd;  // right in the low 3 bits
  for (int step = 0; step < 4; ++step) inverse *= 2u - odd * inverse;
  return inverse;
}
static_assert(odd_inverse(37) * 37u == 1u && odd_inverse(0x9e3779b1u) * 0x9e3779b1u == 1u);

bool starts_with_ascii(std::span<const std::uint8_t> bytes, std::string_view text) {
  if (bytes.size() / 2 < text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (unit_at(bytes, i) != static_cast<unsigned char>(text[i])) return false;
  }
  return true;
}

// The n of a "\DEVICE\HARDDISKVOLUMEn" path (ended by "\" or by the path
// itself); 0 for any other path.
std::uint32_t volume_number_of(std::span<const std::uint8_t> bytes) {
  if (!starts_with_ascii(bytes, kDevicePrefix)) return 0;
  const std::size_t units = bytes.size() / 2;
  std::uint64_t number = 0;
  std::size_t i = kDevicePrefix.size();
  for (; i < units; ++i) {
    const std::uint16_t unit = unit_at(bytes, i);
    if (unit < '0' || unit > '9') break;
    number = number * 10 + (unit - '0');
    if (number > UINT32_MAX) return 0;
  }
  if (i < units && unit_at(bytes, i) != '\\') return 0;
  return static_cast<std::uint32_t>(number);
}

// The UTF-8 text of whole UTF-16LE units.
void append_text(std::span<const std::uint8_t> utf16le, std::string& out) {
  append_units(io::ByteReader{utf16le}, 0, utf16le.size() / 2, out);
}

}  // namespace

HashSearch::HashSearch(std::uint32_t version, std::uint32_t stored)
    : m_version(version),
      m_stored(stored) {}

bool HashSearch::try_path(std::span<const std::uint8_t> bytes, HashCheck& check) const {
  bytes = bytes.first(bytes.size() / 2 * 2);
  if (bytes.empty()) return false;
  if (starts_with_ascii(bytes, kVolumeGuidPrefix)) {
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = kVolumeGuidPrefix.size(); i < units; ++i) {
      if (unit_at(bytes, i) == '}') return try_volume_numbers(bytes.subspan(2 * (i + 1)), check);
    }
  }
  if (path_hash(m_version, bytes) != m_stored) return false;
  check.verified = true;
  check.device_path.clear();
  append_text(bytes, check.device_path);
  check.volume_number = volume_number_of(bytes);
  return true;
}

// "\DEVICE\HARDDISKVOLUMEn" and then `rest`, for n from 1 up. The rest is
// rolled once; each n then costs one multiplication and one addition.
bool HashSearch::try_volume_numbers(std::span<const std::uint8_t> rest, HashCheck& check) const {
  const std::uint32_t rest_state = path_hash_roll(0, rest);
  const std::uint32_t rest_weight = path_hash_weight(rest.size());
  const auto proved_by = [&](std::uint32_t number) {
    check.verified = true;
    check.device_path.assign(kDevicePrefix);
    check.device_path.append(decimal(number).text());
    append_text(rest, check.device_path);
    check.volume_number = number;
    return true;
  };
  if (m_version != kVersionXp) {
    const std::uint32_t wanted = (m_stored - rest_state) * odd_inverse(rest_weight);
    const auto found = std::lower_bound(kLaterDeviceStatesSorted.begin(), kLaterDeviceStatesSorted.end(),
                                        DeviceState{wanted, 0});
    return found != kLaterDeviceStatesSorted.end() && found->state == wanted && proved_by(found->number);
  }
  for (std::uint32_t number = 1; number <= kMaxVolumeNumber; ++number) {
    if (path_hash_finish(m_version, kXpDeviceStates[number - 1] * rest_weight + rest_state) == m_stored) {
      return proved_by(number);
    }
  }
  return false;
}

// Most names are turned down by one byte, with no search for their last "\".
bool names_executable(std::string_view name, std::string_view exe_name, bool exe_name_cut) {
  if (exe_name.empty() || exe_name.find('\\') != std::string_view::npos) return false;
  if (!exe_name_cut) {
    if (name.size() < exe_name.size()) return false;
    const std::size_t start = name.size() - exe_name.size();
    if (start != 0 && name[start - 1] != '\\') return false;
    return text::equals_ignoring_case(name.substr(start), exe_name);
  }
  const std::size_t slash = name.rfind('\\');
  const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
  return last.size() >= exe_name.size() && text::equals_ignoring_case(last.substr(0, exe_name.size()), exe_name);
}

std::optional<std::string> prove_in_directories(const io::ByteReader& image, const PrefetchHeader& header,
                                                const PrefetchRecord& record, const HashSearch& search,
                                                HashCheck& check) {
  const std::string_view exe_name = header.exe_name;
  if (header.exe_name_units >= kCutNameUnits || exe_name.empty() || exe_name.find('\\') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::span<const std::uint8_t> name_units = image.bytes(header_offset::kExeName, 2 * header.exe_name_units);
  std::vector<std::uint8_t> path;
  for (const Volume& volume : record.volumes) {
    for (std::size_t i = 0; i < volume.directory_ranges.size(); ++i) {
      const UnitRange directory = volume.directory_ranges[i];
      const std::span<const std::uint8_t> units = image.bytes(directory.offset, 2 * directory.units);
      // A directory listed with its closing "\" (a volume's root) takes no
      // second one.
      const bool closed = !units.empty() && unit_at(units, units.size() / 2 - 1) == '\\';
      path.assign(units.begin(), units.end());
      if (!closed) path.insert(path.end(), {'\\', 0});
      path.insert(path.end(), name_units.begin(), name_units.end());
      if (!search.try_path(path, check)) continue;
      std::string listed(volume.directories[i]);
      if (!closed) listed.push_back('\\');
      listed += exe_name;
      return listed;
    }
  }
  return std::nullopt;
}

}  // namespace kerf
