// The media inside one disk-image container, as read by the container's
// library, before The Sleuth Kit sees it. One class per library; DiskImage
// makes the calls one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kerf::image {

class ImageMedia {
 public:
  virtual ~ImageMedia() = default;
  // The size of the media, in bytes.
  virtual std::uint64_t size() const noexcept = 0;
  // Every host file the media is read from, the first one first.
  virtual const std::vector<std::string>& files() const noexcept = 0;
  // Reads `count` bytes at `offset` (inside the media) into `buffer`: the
  // number of bytes read, or -1 with the reason in `reason`.
  virtual std::int64_t read(std::uint64_t offset, char* buffer, std::size_t count, std::string& reason) = 0;
};

// Each opener returns null with the reason when the container can't be read.
// `path` is the (first) file of the image.

// Raw media, one file or split into numbered segments (found from the first).
std::unique_ptr<ImageMedia> open_raw_media(const std::string& path, std::string& reason);
// EWF (E01), every segment found from the first.
std::unique_ptr<ImageMedia> open_ewf_media(const std::string& path, std::string& reason);
// Whether libewf knows the signature of the file (E01 always; Ex01 only in
// versions that read EWF2).
bool libewf_reads(const std::string& path);
// QCOW (versions 1 to 3).
std::unique_ptr<ImageMedia> open_qcow_media(const std::string& path, std::string& reason);
// VMDK: a `sparse` file (holding its own descriptor), or a descriptor file
// naming its extent files.
std::unique_ptr<ImageMedia> open_vmdk_media(const std::string& path, bool sparse, std::string& reason);
// VHD and VHDX; `format` names the one found in reasons.
std::unique_ptr<ImageMedia> open_vhdi_media(const std::string& path, std::string_view format, std::string& reason);

}  // namespace kerf::image
