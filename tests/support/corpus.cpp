#include "tests/support/corpus.h"

#include <cstdlib>
#include <filesystem>

namespace kerf::testing {

std::optional<std::string> corpus_dir() {
  std::filesystem::path dir;
  if (const char* env = std::getenv("KERF_CORPUS"); env && *env) {
    dir = env;
  } else {
#ifdef KERF_SOURCE_DIR
    dir = std::filesystem::path(KERF_SOURCE_DIR) / ".." / "shared" / "corpus";
#else
    dir = std::filesystem::path("..") / "shared" / "corpus";
#endif
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
  return std::filesystem::weakly_canonical(dir, ec).string();
}

}  // namespace kerf::testing
