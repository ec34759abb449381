#include "sources/image/disk_image.h"

#include <sys/stat.h>
#include <tsk/libtsk.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "lib/io/system_error.h"
#include "sources/image/image_media.h"
#include "sources/image/image_signature.h"

namespace kerf {

namespace {

using image::Container;
using image::ImageMedia;

// How much of the start and of the end of the first file tells its container.
constexpr std::uint64_t kSignatureBytes = 512;

class OpenedImage;

// What The Sleuth Kit is given: its image structure first, as it requires,
// then the way back to the object that reads.
struct ExternalImage {
  TSK_IMG_INFO info;
  OpenedImage* owner;
};

class OpenedImage final : public DiskImage {
 public:
  OpenedImage(std::string path, std::string_view format, std::unique_ptr<ImageMedia> media)
      : DiskImage(std::move(path)), m_format(format), m_media(std::move(media)) {
    for (const std::string& file : m_media->files()) {
      if (const auto id = io::file_id(file)) m_ids.push_back(*id);
    }
  }
  ~OpenedImage() override {
    if (m_attached) tsk_img_close(&m_external->info);
  }
  OpenedImage(const OpenedImage&) = delete;
  OpenedImage& operator=(const OpenedImage&) = delete;

  // Hands the media to The Sleuth Kit; false with the reason when it refuses.
  bool attach(std::string& reason) {
    m_external->owner = this;
    tsk_error_reset();
    if (tsk_img_open_external(m_external.get(), static_cast<TSK_OFF_T>(m_media->size()), 0, &read_media, &close_media,
                              &describe_media) == nullptr) {
      const char* text = tsk_error_get();
      reason = text != nullptr && *text != '\0' ? text : "The Sleuth Kit refused the image";
      tsk_error_reset();
      return false;
    }
    m_attached = true;
    return true;
  }

  std::string_view format() const noexcept override { return m_format; }
  const std::vector<std::string>& files() const noexcept override { return m_media->files(); }
  const std::vector<io::FileId>& file_ids() const noexcept override { return m_ids; }
  std::uint64_t media_size() const noexcept override { return m_media->size(); }
  std::uint64_t bytes_read() const noexcept override { return m_bytes_read.load(std::memory_order_relaxed); }
  std::uint64_t failed_reads() const noexcept override { return m_failed_reads.load(std::memory_order_relaxed); }
  TSK_IMG_INFO* tsk_image() noexcept override { return &m_external->info; }

 private:
  // The Sleuth Kit's read: one call at a time into the library (libewf's and
  // libqcow's handles are not safe to share between threads), and a failure
  // of the library comes back as -1 with The Sleuth Kit's error (of the
  // calling thread) set.
  static ssize_t read_media(TSK_IMG_INFO* info, TSK_OFF_T offset, char* buffer, size_t count) {
    OpenedImage& self = *reinterpret_cast<ExternalImage*>(info)->owner;
    const std::uint64_t size = self.m_media->size();
    if (offset < 0 || static_cast<std::uint64_t>(offset) > size) {
      tsk_error_reset();
      tsk_error_set_errno(TSK_ERR_IMG_READ_OFF);
      tsk_error_set_errstr("read at offset %lld, past the end of the media", static_cast<long long>(offset));
      return -1;
    }
    if (count > size - static_cast<std::uint64_t>(offset)) count = size - static_cast<std::uint64_t>(offset);
    if (count == 0) return 0;
    std::string reason;
    std::int64_t got;
    try {
      const std::lock_guard lock(self.m_read_lock);
      got = self.m_media->read(static_cast<std::uint64_t>(offset), buffer, count, reason);
    } catch (const std::exception& error) {
      // No exception may cross into The Sleuth Kit's C code.
      got = -1;
      reason = error.what();
    }
    if (got < 0) {
      self.m_failed_reads.fetch_add(1, std::memory_order_relaxed);
      tsk_error_reset();
      tsk_error_set_errno(TSK_ERR_IMG_READ);
      tsk_error_set_errstr("%s image, offset %lld: %s", self.m_format.data(), static_cast<long long>(offset),
                           reason.c_str());
      return -1;
    }
    self.m_bytes_read.fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
    return static_cast<ssize_t>(got);
  }

  // tsk_img_close() calls this last; the memory belongs to the object.
  static void close_media(TSK_IMG_INFO*) {}

  static void describe_media(TSK_IMG_INFO* info, FILE* out) {
    const OpenedImage& self = *reinterpret_cast<ExternalImage*>(info)->owner;
    std::fprintf(out, "IMAGE FILE INFORMATION\n--------------------------------------------\n");
    std::fprintf(out, "Image Type:\t\t%s\n", self.m_format.data());
    std::fprintf(out, "\nSize of data in bytes:\t%llu\n", static_cast<unsigned long long>(self.m_media->size()));
  }

  std::string_view m_format;  // one of the literals of container_name()
  std::unique_ptr<ImageMedia> m_media;
  std::vector<io::FileId> m_ids;
  // Value-initialised: The Sleuth Kit expects its structure zeroed.
  std::unique_ptr<ExternalImage> m_external = std::make_unique<ExternalImage>();
  bool m_attached = false;
  std::mutex m_read_lock;
  std::atomic<std::uint64_t> m_bytes_read{0};
  std::atomic<std::uint64_t> m_failed_reads{0};
};

// The first file, checked and its container told; false with the reason.
bool inspect(const std::string& path, Container& container, std::string& reason) {
  io::File file;
  if (!file.open_for_read(path)) {
    reason = file.error() == ENXIO ? "cannot open: not a file or a device"
                                   : "cannot open: " + io::system_error_text(file.error());
    return false;
  }
  const mode_t type = file.status().st_mode & S_IFMT;
  if (type == S_IFDIR) {
    reason = "cannot open: is a directory";
    return false;
  }
  if (type != S_IFREG && type != S_IFBLK) {
    reason = "cannot open: not a file or a device";
    return false;
  }
  if (file.size() == 0) {
    reason = "empty file";
    return false;
  }
  std::vector<std::uint8_t> head;
  std::vector<std::uint8_t> tail;
  if (!file.read_at(head, kSignatureBytes, 0)) {
    reason = "cannot read: " + io::system_error_text(errno);
    return false;
  }
  if (file.size() >= kSignatureBytes) file.read_at(tail, kSignatureBytes, file.size() - kSignatureBytes);
  container = image::container_of(head, tail);
  return true;
}

std::unique_ptr<ImageMedia> open_media(const std::string& path, Container container, std::string& reason) {
  switch (container) {
    case Container::none: return image::open_raw_media(path, reason);
    case Container::ewf: return image::open_ewf_media(path, reason);
    case Container::ewf2:
      // libewf reads EWF2 only from its 2016 versions on.
      if (image::libewf_reads(path)) return image::open_ewf_media(path, reason);
      reason = "unsupported image format: EWF2 (Ex01), which the installed libewf can't read";
      return nullptr;
    case Container::vmdk_sparse: return image::open_vmdk_media(path, true, reason);
    case Container::vmdk_descriptor: return image::open_vmdk_media(path, false, reason);
    case Container::vhd:
    case Container::vhdx: return image::open_vhdi_media(path, image::container_name(container), reason);
    case Container::qcow: return image::open_qcow_media(path, reason);
    case Container::logical_ewf:
    case Container::vdi:
    case Container::aff: break;
  }
  reason = "unsupported image format: " + std::string(image::container_name(container));
  return nullptr;
}

}  // namespace

std::unique_ptr<DiskImage> DiskImage::open(const std::string& path, std::string& reason) {
  Container container = Container::none;
  if (!inspect(path, container, reason)) return nullptr;
  auto media = open_media(path, container, reason);
  if (!media) return nullptr;
  if (media->size() == 0) {
    reason = "the image holds no media";
    return nullptr;
  }
  std::string_view format = image::container_name(container);
  if (container == Container::none && media->files().size() > 1) format = "split raw";
  if (container == Container::ewf2) format = image::container_name(Container::ewf);
  return from_media(path, format, std::move(media), reason);
}

std::unique_ptr<DiskImage> DiskImage::from_media(std::string name, std::string_view format,
                                                 std::unique_ptr<image::ImageMedia> media, std::string& reason) {
  auto image = std::make_unique<OpenedImage>(std::move(name), format, std::move(media));
  if (!image->attach(reason)) return nullptr;
  return image;
}

}  // namespace kerf
