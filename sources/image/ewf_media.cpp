// EWF (E01) media, read by libewf.
#include <libewf.h>

#include <algorithm>

#include "lib/io/file.h"
#include "sources/image/image_media.h"
#include "sources/image/image_segments.h"
#include "sources/image/libyal_error.h"

namespace kerf::image {

namespace {

std::string take_error(libewf_error_t*& error) {
  return take_library_error(error, libewf_error_backtrace_sprint, libewf_error_free);
}

// The names libewf_glob found, freed with it.
struct Globbed {
  char** names = nullptr;
  int count = 0;
  ~Globbed() {
    if (names != nullptr) libewf_glob_free(names, count, nullptr);
  }
};

class EwfMedia final : public ImageMedia {
 public:
  EwfMedia(libewf_handle_t* handle, std::vector<std::string> files, std::uint64_t size, std::uint32_t sector_size)
      : m_handle(handle), m_files(std::move(files)), m_size(size), m_sector_size(std::max<std::uint32_t>(sector_size, 1)) {}
  ~EwfMedia() override {
    libewf_handle_close(m_handle, nullptr);
    libewf_handle_free(&m_handle, nullptr);
  }
  EwfMedia(const EwfMedia&) = delete;
  EwfMedia& operator=(const EwfMedia&) = delete;

  std::uint64_t size() const noexcept override { return m_size; }
  const std::vector<std::string>& files() const noexcept override { return m_files; }

  std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) override {
    libewf_error_t* error = nullptr;
    const ssize_t got = libewf_handle_read_random(m_handle, buffer, count, static_cast<off64_t>(offset), &error);
    if (got < 0) {
      reason = take_error(error);
      return -1;
    }
    if (got > 0 && damaged(offset, static_cast<std::uint64_t>(got), reason)) return -1;
    return got;
  }

 private:
  // libewf hands back the bytes of a chunk whose checksum fails (or zeros),
  // and only notes the sectors: a read touching them has failed.
  bool damaged(std::uint64_t offset, std::uint64_t count, std::string& reason) {
    std::uint32_t errors = 0;
    if (libewf_handle_get_number_of_checksum_errors(m_handle, &errors, nullptr) != 1) return false;
    const std::uint64_t first = offset / m_sector_size;
    const std::uint64_t last = (offset + count - 1) / m_sector_size;
    for (std::uint32_t i = 0; i < errors; ++i) {
      std::uint64_t start = 0;
      std::uint64_t sectors = 0;
      if (libewf_handle_get_checksum_error(m_handle, i, &start, &sectors, nullptr) != 1 || sectors == 0) continue;
      if (start <= last && first <= start + sectors - 1) {
        reason = "damaged data (checksum error) in sectors " + std::to_string(start) + " to " +
                 std::to_string(start + sectors - 1);
        return true;
      }
    }
    return false;
  }

  libewf_handle_t* m_handle;
  std::vector<std::string> m_files;
  std::uint64_t m_size;
  std::uint32_t m_sector_size;
};

// Why a set that libewf reports as incomplete is: a segment after the last
// one found exists, so one in between is missing; or none does, and the set
// lacks its last segments or its last file was cut short.
std::string incomplete_set(const std::string& first, unsigned found) {
  const unsigned missing = found + 1;
  const auto missing_name = ewf_segment_name(first, missing);
  const std::string named = missing_name ? " (" + *missing_name + ")" : std::string();
  const auto later = ewf_segment_name(first, missing + 1);
  if (later && io::file_id(*later)) return "segment " + std::to_string(missing) + " is missing" + named;
  return "segment " + std::to_string(missing) + " is missing" + named + ", or segment " + std::to_string(found) +
         " is cut short";
}

}  // namespace

bool libewf_reads(const std::string& path) { return libewf_check_file_signature(path.c_str(), nullptr) == 1; }

std::unique_ptr<ImageMedia> open_ewf_media(const std::string& path, std::string& reason) {
  libewf_error_t* error = nullptr;
  Globbed globbed;
  if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &globbed.names, &globbed.count, &error) != 1 ||
      globbed.count < 1) {
    reason = "cannot find the segments: " + take_error(error);
    return nullptr;
  }
  std::vector<std::string> files(globbed.names, globbed.names + globbed.count);
  if (io::file_id(files.front()) != io::file_id(path)) {
    reason = "not the first segment of the image (" + files.front() + " comes first)";
    return nullptr;
  }
  libewf_handle_t* handle = nullptr;
  if (libewf_handle_initialize(&handle, &error) != 1) {
    reason = take_error(error);
    return nullptr;
  }
  if (libewf_handle_open(handle, globbed.names, globbed.count, LIBEWF_OPEN_READ, &error) != 1) {
    reason = "damaged EWF image: " + take_error(error);
    libewf_handle_free(&handle, nullptr);
    return nullptr;
  }
  size64_t size = 0;
  std::uint32_t sector_size = 0;
  if (libewf_handle_segment_files_corrupted(handle, nullptr) != 0) {
    reason = incomplete_set(path, static_cast<unsigned>(globbed.count));
  } else if (libewf_handle_get_media_size(handle, &size, &error) != 1 ||
             libewf_handle_get_bytes_per_sector(handle, &sector_size, &error) != 1) {
    reason = "damaged EWF image: " + take_error(error);
  } else {
    return std::make_unique<EwfMedia>(handle, std::move(files), size, sector_size);
  }
  libewf_handle_close(handle, nullptr);
  libewf_handle_free(&handle, nullptr);
  return nullptr;
}

}  // namespace kerf::image
