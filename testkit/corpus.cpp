#include "testkit/corpus.h"

#include <cstdlib>
#include <filesystem>

namespace kerf::testing {

std::optional<std::string> corpus_dir() {
  const char* env = std::getenv("KERF_CORPUS");
  const std::filesystem::path dir = env != nullptr && *env != '\0'
                                        ? std::filesystem::path(env)
                                        : std::filesystem::path(KERF_SOURCE_DIR) / ".." / "shared" / "corpus";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
  return std::filesystem::weakly_canonical(dir, ec).string();
}

}  // namespace kerf::testing
