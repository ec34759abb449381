#include "sources/image/volume_file.h"

#include <algorithm>
#include <array>
#include <span>

#include "lib/io/byte_reader.h"
#include "sources/image/tsk_handles.h"

namespace kerf {

namespace {

constexpr const char* kEntryUnreadable = "its MFT entry can't be read";
constexpr const char* kEntryDamaged = "its MFT entry is damaged";
constexpr const char* kNoData = "it has no unnamed data stream";
constexpr const char* kEntryMovedOn = "its MFT entry now describes another file";
constexpr const char* kClustersTaken = "deleted, and its clusters now belong to another file";
constexpr const char* kNotWhole = "its data can't be read whole";

// $FILE_NAME: the parent's MFT reference, four times, sizes and flags, then
// the name's length (byte 64) and namespace (byte 65).
constexpr std::size_t kFileNameHead = 66;
constexpr std::uint8_t kWin32Name = 1;
constexpr std::uint8_t kWin32AndDosName = 3;

// The first `length` bytes of a resident attribute (the times of
// $STANDARD_INFORMATION and $FILE_NAME are resident in every MFT entry);
// empty when it holds fewer.
std::vector<std::uint8_t> attribute_head(const TSK_FS_ATTR& attribute, std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  if (attribute.size < static_cast<TSK_OFF_T>(length) ||
      tsk_fs_attr_read(&attribute, 0, reinterpret_cast<char*>(bytes.data()), length, TSK_FS_FILE_READ_FLAG_NONE) !=
          static_cast<ssize_t>(length)) {
    tsk_error_reset();
    bytes.clear();
  }
  return bytes;
}

bool same_file(const TSK_FS_META& meta, const VolumeEntry& entry) {
  const auto sequence = static_cast<std::uint16_t>(meta.seq);
  if (!entry.deleted) return (meta.flags & TSK_FS_META_FLAG_ALLOC) != 0 && sequence == entry.sequence;
  // Freeing an entry moves its sequence on by one.
  return (meta.flags & TSK_FS_META_FLAG_ALLOC) == 0 &&
         (sequence == entry.sequence || sequence == static_cast<std::uint16_t>(entry.sequence + 1));
}

// False when the entry has no readable $STANDARD_INFORMATION: every file
// has one, so the entry is damaged.
bool take_standard_times(TSK_FS_FILE& file, SourceFile& facts) {
  const TSK_FS_ATTR* attribute = tsk_fs_file_attr_get_type(&file, TSK_FS_ATTR_TYPE_NTFS_SI, 0, 0);
  const std::vector<std::uint8_t> bytes =
      attribute != nullptr ? attribute_head(*attribute, 32) : std::vector<std::uint8_t>{};
  tsk_error_reset();
  const io::ByteReader times(bytes);
  if (!times.fits(0, 32)) return false;
  facts.born = times.u64_or(0, 0);
  facts.modified = times.u64_or(8, 0);
  facts.changed = times.u64_or(16, 0);
  facts.accessed = times.u64_or(24, 0);
  return true;
}

// The $FILE_NAME of the name in `folder` (the Win32 one where there are
// several there), or of any name when none is in it.
std::optional<FileNameTimes> file_name_times(TSK_FS_FILE& file, std::optional<std::uint64_t> folder) {
  std::optional<FileNameTimes> best;
  int best_score = -1;
  const int count = tsk_fs_file_attr_getsize(&file);
  for (int i = 0; i < count; ++i) {
    const TSK_FS_ATTR* attribute = tsk_fs_file_attr_get_idx(&file, i);
    if (attribute == nullptr || tsk::attribute_type(*attribute) != TSK_FS_ATTR_TYPE_NTFS_FNAME) continue;
    const std::vector<std::uint8_t> bytes = attribute_head(*attribute, kFileNameHead);
    const io::ByteReader name(bytes);
    if (!name.fits(0, kFileNameHead)) continue;
    const std::uint64_t parent = name.u64_or(0, 0) & 0xFFFF'FFFF'FFFFull;
    const std::uint8_t name_space = name.u8_or(65, 0);
    const int score = (folder && parent == *folder ? 2 : 0) +
                      (name_space == kWin32Name || name_space == kWin32AndDosName ? 1 : 0);
    if (score <= best_score) continue;
    best_score = score;
    best = FileNameTimes{.modified = name.u64_or(16, 0),
                         .accessed = name.u64_or(32, 0),
                         .changed = name.u64_or(24, 0),
                         .born = name.u64_or(8, 0)};
  }
  tsk_error_reset();
  return best;
}

}  // namespace

VolumeFile::~VolumeFile() {
  if (m_file == nullptr) return;
  std::lock_guard lock(m_lock);
  tsk_fs_file_close(m_file);
}

SourceStatus VolumeFile::open(bool /*read_birth_time: the birth time costs nothing more here*/) {
  std::lock_guard lock(m_lock);
  m_facts = {};
  tsk_fs_file_close(m_file);
  m_file = nullptr;
  tsk::FilePtr file(tsk_fs_file_open_meta(m_fs, nullptr, m_entry.mft_entry));
  if (file == nullptr || file->meta == nullptr) {
    tsk_error_reset();
    return {SourceError::unreadable, 0, kEntryUnreadable};
  }
  const TSK_FS_META& meta = *file->meta;
  if (!same_file(meta, m_entry)) return {SourceError::unreadable, 0, kEntryMovedOn};
  if (TSK_FS_IS_DIR_META(meta.type)) return {SourceError::is_directory};
  if (meta.type != TSK_FS_META_TYPE_REG) return {SourceError::not_regular};
  // A file's data is its unnamed $DATA (some of the volume's own files,
  // such as $Secure, have named streams only); an entry whose attributes
  // can't be read, or that has no times, is damaged.
  const bool has_data = tsk_fs_file_attr_get(file.get()) != nullptr;
  tsk_error_reset();
  if (meta.size < 0 || meta.attr_state != TSK_FS_META_ATTR_STUDIED || !take_standard_times(*file, m_facts)) {
    m_facts = {};
    return {SourceError::unreadable, 0, kEntryDamaged};
  }
  if (!has_data) {
    m_facts = {};
    return {SourceError::unreadable, 0, kNoData};
  }
  m_facts.size = static_cast<std::uint64_t>(meta.size);
  m_facts.file_name_times = file_name_times(*file, m_folder);
  m_facts.in_volume = true;
  m_facts.deleted = m_entry.deleted;
  m_file = file.release();
  return {};
}

SourceStatus VolumeFile::read(std::vector<std::uint8_t>& out, std::uint64_t most) {
  std::lock_guard lock(m_lock);
  out.clear();
  if (m_file == nullptr) return {SourceError::unreadable, 0, kEntryUnreadable};
  if (m_facts.size == 0) return {SourceError::empty};
  const std::uint64_t length = std::min(m_facts.size, most);
  if (m_entry.deleted) {
    if (const char* problem = deleted_data_problem(length); problem != nullptr) {
      return {SourceError::unreadable, 0, problem};
    }
  }
  out.resize(static_cast<std::size_t>(length));
  const ssize_t got = tsk_fs_file_read(m_file, 0, reinterpret_cast<char*>(out.data()), out.size(),
                                       TSK_FS_FILE_READ_FLAG_NONE);
  if (got < 0 || static_cast<std::uint64_t>(got) != length) {
    tsk_error_reset();
    out.clear();
    return {SourceError::unreadable, 0, kNotWhole};
  }
  return {};
}

const char* VolumeFile::deleted_data_problem(std::uint64_t length) const {
  const TSK_FS_ATTR* data = tsk_fs_file_attr_get(m_file);
  if (data == nullptr) {
    tsk_error_reset();
    return kNotWhole;
  }
  // Resident data lives in the MFT entry, which is still the file's.
  if ((data->flags & TSK_FS_ATTR_NONRES) == 0) return nullptr;
  const std::uint64_t cluster = m_fs->block_size;
  if (cluster == 0 || m_fs->block_getflags == nullptr) return kNotWhole;
  const std::uint64_t needed = (length + data->nrd.skiplen + cluster - 1) / cluster;
  for (const TSK_FS_ATTR_RUN* run = data->nrd.run; run != nullptr; run = run->next) {
    if (run->offset >= needed || (run->flags & TSK_FS_ATTR_RUN_FLAG_SPARSE) != 0) continue;
    // A run the entry lost track of holds nothing that can be trusted.
    if ((run->flags & TSK_FS_ATTR_RUN_FLAG_FILLER) != 0) return kNotWhole;
    const std::uint64_t count = std::min<std::uint64_t>(run->len, needed - run->offset);
    if (run->addr > m_fs->last_block || count > m_fs->last_block - run->addr + 1) return kNotWhole;
    for (std::uint64_t address = run->addr; address < run->addr + count; ++address) {
      const TSK_FS_BLOCK_FLAG_ENUM flags = m_fs->block_getflags(m_fs, address);
      if ((flags & TSK_FS_BLOCK_FLAG_ALLOC) != 0) return kClustersTaken;
      if ((flags & TSK_FS_BLOCK_FLAG_UNALLOC) == 0) {
        tsk_error_reset();
        return kNotWhole;
      }
    }
  }
  return nullptr;
}

}  // namespace kerf
