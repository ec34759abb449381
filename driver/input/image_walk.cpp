#include "driver/input/image_walk.h"

#include <algorithm>
#include <optional>

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

bool ImageWalk::list_copy(const OpenedImage& image, const VolumeCopy& copy, std::vector<Found>& found) {
  std::vector<std::string> reasons;
  const bool listed = copy.volume->list(
      m_folder, m_depth, [&](VolumeEntry&& entry) { found.push_back({&copy, std::move(entry), {}}); }, reasons);
  std::string volume_name = image.shown_name(copy, "");
  volume_name.pop_back();  // the ':' before a path
  std::vector<std::string>& into = listed ? m_problems : m_missing_folder;
  for (const std::string& reason : reasons) {
    into.push_back(text::message_naming("prob reading image ", volume_name, ": " + reason + "\n"));
  }
  if (listed) {
    m_image_has_folder = true;
    m_unreadable += reasons.size();
  }
  return listed;
}

namespace {

// The whole of one copy's bytes; nothing when they can't be read.
std::optional<std::vector<std::uint8_t>> bytes_of(const OpenedImage& image, const VolumeCopy& copy,
                                                  const VolumeEntry& entry) {
  constexpr std::uint64_t kMostBytes = 16u * 1024u * 1024u;  // more than any Prefetch file
  const std::unique_ptr<InputSource> source = image.open_file(copy, entry, entry.path);
  std::vector<std::uint8_t> bytes;
  if (!source->open(false).ok() || !source->read(bytes, kMostBytes).ok()) return std::nullopt;
  return bytes;
}

SameCopy same_copy(const OpenedImage& image, const VolumeCopy& copy, const VolumeEntry& entry) {
  SameCopy same{std::nullopt, copy.store_created, image.shown_name(copy, entry.path)};
  if (copy.store != 0) same.store = copy.store;
  return same;
}

}  // namespace

// The same file in the live volume and in stores is, as a rule, the same
// bytes: one record then stands for every copy, and lists them. Copies that
// differ, or that can't be read, stay records of their own.
void ImageWalk::fold_same_copies(const OpenedImage& image, std::vector<Found>& found) {
  std::vector<bool> folded(found.size());
  std::vector<Found> kept;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (folded[i]) continue;
    Found first = std::move(found[i]);
    std::optional<std::vector<std::uint8_t>> bytes;
    bool read = false;
    for (std::size_t j = i + 1; j < found.size(); ++j) {
      if (folded[j] || found[j].entry.path != first.entry.path || found[j].copy == first.copy) continue;
      if (!read) {
        bytes = bytes_of(image, *first.copy, first.entry);
        read = true;
      }
      if (!bytes) break;
      if (bytes_of(image, *found[j].copy, found[j].entry) != bytes) continue;
      if (first.copies.empty()) first.copies.push_back(same_copy(image, *first.copy, first.entry));
      first.copies.push_back(same_copy(image, *found[j].copy, found[j].entry));
      folded[j] = true;
    }
    if (first.copies.empty()) first.copies.push_back(same_copy(image, *first.copy, first.entry));
    kept.push_back(std::move(first));
  }
  found = std::move(kept);
}

bool ImageWalk::list_next_volume() {
  while (m_image < m_images.size()) {
    const OpenedImage& image = *m_images[m_image];
    const std::vector<VolumeCopy>& copies = image.copies();
    if (m_volume == copies.size()) {
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
    // A volume and its stores are listed together: the live copy first,
    // then the stores, oldest first.
    std::vector<Found> found;
    const NtfsVolume* live = copies[m_volume].live;
    bool stores = false;
    for (; m_volume < copies.size() && copies[m_volume].live == live; ++m_volume) {
      list_copy(image, copies[m_volume], found);
      stores = stores || copies[m_volume].store != 0;
    }
    // The filter first: only the copies it lets through are compared.
    std::erase_if(found, [&](const Found& file) {
      InputName name{image.shown_name(*file.copy, file.entry.path), {&image, file.copy, file.entry}, {}, {}};
      return !passes(name);
    });
    if (stores) fold_same_copies(image, found);
    for (Found& file : found) m_found.push_back(std::move(file));
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
    Found& found = m_found.front();
    name.in_volume = VolumeFileRef{&image, found.copy, std::move(found.entry)};
    name.copies = std::move(found.copies);
    m_found.pop_front();
    name.path = image.shown_name(*name.in_volume.copy, name.in_volume.entry.path);
    return true;
  }
}

std::vector<std::string> ImageWalk::take_problems() {
  std::vector<std::string> problems;
  problems.swap(m_problems);
  return problems;
}

}  // namespace kerf
