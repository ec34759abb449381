#include "driver/input/name_source.h"

namespace kerf {

NameSource::NameSource(const InputSettings& settings, std::FILE* input) : m_settings(settings) {
  if (settings.pipe) {
    m_lines.emplace(input);
  } else if (settings.walk) {
    m_walker.emplace(settings.walk_directory, settings.walk_depth, settings.window, settings.patterns);
  }
}

std::string NameSource::start_problem() const {
  return m_walker ? m_walker->start_problem() : std::string();
}

bool NameSource::next(std::string& name) {
  if (m_walker) return m_walker->next(name);
  if (m_lines) {
    while (m_lines->next(name)) {
      if (!name.empty() && match_path(m_settings.window, name, m_settings.patterns)) return true;
    }
    return false;
  }
  while (m_next_typed < m_settings.names.size()) {
    name = m_settings.names[m_next_typed++];
    if (!name.empty() && match_path(m_settings.window, name, m_settings.patterns)) return true;
  }
  return false;
}

}  // namespace kerf
