#include "driver/name_source.h"

namespace kerf {

NameSource::NameSource(const InputSettings& settings, std::FILE* input) : m_settings(settings) {
  if (settings.pipe) {
    m_lines.emplace(input);
  } else if (!settings.walk_directory.empty()) {
    m_walker.emplace(settings.walk_directory, settings.walk_depth, settings.window, settings.patterns);
  }
}

bool NameSource::next(std::string& name) {
  if (m_walker) {
    while (m_walker->next(name)) {
      if (!name.empty()) return true;
    }
    return false;
  }
  if (!m_lines) return false;
  while (m_lines->next(name)) {
    if (!name.empty() && piped_name_passes(m_settings.window, name, m_settings.patterns)) return true;
  }
  return false;
}

}  // namespace kerf
