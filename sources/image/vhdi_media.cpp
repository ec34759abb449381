// VHD and VHDX media, read by libvhdi.
#include <libvhdi.h>

#include "sources/image/image_media.h"
#include "sources/image/libyal_error.h"

namespace kerf::image {

namespace {

std::string take_error(libvhdi_error_t*& error) {
  return take_library_error(error, libvhdi_error_backtrace_sprint, libvhdi_error_free);
}

class VhdiMedia final : public ImageMedia {
 public:
  VhdiMedia(libvhdi_file_t* file, const std::string& path, std::uint64_t size)
      : m_file(file), m_files{path}, m_size(size) {}
  ~VhdiMedia() override {
    libvhdi_file_close(m_file, nullptr);
    libvhdi_file_free(&m_file, nullptr);
  }
  VhdiMedia(const VhdiMedia&) = delete;
  VhdiMedia& operator=(const VhdiMedia&) = delete;

  std::uint64_t size() const noexcept override { return m_size; }
  const std::vector<std::string>& files() const noexcept override { return m_files; }

  std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) override {
    libvhdi_error_t* error = nullptr;
    const ssize_t got = libvhdi_file_read_buffer_at_offset(m_file, buffer, count, static_cast<off64_t>(offset), &error);
    if (got < 0) reason = take_error(error);
    return got;
  }

 private:
  libvhdi_file_t* m_file;
  std::vector<std::string> m_files;
  std::uint64_t m_size;
};

}  // namespace

std::unique_ptr<ImageMedia> open_vhdi_media(const std::string& path, std::string_view format, std::string& reason) {
  const std::string damaged = "damaged " + std::string(format) + " image: ";
  libvhdi_error_t* error = nullptr;
  libvhdi_file_t* file = nullptr;
  if (libvhdi_file_initialize(&file, &error) != 1) {
    reason = take_error(error);
    return nullptr;
  }
  if (libvhdi_file_open(file, path.c_str(), LIBVHDI_OPEN_READ, &error) != 1) {
    reason = damaged + take_error(error);
    libvhdi_file_free(&file, nullptr);
    return nullptr;
  }
  std::uint32_t disk_type = 0;
  size64_t size = 0;
  if (libvhdi_file_get_disk_type(file, &disk_type, nullptr) == 1 && disk_type == LIBVHDI_DISK_TYPE_DIFFERENTIAL) {
    // Its blocks not yet written are in the parent image, which is not read.
    reason = "differencing image: its parent image is needed";
  } else if (libvhdi_file_get_media_size(file, &size, &error) != 1) {
    reason = damaged + take_error(error);
  } else {
    return std::make_unique<VhdiMedia>(file, path, size);
  }
  libvhdi_file_close(file, nullptr);
  libvhdi_file_free(&file, nullptr);
  return nullptr;
}

}  // namespace kerf::image
