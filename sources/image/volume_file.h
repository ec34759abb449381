// One file inside an NTFS volume, read through The Sleuth Kit: its facts
// come from its MFT entry ($STANDARD_INFORMATION and $FILE_NAME times, to
// the 100 ns), its bytes from its $DATA. Made by NtfsVolume::open_file.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "sources/image/ntfs_volume.h"
#include "sources/input_source.h"

struct TSK_FS_FILE;

namespace kerf {

class VolumeFile final : public InputSource {
 public:
  // `folder`: the MFT entry of the folder the file was listed in, which
  // picks its $FILE_NAME among those of its other names; `lock` serialises
  // every call on `fs`, shared by the volume's other files. Both must
  // outlive the source.
  VolumeFile(TSK_FS_INFO* fs, std::mutex& lock, const VolumeEntry& entry, std::optional<std::uint64_t> folder,
             std::string shown_name)
      : m_fs(fs), m_lock(lock), m_entry(entry), m_folder(folder), m_name(std::move(shown_name)) {}
  ~VolumeFile() override;
  VolumeFile(const VolumeFile&) = delete;
  VolumeFile& operator=(const VolumeFile&) = delete;

  std::string_view name() const noexcept override { return m_name; }
  SourceStatus open(bool read_birth_time) override;
  const SourceFile& facts() const noexcept override { return m_facts; }
  SourceStatus read(std::vector<std::uint8_t>& out, std::uint64_t most) override;

 private:
  // For a deleted file, why its first `length` bytes can't be trusted (a
  // cluster another file took holds that file's data), or null.
  const char* deleted_data_problem(std::uint64_t length) const;

  TSK_FS_INFO* m_fs;
  std::mutex& m_lock;
  VolumeEntry m_entry;
  std::optional<std::uint64_t> m_folder;
  std::string m_name;
  TSK_FS_FILE* m_file = nullptr;
  SourceFile m_facts;
};

}  // namespace kerf
