#include "sources/image/opened_image.h"

#include <tsk/libtsk.h>

#include <array>

#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "sources/image/free_clusters.h"

namespace kerf {

namespace {

// A file of a volume, read through the volume's own source; only the
// questions about the image's volumes are answered here.
//
// The Sleuth Kit can hand back zeros for a read of the image that failed;
// the image counts such failures, and a file read while one happened is not
// trusted. (A failure on another volume read at the same moment is counted
// too: the file then fails without need, never passes without right.)
class ImageVolumeFile final : public InputSource {
 public:
  ImageVolumeFile(std::unique_ptr<InputSource> file, const OpenedImage& image, const VolumeCopy& copy)
      : m_file(std::move(file)), m_image(image), m_copy(copy) {}

  std::string_view name() const noexcept override { return m_file->name(); }
  SourceStatus open(bool read_birth_time) override {
    const SourceStatus status = trusted(m_file->open(read_birth_time));
    m_facts = m_file->facts();
    if (m_copy.store != 0) {
      m_facts.store = m_copy.store;
      m_facts.store_created = m_copy.store_created;
    }
    return status;
  }
  const SourceFile& facts() const noexcept override { return m_facts; }
  SourceStatus read(std::vector<std::uint8_t>& out, std::uint64_t most) override {
    return trusted(m_file->read(out, most));
  }
  const VolumeLookup* volumes() const noexcept override { return &m_image; }

 private:
  SourceStatus trusted(SourceStatus status) {
    const std::uint64_t failed = m_image.image().failed_reads();
    if (status.ok() && failed != m_failed_before) {
      status = {SourceError::unreadable, 0, "the image could not be read where the file lies"};
    }
    m_failed_before = failed;
    return status;
  }

  std::unique_ptr<InputSource> m_file;
  const OpenedImage& m_image;
  const VolumeCopy& m_copy;
  SourceFile m_facts;
  std::uint64_t m_failed_before = m_image.image().failed_reads();
};

std::string volume_name(const std::string& image, std::uint64_t offset) {
  std::string name = image + "@";
  text::append_decimal(name, offset);
  return name;
}

std::string problem_line(const std::string& name, std::string_view reason) {
  return text::message_naming("prob reading image ", name, ": " + std::string(reason) + "\n");
}

}  // namespace

bool looks_like_ntfs(TSK_IMG_INFO* image, std::uint64_t offset) {
  std::array<char, 11> head{};
  if (tsk_img_read(image, static_cast<TSK_OFF_T>(offset), head.data(), head.size()) != static_cast<ssize_t>(head.size())) {
    tsk_error_reset();
    return false;
  }
  return std::string_view(head.data() + 3, 8) == "NTFS    ";
}

std::unique_ptr<OpenedImage> OpenedImage::open(const std::string& path, std::vector<std::string>& problems,
                                               const ShadowCopySettings& shadows) {
  std::string reason;
  std::unique_ptr<DiskImage> disk = DiskImage::open(path, reason);
  if (!disk) {
    problems.push_back(problem_line(path, reason));
    return nullptr;
  }
  std::unique_ptr<OpenedImage> opened(new OpenedImage(std::move(disk)));
  TSK_IMG_INFO* tsk = opened->m_image->tsk_image();
  std::vector<std::string> table_problems;
  const std::vector<std::uint64_t> offsets = volume_offsets(tsk, table_problems);
  for (const std::string& problem : table_problems) problems.push_back(problem_line(path, problem));
  for (const std::uint64_t offset : offsets) {
    if (!looks_like_ntfs(tsk, offset)) continue;
    std::unique_ptr<NtfsVolume> volume = NtfsVolume::open(tsk, offset, reason);
    if (!volume) {
      problems.push_back(problem_line(volume_name(path, offset), reason));
      continue;
    }
    opened->m_volumes.push_back(std::move(volume));
  }
  if (opened->m_volumes.empty() && problems.empty()) {
    problems.push_back(problem_line(path, "no NTFS volume in it"));
  }
  for (const auto& volume : opened->m_volumes) {
    opened->m_copies.push_back({volume.get(), volume.get(), 0, 0});
    if (!shadows.read) continue;
    opened->open_stores(*volume, shadows, problems);
  }
  return opened;
}

// A store that won't open, or whose volume won't, is named with the reason;
// the live volume and the other stores are still read.
void OpenedImage::open_stores(NtfsVolume& live, const ShadowCopySettings& shadows, std::vector<std::string>& problems) {
  const std::string name = volume_name(path(), live.offset());
  std::vector<std::string> reasons;
  const std::uint64_t size = m_image->media_size() - live.offset();
  std::vector<ShadowStore> stores =
      open_shadow_stores(m_image->tsk_image(), live.offset(), size, shadows.wanted, reasons);
  for (const std::string& reason : reasons) problems.push_back(problem_line(name, reason));
  for (ShadowStore& store : stores) {
    std::string reason;
    std::unique_ptr<NtfsVolume> volume = NtfsVolume::open(store.image->tsk_image(), 0, reason);
    if (!volume) {
      problems.push_back(problem_line(name + "#vss" + std::to_string(store.number), reason));
      continue;
    }
    m_copies.push_back({volume.get(), &live, store.number, store.created});
    m_store_volumes.push_back(std::move(volume));
    m_stores.push_back(std::move(store));
  }
}

std::string OpenedImage::copy_name(const VolumeCopy& copy) const {
  std::string name = volume_name(path(), copy.live->offset());
  if (copy.store != 0) {
    name += "#vss";
    text::append_decimal(name, copy.store);
  }
  return name;
}

std::string OpenedImage::shown_name(const VolumeCopy& copy, std::string_view inner_path) const {
  std::string name = copy_name(copy);
  name.push_back(':');
  name.append(inner_path);
  return name;
}

DiskImage& OpenedImage::image_of(const VolumeCopy& copy) const {
  for (std::size_t i = 0; i < m_store_volumes.size(); ++i) {
    if (m_store_volumes[i].get() == copy.volume) return *m_stores[i].image;
  }
  return *m_image;
}

// A store is read through the live image: a failure there may reach the
// store's reader as a failure of its own or not at all, so both images'
// failures are watched.
std::unique_ptr<ByteStream> OpenedImage::free_space(const VolumeCopy& copy, std::string& reason) const {
  DiskImage& image = image_of(copy);
  std::vector<const DiskImage*> watched{&image};
  if (&image != m_image.get()) watched.push_back(m_image.get());
  const std::uint64_t failed_before = failed_reads_of(watched);
  std::vector<ByteExtent> extents;
  if (!copy.volume->free_extents(extents, reason)) return nullptr;
  if (failed_reads_of(watched) != failed_before) {
    reason = "its cluster bitmap can't be read: the image could not be read where it lies";
    return nullptr;
  }
  return std::make_unique<FreeClusters>(copy_name(copy), std::move(extents), copy.live->offset(), image.tsk_image(),
                                        copy.volume->offset(), copy.volume->size(), std::move(watched));
}

std::unique_ptr<InputSource> OpenedImage::open_file(const VolumeCopy& copy, const VolumeEntry& entry,
                                                    std::string shown_name) const {
  return std::make_unique<ImageVolumeFile>(copy.volume->open_file(entry, std::move(shown_name)), *this, copy);
}

std::optional<std::uint64_t> OpenedImage::volume_with_serial(std::uint32_t serial) const {
  std::optional<std::uint64_t> found;
  for (const auto& volume : m_volumes) {
    if (static_cast<std::uint32_t>(volume->serial()) != serial) continue;
    if (found) return std::nullopt;  // two volumes with one serial: a clone; neither is proved
    found = volume->offset();
  }
  return found;
}

MftLookup OpenedImage::look_up(std::uint64_t volume_offset, std::uint64_t mft_entry, std::uint16_t sequence) const {
  for (const auto& volume : m_volumes) {
    if (volume->offset() == volume_offset) return volume->look_up(mft_entry, sequence);
  }
  return {};
}

}  // namespace kerf
