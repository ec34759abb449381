#include "sources/image/shadow_stores.h"

#include <libbfio.h>
#include <libvshadow.h>
#include <tsk/libtsk.h>

#include <cstdio>
#include <mutex>

#include "sources/image/image_media.h"
#include "sources/image/libyal_error.h"

namespace kerf {

namespace {

std::string take_error(libvshadow_error_t*& error) {
  return image::take_library_error(error, libvshadow_error_backtrace_sprint, libvshadow_error_free);
}

// The volume as libbfio sees it: a window of The Sleuth Kit's image. The
// functions are libbfio's callbacks; none may throw.
struct VolumeWindow {
  TSK_IMG_INFO* image = nullptr;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t position = 0;
  bool open = false;

  static VolumeWindow& of(intptr_t* handle) { return *reinterpret_cast<VolumeWindow*>(handle); }

  static int free_handle(intptr_t** handle, libbfio_error_t**) {
    delete reinterpret_cast<VolumeWindow*>(*handle);
    *handle = nullptr;
    return 1;
  }
  static int clone(intptr_t** destination, intptr_t* source, libbfio_error_t**) {
    auto* copy = new (std::nothrow) VolumeWindow(of(source));
    if (copy == nullptr) return -1;
    copy->open = false;
    copy->position = 0;
    *destination = reinterpret_cast<intptr_t*>(copy);
    return 1;
  }
  static int open_window(intptr_t* handle, int, libbfio_error_t**) {
    of(handle).open = true;
    return 1;
  }
  static int close_window(intptr_t* handle, libbfio_error_t**) {
    of(handle).open = false;
    return 0;
  }
  static ssize_t read(intptr_t* handle, uint8_t* buffer, size_t count, libbfio_error_t**) {
    VolumeWindow& window = of(handle);
    if (window.position >= window.size) return 0;
    if (count > window.size - window.position) count = static_cast<size_t>(window.size - window.position);
    const ssize_t got = tsk_img_read(window.image, static_cast<TSK_OFF_T>(window.offset + window.position),
                                     reinterpret_cast<char*>(buffer), count);
    if (got < 0) {
      tsk_error_reset();
      return -1;
    }
    window.position += static_cast<std::uint64_t>(got);
    return got;
  }
  static ssize_t write(intptr_t*, const uint8_t*, size_t, libbfio_error_t**) { return -1; }  // never written
  static off64_t seek(intptr_t* handle, off64_t offset, int whence, libbfio_error_t**) {
    VolumeWindow& window = of(handle);
    const off64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<off64_t>(window.position)
                         : whence == SEEK_END ? static_cast<off64_t>(window.size)
                                              : -1;
    if (base < 0 || offset < -base) return -1;
    window.position = static_cast<std::uint64_t>(base + offset);
    return static_cast<off64_t>(window.position);
  }
  static int exists(intptr_t*, libbfio_error_t**) { return 1; }
  static int is_open(intptr_t* handle, libbfio_error_t**) { return of(handle).open ? 1 : 0; }
  static int get_size(intptr_t* handle, size64_t* size, libbfio_error_t**) {
    *size = of(handle).size;
    return 1;
  }
};

// libvshadow's volume and the handle it reads through, shared by the
// stores: one call into it at a time.
class ShadowVolume {
 public:
  ~ShadowVolume() {
    for (libvshadow_store_t*& store : m_stores) libvshadow_store_free(&store, nullptr);
    if (m_volume != nullptr) {
      libvshadow_volume_close(m_volume, nullptr);
      libvshadow_volume_free(&m_volume, nullptr);
    }
    if (m_handle != nullptr) libbfio_handle_free(&m_handle, nullptr);
  }

  // False with the reason; true with no volume when it has no shadow copies.
  bool open(TSK_IMG_INFO* image, std::uint64_t offset, std::uint64_t size, std::string& reason) {
    auto* window = new VolumeWindow{image, offset, size};
    if (libbfio_handle_initialize(&m_handle, reinterpret_cast<intptr_t*>(window), VolumeWindow::free_handle,
                                  VolumeWindow::clone, VolumeWindow::open_window, VolumeWindow::close_window,
                                  VolumeWindow::read, VolumeWindow::write, VolumeWindow::seek, VolumeWindow::exists,
                                  VolumeWindow::is_open, VolumeWindow::get_size, LIBBFIO_FLAG_IO_HANDLE_MANAGED,
                                  nullptr) != 1) {
      delete window;
      reason = "can't make a reader for the volume";
      return false;
    }
    libvshadow_error_t* error = nullptr;
    const int signature = libvshadow_check_volume_signature_file_io_handle(m_handle, &error);
    if (signature != 1) {
      if (signature < 0) {
        reason = "shadow copies: " + take_error(error);
        return false;
      }
      return true;  // no shadow copies
    }
    if (libvshadow_volume_initialize(&m_volume, &error) != 1 ||
        libvshadow_volume_open_file_io_handle(m_volume, m_handle, LIBVSHADOW_OPEN_READ, &error) != 1) {
      reason = "shadow copy catalog: " + take_error(error);
      if (m_volume != nullptr) libvshadow_volume_free(&m_volume, nullptr);
      return false;
    }
    return true;
  }

  bool has_stores() const noexcept { return m_volume != nullptr; }

  int store_count() {
    int count = 0;
    if (libvshadow_volume_get_number_of_stores(m_volume, &count, nullptr) != 1) return 0;
    return count;
  }

  // The store at `index` (from 0) and its creation time and volume size;
  // null with the reason.
  libvshadow_store_t* store(int index, std::uint64_t& created, std::uint64_t& size, std::string& reason) {
    libvshadow_error_t* error = nullptr;
    libvshadow_store_t* store = nullptr;
    size64_t volume_size = 0;
    if (libvshadow_volume_get_store(m_volume, index, &store, &error) != 1 ||
        libvshadow_store_get_creation_time(store, &created, &error) != 1 ||
        libvshadow_store_get_volume_size(store, &volume_size, &error) != 1) {
      reason = take_error(error);
      if (store != nullptr) libvshadow_store_free(&store, nullptr);
      return nullptr;
    }
    size = volume_size;
    m_stores.push_back(store);
    return store;
  }

  std::int64_t read(libvshadow_store_t* store, std::uint64_t offset, char* buffer, std::size_t count,
                    std::string& reason) {
    const std::lock_guard lock(m_lock);
    libvshadow_error_t* error = nullptr;
    const ssize_t got = libvshadow_store_read_buffer_at_offset(store, buffer, count, static_cast<off64_t>(offset), &error);
    if (got < 0) reason = take_error(error);
    return got;
  }

 private:
  libbfio_handle_t* m_handle = nullptr;
  libvshadow_volume_t* m_volume = nullptr;
  std::vector<libvshadow_store_t*> m_stores;
  std::mutex m_lock;
};

// One store as the media of a disk image.
class StoreMedia final : public image::ImageMedia {
 public:
  StoreMedia(std::shared_ptr<ShadowVolume> volume, libvshadow_store_t* store, std::uint64_t size)
      : m_volume(std::move(volume)), m_store(store), m_size(size) {}

  std::uint64_t size() const noexcept override { return m_size; }
  const std::vector<std::string>& files() const noexcept override { return m_files; }
  std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) override {
    return m_volume->read(m_store, offset, buffer, count, reason);
  }

 private:
  std::shared_ptr<ShadowVolume> m_volume;
  libvshadow_store_t* m_store;
  std::uint64_t m_size;
  std::vector<std::string> m_files;  // none of its own: the volume's image holds it
};

}  // namespace

std::vector<ShadowStore> open_shadow_stores(TSK_IMG_INFO* image, std::uint64_t offset, std::uint64_t size,
                                            const std::vector<bool>& wanted, std::vector<std::string>& problems) {
  std::vector<ShadowStore> stores;
  auto volume = std::make_shared<ShadowVolume>();
  std::string reason;
  if (!volume->open(image, offset, size, reason)) {
    problems.push_back(reason);
    return stores;
  }
  if (!volume->has_stores()) return stores;
  const int count = volume->store_count();
  for (int index = 0; index < count; ++index) {
    const unsigned number = static_cast<unsigned>(index) + 1;
    if (!wanted.empty() && (number >= wanted.size() || !wanted[number])) continue;
    std::uint64_t created = 0;
    std::uint64_t store_size = 0;
    libvshadow_store_t* store = volume->store(index, created, store_size, reason);
    std::unique_ptr<DiskImage> store_image;
    if (store != nullptr) {
      store_image = DiskImage::from_media("store " + std::to_string(number), "VSS store",
                                          std::make_unique<StoreMedia>(volume, store, store_size), reason);
    }
    if (!store_image) {
      problems.push_back("store " + std::to_string(number) + ": " + reason);
      continue;
    }
    stores.push_back({number, created, std::move(store_image)});
  }
  return stores;
}

}  // namespace kerf
