// Raw media, one file or numbered segments, read by The Sleuth Kit.
#include <tsk/libtsk.h>

#include "sources/image/image_media.h"
#include "sources/image/image_segments.h"

namespace kerf::image {

namespace {

std::string take_tsk_error(std::string_view fallback) {
  const char* text = tsk_error_get();
  std::string reason = text != nullptr && *text != '\0' ? text : std::string(fallback);
  tsk_error_reset();
  return reason;
}

class RawMedia final : public ImageMedia {
 public:
  explicit RawMedia(TSK_IMG_INFO* image) : m_image(image) {
    for (int i = 0; i < image->num_img; ++i) m_files.emplace_back(image->images[i]);
  }
  ~RawMedia() override { tsk_img_close(m_image); }
  RawMedia(const RawMedia&) = delete;
  RawMedia& operator=(const RawMedia&) = delete;

  std::uint64_t size() const noexcept override { return static_cast<std::uint64_t>(m_image->size); }
  const std::vector<std::string>& files() const noexcept override { return m_files; }

  std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) override {
    // The reader itself, not tsk_img_read: the outer image keeps the cache.
    const ssize_t got = m_image->read(m_image, static_cast<TSK_OFF_T>(offset), buffer, count);
    if (got < 0) reason = take_tsk_error("read error");
    return got;
  }

 private:
  TSK_IMG_INFO* m_image;
  std::vector<std::string> m_files;
};

}  // namespace

std::unique_ptr<ImageMedia> open_raw_media(const std::string& path, std::string& reason) {
  const std::vector<std::string> segments = numbered_segments(path, reason);
  if (segments.empty()) return nullptr;
  std::vector<const char*> names;
  for (const std::string& segment : segments) names.push_back(segment.c_str());
  tsk_error_reset();
  TSK_IMG_INFO* image = tsk_img_open_utf8(static_cast<int>(names.size()), names.data(), TSK_IMG_TYPE_RAW, 0);
  if (image == nullptr) {
    reason = take_tsk_error("cannot open the raw image");
    return nullptr;
  }
  return std::make_unique<RawMedia>(image);
}

}  // namespace kerf::image
