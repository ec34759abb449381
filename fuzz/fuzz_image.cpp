// libFuzzer target: hostile disk images through the image path, from the
// container format to each file's bytes. Five small images are made once
// (an NTFS volume with Prefetch files, a deleted one among them; the same
// volume in an MBR disk and in a GPT disk; the volume as an E01; a volume
// with two shadow-copy stores, read as -vss reads them). Each input
// picks one with its first byte and changes it with the rest, read as
// patches: a 4-byte offset, a length byte and that many bytes, again and
// again. The patched image is opened and every file of every NTFS volume is
// listed, read and looked up, as a run would; then each volume state's free
// clusters are listed and the first bytes of its first runs read, as a
// carving scan would.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sources/image/opened_image.h"
#include "testkit/ntfs_image.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"
#include "testkit/vss_image.h"

namespace {

namespace kit = kerf::testing;

struct Base {
  std::string path;  // where the patched image is written for each input
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Bases {
  kit::TempDir dir;
  std::vector<Base> images;

  Bases() {
    const std::string volume = dir.file("volume.raw");
    const std::string prefetch = dir.write(
        "cmd.pf", kit::PrefetchImageBuilder(23)
                      .exe_name(L"CMD.EXE")
                      .run_times({132971962938281250ull})
                      .run_count(1)
                      .file_names({L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL"})
                      .file_references({0x0001000000000040ull})
                      .add_volume({L"\\DEVICE\\HARDDISKVOLUME2", 0x1234abcd, 0x01d1217a9c4c6779ull})
                      .build());
    kit::make_ntfs_volume(volume, 2u << 20,
                          {{"\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf", read_all(prefetch)},
                           {"\\Windows\\Prefetch\\GONE.EXE-11111111.pf", read_all(prefetch), true},
                           {"\\Windows\\System32\\NTDLL.DLL", std::vector<std::uint8_t>(5000, 0x90)}});
    images.push_back({dir.file("fuzz-volume.raw"), read_all(volume)});
    const std::string mbr = dir.file("mbr.raw");
    kit::make_disk(mbr, 4u << 20, false, {{1u << 20, 2u << 20, volume, "7"}});
    images.push_back({dir.file("fuzz-mbr.raw"), read_all(mbr)});
    const std::string gpt = dir.file("gpt.raw");
    kit::make_disk(gpt, 4u << 20, true, {{1u << 20, 2u << 20, volume, kit::kGptBasicData}});
    images.push_back({dir.file("fuzz-gpt.raw"), read_all(gpt)});
    const std::vector<std::string> e01 = kit::convert_image(volume, kit::ImageFormat::E01, dir.file("ewf"));
    if (e01.size() == 1) images.push_back({dir.file("fuzz.E01"), read_all(e01.front())});
    // A volume with two shadow-copy stores: catalog, store headers and
    // block lists to damage.
    std::filesystem::create_directories(dir.file("history"));
    const kit::PrefetchHistory history = kit::make_prefetch_history(dir.file("history"));
    images.push_back({dir.file("fuzz-vss.raw"), read_all(history.live_volume)});
  }
};

const Bases& bases() {
  static const Bases* made = new Bases();  // made once, on the first input; kept to the end
  return *made;
}

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) std::abort();
    done += static_cast<std::size_t>(wrote);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Base& base = bases().images[data[0] % bases().images.size()];
  std::vector<std::uint8_t> image = base.bytes;
  for (std::size_t at = 1; at + 5 <= size;) {
    const std::uint32_t offset = static_cast<std::uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16) |
                                 static_cast<std::uint32_t>(data[at + 3]) << 24;
    const std::size_t length = data[at + 4];
    at += 5;
    for (std::size_t i = 0; i < length && at < size; ++i, ++at) image[(offset + i) % image.size()] = data[at];
  }
  write_file(base.path, image);

  std::vector<std::string> problems;
  const std::unique_ptr<kerf::OpenedImage> opened = kerf::OpenedImage::open(base.path, problems, {true, {}});
  if (!opened) return 0;
  std::uint64_t sum = 0;
  for (const kerf::VolumeCopy& copy : opened->copies()) {
    kerf::NtfsVolume* volume = copy.volume;
    std::vector<kerf::VolumeEntry> entries;
    volume->list("\\", 4, [&](kerf::VolumeEntry&& entry) { entries.push_back(std::move(entry)); }, problems);
    for (const kerf::VolumeEntry& entry : entries) {
      const std::unique_ptr<kerf::InputSource> file = opened->open_file(copy, entry, entry.path);
      if (!file->open(true).ok()) continue;
      std::vector<std::uint8_t> bytes;
      if (file->read(bytes, 1u << 20).ok()) sum += bytes.size();
      sum += file->facts().modified + file->facts().deleted;
      const kerf::MftLookup lookup = opened->look_up(volume->offset(), entry.mft_entry, entry.sequence);
      sum += lookup.current_path.size() + static_cast<unsigned>(lookup.state);
    }
    sum += opened->volume_with_serial(static_cast<std::uint32_t>(volume->serial())).value_or(0);
    std::string reason;
    const std::unique_ptr<kerf::ByteStream> free_space = opened->free_space(copy, reason);
    if (!free_space) continue;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < free_space->extents().size() && i < 4; ++i) {
      const kerf::ByteExtent& extent = free_space->extents()[i];
      if (free_space->read(extent.begin, std::min<std::uint64_t>(extent.end - extent.begin, 70001), bytes))
        sum += bytes.size();
    }
    if (!free_space->extents().empty()) free_space->read(free_space->extents().back().end - 1, 2, bytes);
  }
  return static_cast<int>(sum & 0);
}
