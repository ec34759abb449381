#include "driver/input/name_source.h"

namespace kerf {

NameSource::NameSource(const InputSettings& settings, std::FILE* input,
                       const std::vector<std::unique_ptr<OpenedImage>>& images,
                       const std::vector<std::unique_ptr<ByteStream>>& carve_streams)
    : m_settings(settings), m_images(settings, images), m_pieces(carve_streams, kCarvePieceBytes) {
  if (settings.pipe) {
    m_lines.emplace(input);
  } else if (settings.walk && settings.images.empty()) {
    m_walker.emplace(settings.walk_directory, settings.walk_depth, settings.window, settings.patterns);
  }
}

std::string NameSource::start_problem() const {
  return m_walker ? m_walker->start_problem() : std::string();
}

std::vector<std::string> NameSource::take_problems() {
  std::vector<std::string> problems = m_walker ? m_walker->take_problems() : std::vector<std::string>{};
  for (std::string& problem : m_images.take_problems()) problems.push_back(std::move(problem));
  return problems;
}

bool NameSource::next(InputName& name) {
  name.carve = {};
  if (next_host_file(name.path)) {
    name.in_volume = {};
    name.copies.clear();
    return true;
  }
  // Every file of the images comes before the first carved piece: a find
  // with the content of a file reported from a folder is not reported again.
  return m_images.next(name) || m_pieces.next(name);
}

bool NameSource::next_host_file(std::string& name) {
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
