#include "prefetch/hash_check.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "lib/text/ascii.h"
#include "prefetch/path_hash.h"
#include "prefetch/utf16_names.h"

namespace kerf {

namespace {

// Windows hashes the path under the volume's device name; Windows 10 and
// later list files under the volume's GUID-style name instead.
constexpr std::string_view kDevicePrefix = "\\DEVICE\\HARDDISKVOLUME";
constexpr std::string_view kVolumeGuidPrefix = "\\VOLUME{";
constexpr std::uint32_t kMaxVolumeNumber = 128;
// The header keeps at most 29 units of a longer executable name.
constexpr std::uint64_t kCutNameUnits = 29;

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

using DeviceStates = std::array<std::uint32_t, kMaxVolumeNumber>;

// The rolled states of "\DEVICE\HARDDISKVOLUMEn", n from 1 to 128, from
// the seed of a format version; worked out by the compiler.
constexpr DeviceStates device_states(std::uint32_t seed) {
  DeviceStates states{};
  const std::uint32_t prefix = roll_ascii(seed, kDevicePrefix);
  for (std::uint32_t number = 1; number <= kMaxVolumeNumber; ++number) {
    states[number - 1] = roll_ascii(prefix, decimal(number).text());
  }
  return states;
}

constexpr DeviceStates kXpDeviceStates = device_states(path_hash_seed(kVersionXp));
constexpr DeviceStates kLaterDeviceStates = device_states(path_hash_seed(kVersionVista));

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

class HashSearch {
 public:
  HashSearch(const io::ByteReader& image, std::uint32_t version, std::uint32_t stored)
      : m_image(image),
        m_version(version),
        m_stored(stored),
        m_device_states(version == kVersionXp ? kXpDeviceStates : kLaterDeviceStates) {}

  // Tries one path; fills `check` and gives true when it proves the hash.
  bool try_path(UnitRange path, HashCheck& check) {
    const std::span<const std::uint8_t> bytes = m_image.bytes(path.offset, 2 * path.units);
    if (bytes.empty()) return false;
    if (starts_with_ascii(bytes, kVolumeGuidPrefix)) {
      for (std::size_t i = kVolumeGuidPrefix.size(); i < path.units; ++i) {
        if (unit_at(bytes, i) != '}') continue;
        return try_volume_numbers({path.offset + 2 * (i + 1), path.units - (i + 1)}, check);
      }
    }
    if (path_hash(m_version, bytes) != m_stored) return false;
    check.verified = true;
    check.device_path.clear();
    append_units(m_image, path.offset, path.units, check.device_path);
    check.volume_number = volume_number_of(bytes);
    return true;
  }

 private:
  // "\DEVICE\HARDDISKVOLUMEn" and then `rest`, for n from 1 up. The rest is
  // rolled once; each n then costs one multiplication and one addition.
  bool try_volume_numbers(UnitRange rest, HashCheck& check) {
    const std::span<const std::uint8_t> rest_bytes = m_image.bytes(rest.offset, 2 * rest.units);
    const std::uint32_t rest_state = path_hash_roll(0, rest_bytes);
    const std::uint32_t rest_weight = path_hash_weight(rest_bytes.size());
    for (std::uint32_t number = 1; number <= kMaxVolumeNumber; ++number) {
      if (path_hash_finish(m_version, m_device_states[number - 1] * rest_weight + rest_state) != m_stored) continue;
      check.verified = true;
      check.device_path.assign(device_name(number));
      append_units(m_image, rest.offset, rest.units, check.device_path);
      check.volume_number = number;
      return true;
    }
    return false;
  }

  static std::string device_name(std::uint32_t number) {
    std::string name(kDevicePrefix);
    name.append(decimal(number).text());
    return name;
  }

  const io::ByteReader& m_image;
  std::uint32_t m_version;
  std::uint32_t m_stored;
  const DeviceStates& m_device_states;
};

// The last path component of a loaded file names the executable (which
// holds no "\"). Most names are turned down by one byte, with no search for
// their last "\".
bool names_executable(std::string_view name, std::string_view exe_name, bool exe_name_cut) {
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

bool same_units(const io::ByteReader& image, UnitRange a, UnitRange b) {
  if (a.units != b.units) return false;
  const auto first = image.bytes(a.offset, 2 * a.units);
  const auto second = image.bytes(b.offset, 2 * b.units);
  return std::equal(first.begin(), first.end(), second.begin(), second.end());
}

}  // namespace

void check_executable_hash(const io::ByteReader& image, const PrefetchHeader& header,
                           const std::optional<UnitRange>& embedded, PrefetchRecord& record) {
  HashCheck& check = record.hash_check;
  check = HashCheck{};
  HashSearch search(image, header.version, record.stored_hash);

  if (embedded && search.try_path(*embedded, check)) return;

  // No last path component holds a "\".
  if (record.exe_name.find('\\') != std::string::npos) return;
  const bool cut = header.exe_name_units >= kCutNameUnits;
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) {
    if (!names_executable(record.loaded_files[i], record.exe_name, cut)) continue;
    const std::uint64_t offset = record.loaded_file_offsets[i];
    const UnitRange name{offset, count_units_to_zero(image, offset, image.remaining(offset) / 2)};
    if (embedded && same_units(image, name, *embedded)) continue;  // tried already
    if (search.try_path(name, check)) return;
  }
}

}  // namespace kerf
