// NTFS volumes and disk images made from nothing for tests: no root, no
// mounting. A volume is a sparse file formatted by mkntfs and filled by the
// kit's own writer (kerf_ntfs_writer, on libntfs-3g); a disk is a sparse
// file partitioned by sfdisk with volumes copied in; conversions go through
// ewfacquire and qemu-img. Every failure throws std::runtime_error with the
// tool's own message.
//
// How the writer places files: a new file or folder takes the lowest free
// MFT entry (from 64 up), so an entry freed by a delete goes to the next
// file made, with a sequence number one higher; clusters come from the
// largest free run, so a deleted file's clusters go to the next file only
// when nothing was allocated after them, or when "put_at" places a file
// there.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kerf::testing {

struct NtfsFile {
  std::string path;  // inside the volume, e.g. "\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf"
  std::vector<std::uint8_t> bytes;
  bool deleted = false;  // deleted after every file is written
};

struct FileReference {
  std::uint64_t mft_entry = 0;
  std::uint16_t sequence = 0;
  // The 64-bit form Prefetch files and $FILE_NAME parents hold.
  std::uint64_t packed() const { return mft_entry | static_cast<std::uint64_t>(sequence) << 48; }
};

// A program on PATH, in /usr/sbin or in /sbin; empty when there is none.
std::string find_tool(const std::string& name);

// The built writer; empty when libntfs-3g was missing at build time.
std::string ntfs_writer();

// Why a test that needs `tools` ("kerf_ntfs_writer" for the writer) cannot
// run, such as "mkntfs not found"; empty when all are there.
std::string missing_tools(std::initializer_list<const char*> tools);

// A fresh sparse file of `size` bytes holding an empty NTFS volume.
void format_ntfs(const std::string& image, std::uint64_t size);

// Formats `image` (`size` bytes), writes `files` in order (missing folders
// are made), then deletes those marked deleted; returns each file's
// reference, in the order of `files`.
std::vector<FileReference> make_ntfs_volume(const std::string& image, std::uint64_t size,
                                            const std::vector<NtfsFile>& files);

// Runs the writer on an NTFS image with `commands`, one a line, fields
// joined by tabs (see testkit/ntfs_writer.cpp), e.g. "put\t\\A.pf\t/tmp/a";
// returns the lines it printed.
std::vector<std::string> run_ntfs_writer(const std::string& image, const std::vector<std::string>& commands);

// The reference in a line "put" or "put_at" printed
// ("<path>\t<entry>\t<sequence>").
FileReference reference_of(const std::string& put_line);

// A run of a file's clusters, in bytes within its volume.
struct VolumeRun {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;  // one past the last byte
  bool operator==(const VolumeRun&) const = default;
};

// The runs in a line "clusters" printed ("<path>\t<offset>+<length>...").
std::vector<VolumeRun> runs_of(const std::string& clusters_line);

// The 64-bit serial number in the boot sector (offset 0x48), and a way to
// set it (in the backup boot sector too, when the image holds it).
std::uint64_t ntfs_volume_serial(const std::string& volume_image);
void set_ntfs_volume_serial(const std::string& volume_image, std::uint64_t serial);

struct Partition {
  std::uint64_t offset = 0;  // bytes, a multiple of 512
  std::uint64_t size = 0;    // bytes, a multiple of 512
  std::string volume_image;  // copied in at `offset`; none when empty
  // An MBR type ("7" NTFS, "5" or "f" an extended partition, whose
  // partitions follow it in the list and become logical ones) or a GPT type
  // GUID (such as kGptBasicData).
  std::string type = "7";
};

inline constexpr const char* kGptBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";

// A fresh sparse disk of `size` bytes with an MBR or GPT holding `parts`,
// and their volume images copied in (zero blocks left as holes).
void make_disk(const std::string& disk, std::uint64_t size, bool gpt, const std::vector<Partition>& parts);

enum class ImageFormat { E01, SplitRaw, Qcow2, Vmdk, Vhd, Vhdx };

// Writes the raw image `raw` again as `format`, in files named
// `out_base` plus their extensions (".E01", ".E02", ...; ".001", ".002",
// ...; ".qcow2", ".vmdk", ".vhd", ".vhdx"). E01 and split raw images are cut
// into pieces of 1 MiB (E01 uncompressed), so an image of a few MiB has
// several. Returns the files made, first first.
std::vector<std::string> convert_image(const std::string& raw, ImageFormat format, const std::string& out_base);

}  // namespace kerf::testing
