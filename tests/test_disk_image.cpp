// Disk images of every container, made from one raw media by the tools that
// write them (qemu-img, ewfacquire, split): the media read back exactly
// (from several threads at once), every file of the image named, its access
// times kept; and damaged or missing images refused with a reason.
#include "sources/image/disk_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tsk/libtsk.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "testkit/temp_dir.h"

namespace {

using kerf::DiskImage;
using kerf::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

// Three MiB and one sector: split and segmented images end in a short file.
constexpr std::size_t kMediaSize = 3 * 1048576 + 512;

bool have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Writes the media as "media.raw" in `dir`: pseudo-random bytes, so that a
// read from the wrong place can't match.
std::string write_media(const TempDir& dir, Bytes& media) {
  std::mt19937 rng(1234);
  media.resize(kMediaSize);
  for (std::uint8_t& byte : media) byte = static_cast<std::uint8_t>(rng());
  return dir.write("media.raw", media);
}

// An image made from the raw media `raw` in `dir`; returns its first file.
using Maker = std::function<std::string(const TempDir& dir, const std::string& raw)>;

Maker qemu(const std::string& format, const std::string& options = "") {
  return [=](const TempDir& dir, const std::string& raw) {
    const std::string out = dir.file("image." + format);
    return run("qemu-img convert -f raw -O " + format + (options.empty() ? "" : " -o " + options) + " " + raw + " " +
               out)
               ? out
               : std::string();
  };
}

std::string ewf(const TempDir& dir, const std::string& raw) {
  return run("ewfacquire -u -q -t " + dir.file("image") + " -S 1MiB " + raw) ? dir.file("image.E01") : "";
}

std::string split_raw(const TempDir& dir, const std::string& raw) {
  return run("split -b 1M -d -a 3 --numeric-suffixes=1 " + raw + " " + dir.file("image.")) ? dir.file("image.001")
                                                                                               : "";
}

timespec access_time(const std::string& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_atim;
}

// Moves the access time a day before the modification time, so that a read
// would update it even on a file system mounted relatime.
void age_access_time(const std::string& path) {
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0) << path;
  timespec times[2] = {status.st_mtim, status.st_mtim};
  times[0].tv_sec -= 86400;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

Bytes read_media(DiskImage& image, std::uint64_t offset, std::size_t count) {
  Bytes out(count);
  const ssize_t got = tsk_img_read(image.tsk_image(), static_cast<TSK_OFF_T>(offset), reinterpret_cast<char*>(out.data()), count);
  out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return out;
}

struct FormatCase {
  const char* name;
  const char* tool;
  Maker make;
  std::string_view format;
  std::size_t files;
};

void PrintTo(const FormatCase& row, std::ostream* out) { *out << row.name; }

class DiskImageFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DiskImageFormats, ReadsTheMediaExactlyAndKeepsAccessTimes) {
  const FormatCase& row = GetParam();
  if (*row.tool != '\0' && !have(row.tool)) GTEST_SKIP() << row.tool << " is not installed";
  TempDir dir;
  Bytes media;
  const std::string raw = write_media(dir, media);
  const std::string path = row.make ? row.make(dir, raw) : raw;
  ASSERT_FALSE(path.empty()) << "the tool failed";
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) age_access_time(entry.path());
  std::vector<std::pair<std::string, timespec>> before;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    before.emplace_back(entry.path(), access_time(entry.path()));
  }

  {
    std::string reason;
    const auto image = DiskImage::open(path, reason);
    ASSERT_TRUE(image) << reason;
    EXPECT_EQ(image->format(), row.format);
    EXPECT_EQ(image->media_size(), kMediaSize);
    EXPECT_EQ(image->files().size(), row.files);
    EXPECT_EQ(image->files().front(), path);
    EXPECT_EQ(image->file_ids().size(), row.files);
    // The start, a stretch across a segment boundary, the last bytes; each
    // range from its own thread, twice, so that the reads interleave.
    const std::vector<std::pair<std::uint64_t, std::size_t>> ranges = {
        {0, 4096}, {1048576 - 1000, 70000}, {kMediaSize - 777, 777}, {1500000, 300000}};
    std::vector<std::thread> readers;
    std::vector<char> exact(ranges.size() * 2);  // not vector<bool>: each thread writes its own element
    for (std::size_t i = 0; i < exact.size(); ++i) {
      readers.emplace_back([&, i] {
        const auto [offset, count] = ranges[i % ranges.size()];
        exact[i] = read_media(*image, offset, count) == Bytes(media.begin() + static_cast<std::ptrdiff_t>(offset),
                                                               media.begin() + static_cast<std::ptrdiff_t>(offset + count));
      });
    }
    for (std::thread& reader : readers) reader.join();
    for (std::size_t i = 0; i < exact.size(); ++i) EXPECT_TRUE(exact[i]) << "range " << i % ranges.size();
    EXPECT_GE(image->bytes_read(), 777U + 4096U);
    EXPECT_TRUE(read_media(*image, kMediaSize, 16).empty());
  }
  for (const auto& [file, time] : before) {
    const timespec after = access_time(file);
    EXPECT_TRUE(after.tv_sec == time.tv_sec && after.tv_nsec == time.tv_nsec) << file << " access time changed";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, DiskImageFormats,
    ::testing::Values(FormatCase{"raw", "", nullptr, "raw", 1}, FormatCase{"split_raw", "split", split_raw, "split raw", 4},
                      FormatCase{"ewf", "ewfacquire", ewf, "EWF", 4},
                      FormatCase{"qcow2", "qemu-img", qemu("qcow2"), "QCOW2", 1},
                      FormatCase{"vmdk", "qemu-img", qemu("vmdk"), "VMDK", 1},
                      FormatCase{"vmdk_split", "qemu-img", qemu("vmdk", "subformat=twoGbMaxExtentSparse"), "VMDK", 2},
                      FormatCase{"vhd_dynamic", "qemu-img", qemu("vpc", "force_size=on"), "VHD", 1},
                      FormatCase{"vhd_fixed", "qemu-img", qemu("vpc", "force_size=on,subformat=fixed"), "VHD", 1},
                      FormatCase{"vhdx", "qemu-img", qemu("vhdx"), "VHDX", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Damage done to an image made by `make` (nothing: the media file itself),
// then the path opened.
struct RefusedCase {
  const char* name;
  const char* tool;
  Maker make;
  std::function<std::string(const TempDir& dir, const std::string& path)> damage;
  std::string_view reason;
};

void PrintTo(const RefusedCase& row, std::ostream* out) { *out << row.name; }

void overwrite(const std::string& path, off_t offset, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

class DiskImageRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(DiskImageRefused, GivesTheReason) {
  const RefusedCase& row = GetParam();
  if (*row.tool != '\0' && !have(row.tool)) GTEST_SKIP() << row.tool << " is not installed";
  TempDir dir;
  Bytes media;
  const std::string raw = write_media(dir, media);
  const std::string made = row.make ? row.make(dir, raw) : raw;
  ASSERT_FALSE(made.empty()) << "the tool failed";
  const std::string path = row.damage(dir, made);
  std::string reason;
  const auto image = DiskImage::open(path, reason);
  EXPECT_FALSE(image);
  EXPECT_EQ(reason.substr(0, row.reason.size()), row.reason) << reason;
}

std::string removing(const TempDir& dir, const char* name, const std::string& path) {
  std::filesystem::remove(dir.file(name));
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, DiskImageRefused,
    ::testing::Values(
        RefusedCase{"missing_file", "", nullptr, [](const TempDir& dir, const std::string&) { return dir.file("none.E01"); },
                    "cannot open: no such file or directory"},
        RefusedCase{"directory", "", nullptr, [](const TempDir& dir, const std::string&) { return dir.path().string(); },
                    "cannot open: is a directory"},
        RefusedCase{"empty_file", "", nullptr, [](const TempDir& dir, const std::string&) { return dir.write("empty.raw", {}); },
                    "empty file"},
        RefusedCase{"split_raw_middle_segment_missing", "split", split_raw,
                    [](const TempDir& dir, const std::string& path) { return removing(dir, "image.002", path); },
                    "segment 2 is missing (" },
        RefusedCase{"split_raw_not_first_segment", "split", split_raw,
                    [](const TempDir& dir, const std::string&) { return dir.file("image.002"); },
                    "not the first segment of the image"},
        RefusedCase{"ewf_middle_segment_missing", "ewfacquire", ewf,
                    [](const TempDir& dir, const std::string& path) { return removing(dir, "image.E02", path); },
                    "segment 2 is missing ("},
        RefusedCase{"ewf_last_segment_missing", "ewfacquire", ewf,
                    [](const TempDir& dir, const std::string& path) { return removing(dir, "image.E04", path); },
                    "segment 4 is missing ("},
        RefusedCase{"ewf_not_first_segment", "ewfacquire", ewf,
                    [](const TempDir& dir, const std::string&) { return dir.file("image.E02"); },
                    "not the first segment of the image"},
        RefusedCase{"ewf_damaged_header", "ewfacquire", ewf,
                    [](const TempDir&, const std::string& path) {
                      overwrite(path, 20, std::string(40, 'X'));
                      return path;
                    },
                    "damaged EWF image: "},
        RefusedCase{"ewf2_unreadable", "", nullptr,
                    [](const TempDir& dir, const std::string&) {
                      return dir.write_text("image.Ex01", std::string("EVF2\r\n\x81\0", 8) + std::string(600, '\0'));
                    },
                    "unsupported image format: EWF2 (Ex01)"},
        RefusedCase{"qcow2_truncated", "qemu-img", qemu("qcow2"),
                    [](const TempDir&, const std::string& path) {
                      std::filesystem::resize_file(path, 1024);
                      return path;
                    },
                    "damaged QCOW2 image: "},
        RefusedCase{"qcow2_differencing", "qemu-img", qemu("qcow2"),
                    [](const TempDir& dir, const std::string& path) {
                      const std::string child = dir.file("child.qcow2");
                      return run("qemu-img create -f qcow2 -F qcow2 -b " + path + " " + child) ? child : "";
                    },
                    "differencing image: "},
        RefusedCase{"vdi", "", nullptr,
                    [](const TempDir& dir, const std::string&) {
                      Bytes vdi(1024);
                      const std::uint8_t signature[] = {0x7f, 0x10, 0xda, 0xbe};
                      std::copy(std::begin(signature), std::end(signature), vdi.begin() + 0x40);
                      return dir.write("image.vdi", vdi);
                    },
                    "unsupported image format: VDI"}),
    [](const auto& info) { return std::string(info.param.name); });

// Images that open but whose data is partly lost: a read of the lost part
// fails with the reason (never zeros or damaged bytes passed off as the
// media), and the rest reads exactly.
class DiskImageReadFailures : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(DiskImageReadFailures, FailTheReadsOfTheLostPart) {
  const RefusedCase& row = GetParam();
  if (!have(row.tool)) GTEST_SKIP() << row.tool << " is not installed";
  TempDir dir;
  Bytes media;
  const std::string made = row.make(dir, write_media(dir, media));
  ASSERT_FALSE(made.empty()) << "the tool failed";
  std::string reason;
  const auto image = DiskImage::open(row.damage(dir, made), reason);
  ASSERT_TRUE(image) << reason;
  EXPECT_EQ(read_media(*image, 0, 4096), Bytes(media.begin(), media.begin() + 4096));
  std::string failure;
  for (std::uint64_t offset = 0; offset < kMediaSize && failure.empty(); offset += 65536) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(65536, kMediaSize - offset));
    const Bytes got = read_media(*image, offset, count);
    if (got.empty()) failure = tsk_error_get();
    EXPECT_TRUE(got.empty() || got == Bytes(media.begin() + static_cast<std::ptrdiff_t>(offset),
                                             media.begin() + static_cast<std::ptrdiff_t>(offset + count)))
        << "offset " << offset;
  }
  tsk_error_reset();
  EXPECT_NE(failure.find(row.reason), std::string::npos) << failure;
  // A read The Sleuth Kit reports as whole (an odd length past its cache)
  // while the image failed it still counts.
  const std::uint64_t failed = image->failed_reads();
  EXPECT_GT(failed, 0U);
  for (std::uint64_t offset = 0; offset + 70000 < kMediaSize; offset += 70000) read_media(*image, offset, 70000);
  EXPECT_GT(image->failed_reads(), failed);
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, DiskImageReadFailures,
    ::testing::Values(RefusedCase{"ewf_damaged_chunk", "ewfacquire", ewf,
                                  [](const TempDir& dir, const std::string& path) {
                                    overwrite(dir.file("image.E02"), 500000, std::string(64, 'X'));
                                    return path;
                                  },
                                  "checksum error"},
                      RefusedCase{"qcow2_cut_short", "qemu-img", qemu("qcow2"),
                                  [](const TempDir&, const std::string& path) {
                                    std::filesystem::resize_file(path, 2 * 1048576);
                                    return path;
                                  },
                                  "QCOW2 image, offset "}),
    [](const auto& info) { return std::string(info.param.name); });

// Libraries open image files by name; the executable's open() adds
// O_NOATIME to their read-only opens (the owner may), and leaves others be.
TEST(NoAtimeOpen, ReadOnlyOpensKeepAccessTimes) {
  TempDir dir;
  const std::string path = dir.write_text("file", "x");
  const int reading = ::open(path.c_str(), O_RDONLY);
  const int writing = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(reading, 0);
  ASSERT_GE(writing, 0);
  EXPECT_NE(::fcntl(reading, F_GETFL) & O_NOATIME, 0);
  EXPECT_EQ(::fcntl(writing, F_GETFL) & O_NOATIME, 0);
  ::close(reading);
  ::close(writing);
}

}  // namespace
