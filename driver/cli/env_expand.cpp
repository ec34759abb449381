#include "driver/cli/env_expand.h"

#include <cstdlib>
#include <string_view>

#include "lib/text/ascii.h"

namespace kerf {

namespace {

// Expansion stops growing the text at this length.
constexpr std::size_t kExpandLengthLimit = 513;
// A variable whose value names itself (A="%A%") or a cycle of variables
// never makes the text longer, so the length limit alone would never end the
// loop. A reference still expanding after this many replacements at the same
// place is left as it stands.
constexpr int kMaxNestedExpansions = 64;

constexpr std::string_view kShadowCopyPrefix = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";

// getenv wants a C string: a name with an embedded NUL can't be a variable.
const char* environment_value(const std::string& name) {
  if (name.find('\0') != std::string::npos) return nullptr;
  return std::getenv(name.c_str());
}

}  // namespace

std::string expand_env_vars(const std::string& text) {
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
    if (text::equals_ignoring_case(name, "vss")) {
      result.replace(open, close - open + 1, kShadowCopyPrefix);
      start = open + kShadowCopyPrefix.size();
    } else {
      start = close + 1;
    }
  }
  return result;
}

}  // namespace kerf
