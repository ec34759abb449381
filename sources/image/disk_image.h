// A disk image opened read-only: raw (one file, or split into .001, .002,
// ...), EWF (E01/Ex01, every segment found from the first), VMDK, VHD, VHDX
// or QCOW2, the format told by the content, never by the name.
//
// The format's library (libewf, libqcow, libvmdk, libvhdi, or The Sleuth Kit
// for raw media) opens the files of the image by name, read-only; the kerf
// executable's own open() (noatime_open.cpp) keeps their access times. The
// Sleuth Kit's volume and file-system readers then read the media through
// this object, which makes the calls into the library one at a time and
// turns each failure of the library into a failed read, never a crash.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lib/io/file.h"

struct TSK_IMG_INFO;

namespace kerf {

namespace image {
class ImageMedia;
}

class DiskImage {
 public:
  // Opens the image whose (first) file is `path`. Null, with the reason in
  // `reason` ("cannot open: no such file or directory", "empty file",
  // "segment 3 is missing (disk.E03)", "damaged QCOW2 image: ...",
  // "unsupported image format: VDI", ...), when it cannot be opened. A file
  // in no known container is read as raw media.
  static std::unique_ptr<DiskImage> open(const std::string& path, std::string& reason);
  // Media another reader already holds (a shadow-copy store of a volume),
  // named `name`, as The Sleuth Kit's image. Null with the reason when it
  // refuses.
  static std::unique_ptr<DiskImage> from_media(std::string name, std::string_view format,
                                               std::unique_ptr<image::ImageMedia> media, std::string& reason);
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
  // Bytes of media read through the image so far, by every thread (for a
  // compressed or sparse container, more than it reads from its files).
  virtual std::uint64_t bytes_read() const noexcept = 0;
  // Reads of the media that failed so far, by every thread. The Sleuth Kit
  // hides some failures: when a read that skips its cache (one longer than
  // 64 KiB, or one retried after a failed cache fill) asks for a length that
  // is not a whole number of sectors, tsk_img_read() reports success with
  // zeros. Compare this count before and after reading a file to learn that
  // its bytes may not be what the image holds.
  virtual std::uint64_t failed_reads() const noexcept = 0;
  // The media as The Sleuth Kit sees it, for the volume and file system
  // readers. Reads through it may come from several threads at once.
  virtual TSK_IMG_INFO* tsk_image() noexcept = 0;

 protected:
  explicit DiskImage(std::string path) : m_path(std::move(path)) {}

 private:
  std::string m_path;
};

}  // namespace kerf
