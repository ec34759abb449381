// A disk image opened read-only: raw (one file, or split into .001, .002,
// ...), EWF (E01/Ex01, every segment found from the first), VMDK, VHD, VHDX
// or QCOW2, the format told by the content, never by the name.
//
// Every file of the image is opened by kerf itself, read-only and without
// updating its access time, and handed to the format's library; The Sleuth
// Kit then reads the media through this object, so no library opens an
// evidence file on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lib/io/file.h"

struct TSK_IMG_INFO;

namespace kerf {

class DiskImage {
 public:
  // Opens the image whose (first) file is `path`. Null, with the reason in
  // `reason` ("unknown image format", "segment 3 is missing", ...), when it
  // cannot be opened.
  static std::unique_ptr<DiskImage> open(const std::string& path, std::string& reason);
  virtual ~DiskImage() = default;

  const std::string& path() const noexcept { return m_path; }
  // "raw", "split raw", "EWF", "VMDK", "VHD", "VHDX" or "QCOW2".
  virtual std::string_view format() const noexcept = 0;
  // Every host file the image is read from, the first one first.
  virtual const std::vector<std::string>& files() const noexcept = 0;
  // Their identities (device and inode), for refusing an output onto any of them.
  virtual const std::vector<io::FileId>& file_ids() const noexcept = 0;
  // The size of the media the image holds, in bytes.
  virtual std::uint64_t media_size() const noexcept = 0;
  // Bytes read from the host files so far, by every thread.
  virtual std::uint64_t bytes_read() const noexcept = 0;
  // The media as The Sleuth Kit sees it, for the volume and file system
  // readers. Reads through it may come from several threads at once.
  virtual TSK_IMG_INFO* tsk_image() noexcept = 0;

 protected:
  explicit DiskImage(std::string path) : m_path(std::move(path)) {}

 private:
  std::string m_path;
};

}  // namespace kerf
