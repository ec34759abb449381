#include "lib/path_ops.h"

#include <cstdlib>
#include <string_view>

#include "lib/string_ops.h"

namespace qv {

namespace {

// Expansion stops growing the text at this length.
constexpr std::size_t kExpandLengthLimit = 513;
// A variable whose value names itself (A="%A%") or a cycle of variables
// never makes the text longer, so the length limit alone would never end the
// loop. A reference still expanding after this many replacements at the same
// place is left as it stands.
constexpr int kMaxNestedExpansions = 64;

template <class String>
bool split_path_at(const String& path, String& directory, String& name) {
  using Char = typename String::value_type;
  directory.clear();
  name.clear();
  if (path.empty()) return false;

  const Char backslash = static_cast<Char>('\\');
  const Char slash = static_cast<Char>('/');
  const String dot(1, static_cast<Char>('.'));
  const String dot_dot(2, static_cast<Char>('.'));

  std::size_t at = path.rfind(backslash);
  String up_suffix;  // appended to the directory when the name is ".."
  if (at != String::npos) {
    up_suffix = String(1, backslash) + dot_dot;
  } else {
    at = path.rfind(slash);
    up_suffix = String(2, slash) + dot_dot;
  }
  if (at == String::npos || at == 0) {
    directory = dot;
    name = path;
    return true;
  }
  directory = path.substr(0, at);
  name = path.substr(at + 1);
  if (name == dot_dot) {
    name = dot;
    directory += up_suffix;
  }
  return true;
}

// getenv wants a C string: a name with an embedded NUL can't be a variable.
const char* environment_value(const std::string& name) {
  if (name.find('\0') != std::string::npos) return nullptr;
  return std::getenv(name.c_str());
}

}  // namespace

bool strip_trailing_separators(std::wstring& path) {
  const std::size_t keep = path.find_last_not_of(L"/\\");
  path.erase(keep == std::wstring::npos ? 0 : keep + 1);
  return !path.empty();
}

bool split_path(const std::string& path, std::string& directory, std::string& name) {
  return split_path_at(path, directory, name);
}

bool split_path(const std::wstring& path, std::wstring& directory, std::wstring& name) {
  return split_path_at(path, directory, name);
}

std::string expand_env_vars(const std::string& text, bool vss) {
  std::string result = text;
  std::size_t start = 0;
  std::size_t last_expanded_at = std::string::npos;
  int nested = 0;
  while (result.size() < kExpandLengthLimit) {
    const std::size_t open = result.find('%', start);
    if (open == std::string::npos) break;
    const std::size_t close = result.find('%', open + 1);
    if (close == std::string::npos) break;
    const std::string name = result.substr(open + 1, close - open - 1);

    if (const char* value = environment_value(name)) {
      nested = (open == last_expanded_at) ? nested + 1 : 1;
      if (nested <= kMaxNestedExpansions) {
        result.replace(open, close - open + 1, value);
        last_expanded_at = open;
        start = open;  // the value may hold references of its own
        continue;
      }
      start = close + 1;
      continue;
    }

    std::string folded = name;
    if (vss && to_lower(folded) == "vss") {
      const std::string prefix = shadow_copy_prefix(false, true);
      result.replace(open, close - open + 1, prefix);
      start = open + prefix.size();
    } else {
      start = close + 1;
    }
  }
  return result;
}

std::string shadow_copy_prefix(bool lower, bool long_form) {
  std::string prefix = long_form ? "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy"
                                 : "\\Device\\HarddiskVolumeShadowCopy";
  if (lower) to_lower(prefix);
  return prefix;
}

}  // namespace qv
