#include "sources/image/free_clusters.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <limits>
#include <mutex>

#include "sources/image/ntfs_volume.h"
#include "sources/image/tsk_handles.h"

namespace kerf {

namespace {

struct FreeRuns {
  std::vector<ByteExtent>& extents;
  std::uint64_t cluster_size;
};

// Called for each free cluster, in increasing order; a cluster that
// follows the last run lengthens it.
TSK_WALK_RET_ENUM add_free_cluster(const TSK_FS_BLOCK* block, void* context) {
  FreeRuns& runs = *static_cast<FreeRuns*>(context);
  const std::uint64_t begin = block->addr * runs.cluster_size;
  if (!runs.extents.empty() && runs.extents.back().end == begin) {
    runs.extents.back().end += runs.cluster_size;
  } else {
    runs.extents.push_back({begin, begin + runs.cluster_size});
  }
  return TSK_WALK_CONT;
}

}  // namespace

std::uint64_t NtfsVolume::size() const noexcept {
  const std::uint64_t cluster = m_fs->block_size;
  const std::uint64_t count = m_fs->block_count;
  if (cluster != 0 && count > std::numeric_limits<std::uint64_t>::max() / cluster) return 0;
  return cluster * count;
}

bool NtfsVolume::free_extents(std::vector<ByteExtent>& extents, std::string& reason) {
  extents.clear();
  std::lock_guard lock(m_lock);
  const std::uint64_t cluster = m_fs->block_size;
  // The last cluster the image holds whole, when it is cut short.
  const TSK_DADDR_T last = std::min(m_fs->last_block, m_fs->last_block_act);
  if (cluster == 0 || m_fs->block_count == 0 || size() == 0) {
    reason = "damaged NTFS volume: no clusters";
    return false;
  }
  if (last < m_fs->first_block) return true;
  FreeRuns runs{extents, cluster};
  tsk_error_reset();
  if (tsk_fs_block_walk(m_fs, m_fs->first_block, last,
                        static_cast<TSK_FS_BLOCK_WALK_FLAG_ENUM>(TSK_FS_BLOCK_WALK_FLAG_UNALLOC |
                                                                 TSK_FS_BLOCK_WALK_FLAG_AONLY),
                        add_free_cluster, &runs) != 0) {
    extents.clear();
    reason = "its cluster bitmap can't be read: " + tsk::failure("The Sleuth Kit gave no reason");
    return false;
  }
  return true;
}

std::uint64_t failed_reads_of(const std::vector<const DiskImage*>& images) noexcept {
  std::uint64_t failed = 0;
  for (const DiskImage* image : images) failed += image->failed_reads();
  return failed;
}

bool FreeClusters::read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) const {
  out.clear();
  if (offset > m_volume_size || count > m_volume_size - offset) return false;
  // A volume a hostile partition table places near the end of the offsets
  // would wrap them round.
  constexpr std::uint64_t kLargest = std::numeric_limits<TSK_OFF_T>::max();
  if (m_volume_offset > kLargest || offset + count > kLargest - m_volume_offset) return false;
  const std::uint64_t failed_before = failed_reads_of(m_watched);
  out.resize(static_cast<std::size_t>(count));
  for (std::uint64_t done = 0; done < count;) {
    const ssize_t got = tsk_img_read(m_image, static_cast<TSK_OFF_T>(m_volume_offset + offset + done),
                                     reinterpret_cast<char*>(out.data() + done), static_cast<std::size_t>(count - done));
    if (got <= 0) {
      tsk_error_reset();
      out.clear();
      return false;
    }
    done += static_cast<std::uint64_t>(got);
  }
  if (failed_reads_of(m_watched) != failed_before) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace kerf
