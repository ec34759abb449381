#include "driver/input/input_filter.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "driver/cli/arg_list.h"
#include "lib/io/file.h"
#include "lib/text/ascii.h"
#include "lib/text/path_name.h"

namespace kerf {

namespace {

// Appends the pieces of `text` between `separator`s, trimmed of white space;
// empty pieces are dropped.
void append_pieces(std::string_view text, char separator, std::vector<std::string_view>& pieces) {
  while (true) {
    const std::size_t end = text.find(separator);
    const std::string_view piece = text::trimmed(text.substr(0, end));
    if (!piece.empty()) pieces.push_back(piece);
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

FilterPattern make_pattern(std::string_view token) {
  FilterPattern pattern;
  // What follows a ':' would name an alternate data stream, which no file
  // copied to Linux has.
  pattern.name_pattern = token.substr(0, token.find(':'));
  if (pattern.name_pattern == "*") {
    pattern.match_all = true;
    return pattern;
  }
  // The '*'s go one by one from the left; a star standing first when it is
  // removed marks a leading wildcard, one standing last a trailing one.
  std::string& name = pattern.name_pattern;
  for (std::size_t at = name.find('*'); at != std::string::npos; at = name.find('*')) {
    if (at == 0) pattern.leading_wildcard = true;
    if (at + 1 == name.size()) pattern.trailing_wildcard = true;
    name.erase(at, 1);
  }
  pattern.is_path = name.starts_with('/');
  return pattern;
}

// A file on the host, reached by its name. Names are handed to the system
// as the bytes they are, so a name that is not UTF-8 is still found.
class HostFileProbe final : public FileProbe {
 public:
  explicit HostFileProbe(std::string_view path) : m_path(path) {}

  std::optional<std::int64_t> modified_seconds() override {
    if (m_path.find('\0') != std::string_view::npos) return std::nullopt;
    const std::string native(m_path);
    struct stat status {};
    if (::stat(native.c_str(), &status) != 0) return std::nullopt;
    return status.st_mtim.tv_sec;
  }

  // The file is opened the way the decoder opens it, so a FIFO or socket is
  // refused rather than waited on.
  bool holds(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    io::File file;
    if (!file.open_for_read(m_path)) return false;
    const std::uint64_t size = file.size();
    if (offset > size || bytes.size() > size - offset) return false;
    std::vector<std::uint8_t> found;
    return file.read_at(found, bytes.size(), offset) && std::ranges::equal(found, bytes);
  }

 private:
  std::string_view m_path;
};

// Directory test of a "/dir" pattern: the first "/dir" in the directory part
// must end where the directory part ends or where its next component starts.
bool directory_matches(std::string_view directory, std::string_view pattern) {
  const std::size_t at = directory.find(pattern);
  if (at == std::string_view::npos) return false;
  const std::size_t end = at + pattern.size();
  return end == directory.size() || directory[end] == '/';
}

bool name_matches(const FilterPattern& entry, std::string_view name) {
  const std::string_view pattern = entry.name_pattern;
  if (entry.leading_wildcard && entry.trailing_wildcard) return name.find(pattern) != std::string_view::npos;
  if (entry.leading_wildcard) {
    // Only the first occurrence counts: x.pf.pf is not a "*.pf" name.
    const std::size_t at = name.find(pattern);
    return at != std::string_view::npos && at + pattern.size() == name.size();
  }
  if (entry.trailing_wildcard) return name.starts_with(pattern);
  return !pattern.empty() && name == pattern;
}

}  // namespace

bool inside_time_window(const TimeWindow& window, std::string_view path) {
  if (!window.is_set()) return true;
  HostFileProbe probe(path);
  return inside_time_window(window, probe);
}

bool inside_time_window(const TimeWindow& window, FileProbe& probe) {
  if (!window.is_set()) return true;
  const std::optional<std::int64_t> known = probe.modified_seconds();
  if (!known) return false;
  const std::int64_t modified = *known;
  // 0 is what a copy without times shows; neither it nor a time outside the
  // 32-bit range can be placed in a window.
  if (modified <= 0 || modified > std::numeric_limits<std::uint32_t>::max()) return false;
  if (window.start && modified < window.start->unix_seconds()) return false;
  if (window.stop && modified > window.stop->unix_seconds()) return false;
  return true;
}

std::vector<FilterPattern> parse_filter_patterns(std::string_view value) {
  const std::string text = text::lowered(value);
  // A value such as "a|b,c" is read both ways, split at the bars and split at
  // the commas: a name that contains one of the two characters can still be
  // given as one pattern.
  std::vector<std::string_view> tokens;
  if (text.find('|') != std::string::npos) append_pieces(text, '|', tokens);
  if (text.find(',') != std::string::npos) append_pieces(text, ',', tokens);
  if (tokens.empty()) tokens.push_back(text);

  std::vector<FilterPattern> patterns;
  for (const std::string_view token : tokens) {
    if (token == "*") {
      // Everything passes: one pattern says so, the others would only cost time.
      patterns.assign(1, FilterPattern{});
      patterns.front().name_pattern.assign(1, '*');
      patterns.front().match_all = true;
      break;
    }
    patterns.push_back(make_pattern(token));
  }
  return patterns;
}

std::optional<FilterPattern> parse_filter_signature(std::string_view value) {
  std::string_view bytes_text = value;
  std::string_view offset;
  std::size_t split = value.find('|');
  if (split == std::string_view::npos) split = value.find(',');
  if (split != std::string_view::npos) {
    bytes_text = value.substr(0, split);
    offset = value.substr(split + 1);
  }
  std::string_view hex = text::trimmed(bytes_text);
  if (hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.remove_prefix(2);
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;

  FilterPattern pattern;
  pattern.content_bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = text::hex_digit_value(hex[i]);
    const int low = text::hex_digit_value(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    pattern.content_bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  // An offset that is no whole number would quietly select nothing (or the
  // wrong bytes): the signature is refused instead.
  if (!text::trimmed(offset).empty()) {
    const std::optional<std::uint64_t> at = parse_whole_number(offset);
    if (!at) return std::nullopt;
    pattern.content_offset = *at;
  }
  return pattern;
}

bool match_path(const TimeWindow& window, std::string_view path, const std::vector<FilterPattern>& patterns) {
  HostFileProbe probe(path);
  return match_path(window, path, patterns, probe);
}

bool match_path(const TimeWindow& window, std::string_view path, const std::vector<FilterPattern>& patterns,
                FileProbe& probe) {
  if (path.empty()) return false;
  if (!inside_time_window(window, probe)) return false;
  if (patterns.empty()) return true;
  if (patterns.size() == 1 && patterns.front().match_all) return true;

  const std::size_t split = text::last_path_separator(path);
  const std::string_view directory_part =
      split == std::string_view::npos ? std::string_view() : path.substr(0, split);
  const std::string name = text::lowered(split == std::string_view::npos ? path : path.substr(split + 1));

  // Compared as UTF-8 bytes: for UTF-8 text a byte match is a character
  // match, and a name that is not UTF-8 can still be screened.
  std::optional<std::string> directory;  // lower-cased on first need
  std::optional<std::string> directory_slashed;
  for (const FilterPattern& entry : patterns) {
    if (entry.is_path) {
      if (!directory) directory = text::lowered(directory_part);
      bool found = directory_matches(*directory, entry.name_pattern);
      if (!found && directory->find(entry.name_pattern) == std::string::npos &&
          directory->find('\\') != std::string::npos) {
        if (!directory_slashed) {
          directory_slashed = *directory;
          std::replace(directory_slashed->begin(), directory_slashed->end(), '\\', '/');
        }
        found = directory_matches(*directory_slashed, entry.name_pattern);
      }
      if (found) return true;
    }
    if (entry.match_all) return true;
    if (name_matches(entry, name)) return true;
    if (!entry.leading_wildcard && !entry.trailing_wildcard && !entry.content_bytes.empty() &&
        probe.holds(entry.content_offset, entry.content_bytes)) {
      return true;
    }
  }
  return false;
}

}  // namespace kerf
