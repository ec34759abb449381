// VMDK media, read by libvmdk: a sparse file holding its own descriptor, or
// a descriptor file naming its extent files (found beside it).
#include <libvmdk.h>

#include "sources/image/image_media.h"
#include "sources/image/libyal_error.h"

namespace kerf::image {

namespace {

std::string take_error(libvmdk_error_t*& error) {
  return take_library_error(error, libvmdk_error_backtrace_sprint, libvmdk_error_free);
}

void close_and_free(libvmdk_handle_t*& handle) {
  libvmdk_handle_close(handle, nullptr);
  libvmdk_handle_free(&handle, nullptr);
}

class VmdkMedia final : public ImageMedia {
 public:
  VmdkMedia(libvmdk_handle_t* handle, std::vector<std::string> files, std::uint64_t size)
      : m_handle(handle), m_files(std::move(files)), m_size(size) {}
  ~VmdkMedia() override { close_and_free(m_handle); }
  VmdkMedia(const VmdkMedia&) = delete;
  VmdkMedia& operator=(const VmdkMedia&) = delete;

  std::uint64_t size() const noexcept override { return m_size; }
  const std::vector<std::string>& files() const noexcept override { return m_files; }

  std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) override {
    libvmdk_error_t* error = nullptr;
    const ssize_t got = libvmdk_handle_read_buffer_at_offset(m_handle, buffer, count, static_cast<off64_t>(offset), &error);
    if (got < 0) reason = take_error(error);
    return got;
  }

 private:
  libvmdk_handle_t* m_handle;
  std::vector<std::string> m_files;
  std::uint64_t m_size;
};

// The files of the extents the descriptor names, beside the descriptor
// (libvmdk looks for them there); a name it can't give is left out.
std::vector<std::string> extent_files(libvmdk_handle_t* handle, const std::string& path) {
  std::vector<std::string> files;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  int count = 0;
  if (libvmdk_handle_get_number_of_extents(handle, &count, nullptr) != 1) return files;
  for (int i = 0; i < count; ++i) {
    libvmdk_extent_descriptor_t* extent = nullptr;
    if (libvmdk_handle_get_extent_descriptor(handle, i, &extent, nullptr) != 1) continue;
    std::size_t size = 0;
    if (libvmdk_extent_descriptor_get_utf8_filename_size(extent, &size, nullptr) == 1 && size > 1) {
      std::string name(size, '\0');
      if (libvmdk_extent_descriptor_get_utf8_filename(extent, reinterpret_cast<std::uint8_t*>(name.data()), size,
                                                      nullptr) == 1) {
        name.resize(name.find('\0'));
        const std::size_t base = name.rfind('/');
        files.push_back(folder + (base == std::string::npos ? name : name.substr(base + 1)));
      }
    }
    libvmdk_extent_descriptor_free(&extent, nullptr);
  }
  return files;
}

}  // namespace

std::unique_ptr<ImageMedia> open_vmdk_media(const std::string& path, bool sparse, std::string& reason) {
  libvmdk_error_t* error = nullptr;
  libvmdk_handle_t* handle = nullptr;
  if (libvmdk_handle_initialize(&handle, &error) != 1) {
    reason = take_error(error);
    return nullptr;
  }
  if (libvmdk_handle_open(handle, path.c_str(), LIBVMDK_OPEN_READ, &error) != 1) {
    reason = "damaged VMDK image: " + take_error(error);
    libvmdk_handle_free(&handle, nullptr);
    return nullptr;
  }
  std::size_t parent = 0;
  size64_t size = 0;
  if (libvmdk_handle_get_utf8_parent_filename_size(handle, &parent, nullptr) == 1 && parent > 1) {
    // Its grains not yet written are in the parent image, which is not read.
    reason = "differencing image: its parent image is needed";
  } else if (libvmdk_handle_open_extent_data_files(handle, &error) != 1) {
    reason = "cannot open the extent files: " + take_error(error);
  } else if (libvmdk_handle_get_media_size(handle, &size, &error) != 1) {
    reason = "damaged VMDK image: " + take_error(error);
  } else {
    // A sparse file is its own (single) extent, whatever name its embedded
    // descriptor gives.
    std::vector<std::string> files{path};
    if (!sparse) {
      for (std::string& extent : extent_files(handle, path)) files.push_back(std::move(extent));
    }
    return std::make_unique<VmdkMedia>(handle, std::move(files), size);
  }
  close_and_free(handle);
  return nullptr;
}

}  // namespace kerf::image
