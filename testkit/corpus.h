// Where the real Prefetch files live: $KERF_CORPUS, or ../shared/corpus beside
// the project. Tests that use them skip cleanly when the folder is absent.
#pragma once

#include <optional>
#include <string>

namespace kerf::testing {

// The corpus folder when it exists, otherwise nothing.
std::optional<std::string> corpus_dir();

}  // namespace kerf::testing
