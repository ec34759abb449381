#include "sources/image/image_segments.h"

#include <algorithm>
#include <cctype>

#include "lib/io/file.h"

namespace kerf::image {

namespace {

// How far past a missing segment later ones are looked for: a set seldom
// lacks more than a few files in a row.
constexpr unsigned kGapSearch = 16;

bool exists(const std::string& path) { return io::file_id(path).has_value(); }

struct Numbered {
  std::string stem;  // up to and including the '.'
  std::size_t width = 0;
  unsigned long number = 0;
};

// "disk.001" -> {"disk.", 3, 1}; nothing unless the name ends in '.' and two
// to six digits.
std::optional<Numbered> numbered(const std::string& path) {
  const std::size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
  const std::string digits = path.substr(dot + 1);
  if (digits.size() < 2 || digits.size() > 6 ||
      !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
    return std::nullopt;
  }
  return Numbered{path.substr(0, dot + 1), digits.size(), std::stoul(digits)};
}

std::string name_of(const Numbered& name, unsigned long number) {
  std::string digits = std::to_string(number);
  if (digits.size() < name.width) digits.insert(0, name.width - digits.size(), '0');
  return name.stem + digits;
}

}  // namespace

std::vector<std::string> numbered_segments(const std::string& first, std::string& reason) {
  const auto name = numbered(first);
  if (!name) return {first};
  if (name->number > 1 && exists(name_of(*name, name->number - 1))) {
    reason = "not the first segment of the image (" + name_of(*name, name->number - 1) + " comes before it)";
    return {};
  }
  std::vector<std::string> segments{first};
  const unsigned long limit = [&] {
    unsigned long power = 1;
    for (std::size_t i = 0; i < name->width; ++i) power *= 10;
    return power;
  }();
  unsigned long next = name->number + 1;
  while (next < limit && exists(name_of(*name, next))) segments.push_back(name_of(*name, next++));
  for (unsigned long later = next + 1; later < limit && later <= next + kGapSearch; ++later) {
    if (exists(name_of(*name, later))) {
      reason = "segment " + std::to_string(next - name->number + 1) + " is missing (" + name_of(*name, next) + ")";
      return {};
    }
  }
  return segments;
}

std::optional<std::string> ewf_segment_name(const std::string& first, unsigned number) {
  if (number == 0 || number > 99 || first.size() < 4) return std::nullopt;
  std::string name = first;
  name[name.size() - 2] = static_cast<char>('0' + number / 10);
  name[name.size() - 1] = static_cast<char>('0' + number % 10);
  return name;
}

}  // namespace kerf::image
