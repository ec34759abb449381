#include "driver/input/image_walk.h"

#include <algorithm>

#include "driver/input/input_filter.h"
#include "lib/text/escape.h"

namespace kerf {

namespace {

// The filter's view of a file inside a volume: its $STANDARD_INFORMATION
// modification time and its bytes, read through the volume.
class VolumeFileProbe final : public FileProbe {
 public:
  VolumeFileProbe(const InputName& name) : m_name(name) {}

  std::optional<std::int64_t> modified_seconds() override {
    if (!open()) return std::nullopt;
    const std::uint64_t modified = m_source->facts().modified;
    constexpr std::uint64_t kTicksPerSecond = 10'000'000;
    constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000;  // 1970-01-01 as a FILETIME
    if (modified < kUnixEpoch) return 0;  // none, or before 1970: never inside a window
    return static_cast<std::int64_t>((modified - kUnixEpoch) / kTicksPerSecond);
  }

  bool holds(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    if (!open()) return false;
    if (!m_read) {
      m_read = true;
      m_bytes_ok = m_source->read(m_bytes, kHeadBytes).ok();
    }
    if (!m_bytes_ok || offset > m_bytes.size() || bytes.size() > m_bytes.size() - offset) return false;
    return std::equal(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  }

 private:
  // Signatures stand in the first bytes of a Prefetch file; farther ones are
  // not looked for inside images.
  static constexpr std::uint64_t kHeadBytes = 4096;

  bool open() {
    if (!m_source) {
      const VolumeFileRef& ref = m_name.in_volume;
      m_source = ref.image->open_file(*ref.copy, ref.entry, m_name.path);
      m_open = m_source->open(false).ok();
    }
    return m_open;
  }

  const InputName& m_name;
  std::unique_ptr<InputSource> m_source;
  bool m_open = false;
  bool m_read = false;
  bool m_bytes_ok = false;
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace

ImageWalk::ImageWalk(const InputSettings& settings, const std::vector<std::unique_ptr<OpenedImage>>& images)
    : m_settings(settings),
      m_images(images),
      m_folder(settings.walk ? settings.walk_directory : std::string(kPrefetchFolder)),
      m_depth(settings.walk ? settings.walk_depth : 0) {}

bool ImageWalk::list_next_volume() {
  while (m_image < m_images.size()) {
    const OpenedImage& image = *m_images[m_image];
    if (m_volume == image.copies().size()) {
      // The folder is missing from a data volume as a rule; only an image
      // where no volume holds it is worth a word.
      if (!m_image_has_folder && !m_missing_folder.empty()) {
        m_problems.insert(m_problems.end(), m_missing_folder.begin(), m_missing_folder.end());
        ++m_unreadable;
      }
      m_missing_folder.clear();
      m_image_has_folder = false;
      ++m_image;
      m_volume = 0;
      continue;
    }
    const VolumeCopy& copy = image.copies()[m_volume++];
    std::vector<std::string> reasons;
    const bool listed = copy.volume->list(
        m_folder, m_depth, [&](VolumeEntry&& entry) { m_found.push_back(std::move(entry)); }, reasons);
    const std::string volume_name = image.shown_name(copy, "");
    std::vector<std::string>& into = listed ? m_problems : m_missing_folder;
    for (const std::string& reason : reasons) {
      into.push_back(text::message_naming("prob reading image ", volume_name.substr(0, volume_name.size() - 1),
                                          ": " + reason + "\n"));
    }
    if (listed) {
      m_image_has_folder = true;
      m_unreadable += reasons.size();
    }
    if (!m_found.empty()) return true;
  }
  return false;
}

bool ImageWalk::passes(const InputName& name) {
  if (!m_settings.window.is_set() && m_settings.patterns.empty()) return true;
  VolumeFileProbe probe(name);
  return match_path(m_settings.window, name.path, m_settings.patterns, probe);
}

bool ImageWalk::next(InputName& name) {
  while (true) {
    if (m_found.empty() && !list_next_volume()) return false;
    if (m_found.empty()) continue;
    const OpenedImage& image = *m_images[m_image];
    const VolumeCopy& copy = image.copies()[m_volume - 1];
    name.in_volume = VolumeFileRef{&image, &copy, std::move(m_found.front())};
    m_found.pop_front();
    name.path = image.shown_name(copy, name.in_volume.entry.path);
    if (passes(name)) return true;
  }
}

std::vector<std::string> ImageWalk::take_problems() {
  std::vector<std::string> problems;
  problems.swap(m_problems);
  return problems;
}

}  // namespace kerf
