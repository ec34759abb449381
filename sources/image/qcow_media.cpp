// QCOW media (versions 1 to 3), read by libqcow. The Sleuth Kit does not
// read this format itself.
#include <libqcow.h>

#include "sources/image/image_media.h"
#include "sources/image/libyal_error.h"

namespace kerf::image {

namespace {

std::string take_error(libqcow_error_t*& error) {
  return take_library_error(error, libqcow_error_backtrace_sprint, libqcow_error_free);
}

class QcowMedia final : public ImageMedia {
 public:
  QcowMedia(libqcow_file_t* file, const std::string& path, std::uint64_t size)
      : m_file(file), m_files{path}, m_size(size) {}
  ~QcowMedia() override {
    libqcow_file_close(m_file, nullptr);
    libqcow_file_free(&m_file, nullptr);
  }
  QcowMedia(const QcowMedia&) = delete;
  QcowMedia& operator=(const QcowMedia&) = delete;

  std::uint64_t size() const noexcept override { return m_size; }
  const std::vector<std::string>& files() const noexcept override { return m_files; }

  std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) override {
    libqcow_error_t* error = nullptr;
    const ssize_t got = libqcow_file_read_buffer_at_offset(m_file, buffer, count, static_cast<off64_t>(offset), &error);
    if (got < 0) reason = take_error(error);
    return got;
  }

 private:
  libqcow_file_t* m_file;
  std::vector<std::string> m_files;
  std::uint64_t m_size;
};

}  // namespace

std::unique_ptr<ImageMedia> open_qcow_media(const std::string& path, std::string& reason) {
  libqcow_error_t* error = nullptr;
  libqcow_file_t* file = nullptr;
  if (libqcow_file_initialize(&file, &error) != 1) {
    reason = take_error(error);
    return nullptr;
  }
  if (libqcow_file_open(file, path.c_str(), LIBQCOW_OPEN_READ, &error) != 1) {
    reason = "damaged QCOW2 image: " + take_error(error);
    libqcow_file_free(&file, nullptr);
    return nullptr;
  }
  size_t backing = 0;
  size64_t size = 0;
  if (libqcow_file_get_utf8_backing_filename_size(file, &backing, nullptr) == 1 && backing > 1) {
    // Its clusters not yet written are in the backing image, which is not read.
    reason = "differencing image: its backing image is needed";
  } else if (libqcow_file_get_media_size(file, &size, &error) != 1) {
    reason = "damaged QCOW2 image: " + take_error(error);
  } else {
    return std::make_unique<QcowMedia>(file, path, size);
  }
  libqcow_file_close(file, nullptr);
  libqcow_file_free(&file, nullptr);
  return nullptr;
}

}  // namespace kerf::image
