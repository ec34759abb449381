#include "sources/image/ntfs_volume.h"

#include <cstring>
#include <limits>
#include <set>
#include <utility>

#include "lib/io/byte_reader.h"
#include "sources/image/tsk_handles.h"
#include "sources/image/volume_file.h"

namespace kerf {

namespace {

// $UpCase, the volume's table of upper-case letters, is always MFT entry 10.
constexpr TSK_INUM_T kUpCaseEntry = 10;
constexpr std::size_t kUpCaseBytes = 0x10000 * 2;
// No real folder tree is this deep; a chain of parents that is, loops.
constexpr int kDeepestPath = 512;

std::uint16_t sequence_of(const TSK_FS_META& meta) { return static_cast<std::uint16_t>(meta.seq); }

bool is_free(const TSK_FS_META& meta) { return (meta.flags & TSK_FS_META_FLAG_ALLOC) == 0; }

// A free entry still holds the file it held when its sequence is the one
// the reference names, or one more (freeing an entry moves it on by one).
bool sequence_kept(const TSK_FS_META& meta, std::uint16_t sequence) {
  return sequence_of(meta) == sequence || sequence_of(meta) == static_cast<std::uint16_t>(sequence + 1);
}

std::string_view name_of(const TSK_FS_META_NAME_LIST& name) {
  return {name.name, strnlen(name.name, sizeof name.name)};
}

// The components of a folder path; "\" and "/" both separate them.
std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t end = path.find_first_of("\\/");
    if (end != 0) parts.push_back(path.substr(0, end));
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  return parts;
}

std::string shown_folder(std::string_view path) {
  std::string shown;
  for (const std::string_view part : components(path)) shown.append("\\").append(part);
  return shown.empty() ? "\\" : shown;
}

tsk::FilePtr open_entry(TSK_FS_INFO* fs, TSK_INUM_T entry) {
  tsk::FilePtr file(tsk_fs_file_open_meta(fs, nullptr, entry));
  if (file == nullptr || file->meta == nullptr) {
    tsk_error_reset();
    return nullptr;
  }
  return file;
}

NtfsNameFold upcase_table(TSK_FS_INFO* fs) {
  const tsk::FilePtr upcase = open_entry(fs, kUpCaseEntry);
  if (upcase == nullptr || upcase->meta->size < static_cast<TSK_OFF_T>(kUpCaseBytes)) return {};
  std::vector<std::uint8_t> bytes(kUpCaseBytes);
  if (tsk_fs_file_read(upcase.get(), 0, reinterpret_cast<char*>(bytes.data()), bytes.size(),
                       TSK_FS_FILE_READ_FLAG_NONE) != static_cast<ssize_t>(bytes.size())) {
    tsk_error_reset();
    return {};
  }
  return NtfsNameFold(bytes);
}

}  // namespace

std::vector<std::uint64_t> volume_offsets(TSK_IMG_INFO* image, std::vector<std::string>& problems) {
  // A GPT disk starts with an MBR that protects it, so GPT is asked first.
  // Each kind is asked by name: detection says nothing of a table that is
  // there but damaged (and leaks the MBR it read on a GPT disk).
  // A damaged GPT is said even when the MBR in front of it is read instead.
  tsk::VolumeSystemPtr system;
  for (const TSK_VS_TYPE_ENUM kind : {TSK_VS_TYPE_GPT, TSK_VS_TYPE_DOS}) {
    system.reset(tsk_vs_open(image, 0, kind));
    if (system != nullptr) break;
    if (tsk_error_get_errno() != TSK_ERR_VS_MAGIC) problems.push_back("partition table: " + tsk::failure("unreadable"));
    tsk_error_reset();
  }
  // With no table, the image is tried as one volume.
  if (system == nullptr) return {0};
  std::vector<std::uint64_t> offsets;
  for (TSK_PNUM_T i = 0; i < system->part_count; ++i) {
    const TSK_VS_PART_INFO* part = tsk_vs_part_get(system.get(), i);
    // Only partitions that hold data: not the table itself, the gaps between
    // partitions, or the containers of extended partitions.
    if (part == nullptr || (part->flags & TSK_VS_PART_FLAG_ALLOC) == 0 || (part->flags & TSK_VS_PART_FLAG_META) != 0) {
      continue;
    }
    const std::uint64_t block = system->block_size;
    if (block == 0 || part->start > (std::numeric_limits<std::uint64_t>::max() - system->offset) / block) {
      problems.push_back("partition " + std::to_string(part->addr) + ": starts past any disk's end");
      continue;
    }
    offsets.push_back(system->offset + part->start * block);
  }
  tsk_error_reset();
  if (offsets.empty()) offsets.push_back(0);
  return offsets;
}

std::unique_ptr<NtfsVolume> NtfsVolume::open(TSK_IMG_INFO* image, std::uint64_t offset, std::string& reason) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<TSK_OFF_T>::max())) {
    reason = "starts past the end of the image";
    return nullptr;
  }
  TSK_FS_INFO* fs = tsk_fs_open_img(image, static_cast<TSK_OFF_T>(offset), TSK_FS_TYPE_NTFS);
  if (fs == nullptr) {
    if (tsk_error_get_errno() == TSK_ERR_FS_MAGIC) {
      tsk_error_reset();
      reason = "not an NTFS volume";
    } else {
      reason = "damaged NTFS volume: " + tsk::failure("unreadable");
    }
    return nullptr;
  }
  // The serial number is the boot sector's, kept by The Sleuth Kit as it
  // found it there (little-endian).
  const io::ByteReader id(std::span<const std::uint8_t>(fs->fs_id, std::min<std::size_t>(fs->fs_id_used, 8)));
  const std::uint64_t serial = id.u64_or(0, 0);
  NtfsNameFold fold = upcase_table(fs);
  return std::unique_ptr<NtfsVolume>(new NtfsVolume(fs, offset, serial, std::move(fold)));
}

NtfsVolume::~NtfsVolume() { tsk_fs_close(m_fs); }

std::optional<NtfsVolume::Folder> NtfsVolume::find_folder(std::string_view path) {
  Folder folder{m_fs->root_inum, ""};
  std::string key;
  for (const std::string_view part : components(path)) {
    const std::string wanted = m_fold.folded(part);
    key.append("\\").append(wanted);
    if (const auto known = m_folders.find(key); known != m_folders.end()) {
      folder = known->second;
      continue;
    }
    const tsk::DirPtr dir(tsk_fs_dir_open_meta(m_fs, folder.entry));
    if (dir == nullptr) {
      tsk_error_reset();
      return std::nullopt;
    }
    std::optional<Folder> next;
    for (std::size_t i = 0; i < tsk_fs_dir_getsize(dir.get()) && !next; ++i) {
      const TSK_FS_NAME* name = tsk_fs_dir_get_name(dir.get(), i);
      if (name != nullptr && name->name != nullptr && (name->flags & TSK_FS_NAME_FLAG_ALLOC) != 0 &&
          m_fold.folded(name->name) == wanted &&
          (name->type == TSK_FS_NAME_TYPE_DIR ||
           (name->type == TSK_FS_NAME_TYPE_UNDEF && type_of(name->meta_addr) == TSK_FS_NAME_TYPE_DIR))) {
        next = Folder{name->meta_addr, folder.path + "\\" + name->name};
      }
    }
    if (!next) return std::nullopt;
    folder = *next;
    m_folders.emplace(key, folder);
  }
  return folder;
}

bool NtfsVolume::list(std::string_view folder, unsigned depth, const std::function<void(VolumeEntry&&)>& found,
                      std::vector<std::string>& problems) {
  std::vector<VolumeEntry> entries;
  {
    std::lock_guard lock(m_lock);
    const std::optional<Folder> start = find_folder(folder);
    if (!start) {
      problems.push_back(shown_folder(folder) + ": no such folder");
      return false;
    }
    // Folder by folder, each one's files before its subfolders, the
    // subfolders in the order the volume lists them.
    struct Pending {
      Folder folder;
      unsigned depth;
    };
    std::vector<Pending> pending{{*start, depth}};
    std::set<std::uint64_t> entered;
    bool first = true;
    while (!pending.empty()) {
      const Pending next = std::move(pending.back());
      pending.pop_back();
      std::vector<Folder> subfolders;
      if (!entered.insert(next.folder.entry).second) continue;
      if (!list_folder(next.folder, next.depth > 0, entries, subfolders, problems) && first) return false;
      first = false;
      for (auto sub = subfolders.rbegin(); sub != subfolders.rend(); ++sub) pending.push_back({*sub, next.depth - 1});
    }
  }
  for (VolumeEntry& entry : entries) found(std::move(entry));
  return true;
}

bool NtfsVolume::list_folder(const Folder& folder, bool with_subfolders, std::vector<VolumeEntry>& entries,
                             std::vector<Folder>& subfolders, std::vector<std::string>& problems) {
  const std::string shown = folder.path.empty() ? "\\" : folder.path;
  const tsk::DirPtr dir(tsk_fs_dir_open_meta(m_fs, folder.entry));
  if (dir == nullptr) {
    problems.push_back(shown + ": can't be listed: " + tsk::failure("unreadable index"));
    return false;
  }
  std::vector<VolumeEntry> files;
  std::set<std::uint64_t> allocated;
  std::set<std::pair<std::uint64_t, std::string>> deleted;
  for (std::size_t i = 0; i < tsk_fs_dir_getsize(dir.get()); ++i) {
    const TSK_FS_NAME* name = tsk_fs_dir_get_name(dir.get(), i);
    if (name == nullptr || name->name == nullptr) continue;
    const std::string_view text = name->name;
    if (text.empty() || text == "." || text == "..") continue;
    const bool in_use = (name->flags & TSK_FS_NAME_FLAG_ALLOC) != 0;
    std::string path = folder.path + "\\" + name->name;
    const int type = name->type != TSK_FS_NAME_TYPE_UNDEF ? name->type : type_of(name->meta_addr);
    if (type == TSK_FS_NAME_TYPE_DIR) {
      if (in_use && with_subfolders) {
        m_folders.emplace(m_fold.folded(path), Folder{name->meta_addr, path});
        subfolders.push_back({name->meta_addr, std::move(path)});
      }
      continue;
    }
    if (type != TSK_FS_NAME_TYPE_REG) continue;
    const auto sequence = static_cast<std::uint16_t>(name->meta_seq);
    if (in_use) {
      allocated.insert(name->meta_addr);
      files.push_back({std::move(path), name->meta_addr, sequence, false});
    } else if (still_describes(name->meta_addr, sequence, folder.entry, text) &&
               deleted.emplace(name->meta_addr, m_fold.folded(text)).second) {
      files.push_back({std::move(path), name->meta_addr, sequence, true});
    }
  }
  for (VolumeEntry& file : files) {
    if (file.deleted && allocated.contains(file.mft_entry)) continue;
    entries.push_back(std::move(file));
  }
  return true;
}

int NtfsVolume::type_of(std::uint64_t entry) {
  const tsk::FilePtr file = open_entry(m_fs, entry);
  if (file == nullptr) return TSK_FS_NAME_TYPE_UNDEF;
  if (file->meta->type == TSK_FS_META_TYPE_REG) return TSK_FS_NAME_TYPE_REG;
  return file->meta->type == TSK_FS_META_TYPE_DIR ? TSK_FS_NAME_TYPE_DIR : TSK_FS_NAME_TYPE_UNDEF;
}

bool NtfsVolume::still_describes(std::uint64_t entry, std::uint16_t sequence, std::uint64_t folder,
                                 std::string_view name) {
  const tsk::FilePtr file = open_entry(m_fs, entry);
  if (file == nullptr) return false;
  const TSK_FS_META& meta = *file->meta;
  if (!is_free(meta) || meta.type != TSK_FS_META_TYPE_REG || !sequence_kept(meta, sequence)) return false;
  const std::string wanted = m_fold.folded(name);
  for (const TSK_FS_META_NAME_LIST* own = meta.name2; own != nullptr; own = own->next) {
    if (own->par_inode == folder && m_fold.folded(name_of(*own)) == wanted) return true;
  }
  return false;
}

std::string NtfsVolume::path_of(std::uint64_t entry) {
  std::vector<std::string> parts;
  std::uint64_t current = entry;
  std::optional<std::uint16_t> expected;
  for (int level = 0; level < kDeepestPath; ++level) {
    const tsk::FilePtr file = open_entry(m_fs, current);
    if (file == nullptr) return {};
    const TSK_FS_META& meta = *file->meta;
    // A parent that was freed, or now holds another folder, breaks the path.
    if (is_free(meta) || (expected && sequence_of(meta) != *expected) || meta.name2 == nullptr) return {};
    const TSK_FS_META_NAME_LIST& name = *meta.name2;
    parts.emplace_back(name_of(name));
    if (name.par_inode == m_fs->root_inum) {
      std::string path;
      for (auto part = parts.rbegin(); part != parts.rend(); ++part) path.append("\\").append(*part);
      return path;
    }
    if (name.par_inode == current) return {};
    current = name.par_inode;
    expected = static_cast<std::uint16_t>(name.par_seq);
  }
  return {};
}

std::unique_ptr<InputSource> NtfsVolume::open_file(const VolumeEntry& entry, std::string shown_name) {
  std::optional<std::uint64_t> folder;
  {
    std::lock_guard lock(m_lock);
    const std::size_t cut = entry.path.rfind('\\');
    if (const auto found = find_folder(cut == std::string::npos ? "" : std::string_view(entry.path).substr(0, cut))) {
      folder = found->entry;
    }
  }
  return std::make_unique<VolumeFile>(m_fs, m_lock, entry, folder, std::move(shown_name));
}

MftLookup NtfsVolume::look_up(std::uint64_t mft_entry, std::uint16_t sequence) {
  std::lock_guard lock(m_lock);
  const tsk::FilePtr file = open_entry(m_fs, mft_entry);
  if (file == nullptr) return {};
  const TSK_FS_META& meta = *file->meta;
  if (!is_free(meta)) {
    if (sequence_of(meta) != sequence) return {MftState::reused, {}};
    return {MftState::in_use, path_of(mft_entry)};
  }
  // A free entry whose sequence moved on further was taken by another file
  // and freed again.
  return {sequence_kept(meta, sequence) ? MftState::deleted : MftState::reused, {}};
}

}  // namespace kerf
