// kerf_ntfs_writer: changes an NTFS volume held in a plain file, for tests
// that need volumes with known files, deleted files and reused entries. It
// opens the file through libntfs-3g (no mounting, no root) and runs the
// commands it reads from standard input, one a line, fields split by tabs;
// paths inside the volume use "\" (or "/"):
//
//   mkdir   <path>                      every missing folder on the way
//   put     <path> <host file>          new file (missing folders made) with
//                                       the host file's bytes; prints
//                                       "<path>\t<mft entry>\t<sequence>"
//   delete  <path>                      removes a file or an empty folder
//   times   <path> <created> <modified> <changed> <accessed>
//                                       $STANDARD_INFORMATION times (FILETIME,
//                                       decimal); the $FILE_NAME copies in the
//                                       parent's index follow them
//   fill    <path> <host file>          replaces an existing file's bytes
//   put_at  <path> <host file> <offset> as put, the file's clusters one run
//                                       from byte <offset> of the volume (a
//                                       multiple of the cluster size), which
//                                       must be free; fails when they did not
//                                       land there
//   clusters <path>                     prints "<path>" and, after a tab
//                                       each, the file's runs of clusters as
//                                       "<offset>+<length>", bytes within the
//                                       volume; none when its data is
//                                       resident in its MFT entry
//
// Where new files land: a new file or folder takes the lowest free MFT
// entry (from 64 up), so one freed by a delete goes to the next file made,
// with its sequence number one higher. Its clusters come from the largest
// free run on the volume: a deleted file's clusters go to the next file only
// when nothing was allocated after them (delete the last file written), or
// when put_at places it over them.
// $FILE_NAME times in the MFT entry, the $FILE_NAME sizes there stay 0, as
// this library leaves them; the parent's index has the true sizes.
//
// It stops at the first failure with a message on standard error and exit
// status 1, after unmounting so that what was done so far stays consistent.
// Test machinery only: kerf itself never links libntfs-3g.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

extern "C" {
#include <ntfs-3g/types.h>
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/bitmap.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/logging.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>
}

namespace {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& what) {
  const int error = errno;
  throw Failure(what + (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
}

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, separator)) fields.push_back(field);
  if (!line.empty() && line.back() == separator) fields.emplace_back();
  return fields;
}

// "\Windows\Prefetch" -> "/Windows/Prefetch"; the root is "/".
std::string volume_path(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string parent_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::vector<std::uint8_t> host_bytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Failure("cannot read " + file);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An open inode, closed when it goes away (unless handed on).
class Inode {
 public:
  explicit Inode(ntfs_inode* inode) : m_inode(inode) {}
  ~Inode() {
    if (m_inode != nullptr) ntfs_inode_close(m_inode);
  }
  Inode(Inode&& other) noexcept : m_inode(other.release()) {}
  Inode& operator=(Inode&&) = delete;
  ntfs_inode* get() const { return m_inode; }
  ntfs_inode* release() {
    ntfs_inode* inode = m_inode;
    m_inode = nullptr;
    return inode;
  }
  void close(const std::string& path) {
    errno = 0;
    if (ntfs_inode_close(release()) != 0) fail("cannot close " + path);
  }

 private:
  ntfs_inode* m_inode;
};

// A name in the UTF-16 form the volume stores.
class VolumeName {
 public:
  explicit VolumeName(const std::string& name) {
    m_length = ntfs_mbstoucs(name.c_str(), &m_units);
    if (m_length <= 0 || m_length > 255) {
      ntfs_ucsfree(m_units);
      m_units = nullptr;
      throw Failure("bad name '" + name + "'");
    }
  }
  ~VolumeName() { ntfs_ucsfree(m_units); }
  VolumeName(const VolumeName&) = delete;
  VolumeName& operator=(const VolumeName&) = delete;
  ntfschar* units() const { return m_units; }
  u8 length() const { return static_cast<u8>(m_length); }

 private:
  ntfschar* m_units = nullptr;
  int m_length = 0;
};

class Writer {
 public:
  explicit Writer(ntfs_volume* volume) : m_volume(volume) {}

  void run(const std::vector<std::string>& fields) {
    const std::string& command = fields[0];
    if (command == "mkdir" && fields.size() == 2) {
      make_folders(volume_path(fields[1]));
    } else if (command == "put" && fields.size() == 3) {
      put(fields[1], volume_path(fields[1]), host_bytes(fields[2]));
    } else if (command == "delete" && fields.size() == 2) {
      remove(volume_path(fields[1]));
    } else if (command == "times" && fields.size() == 6) {
      set_times(volume_path(fields[1]), {fields.begin() + 2, fields.end()});
    } else if (command == "fill" && fields.size() == 3) {
      fill(volume_path(fields[1]), host_bytes(fields[2]));
    } else if (command == "put_at" && fields.size() == 4) {
      put_at(fields[1], volume_path(fields[1]), host_bytes(fields[2]), number(fields[3]));
    } else if (command == "clusters" && fields.size() == 2) {
      print_clusters(fields[1], volume_path(fields[1]));
    } else {
      throw Failure("unknown command or wrong number of fields: " + command);
    }
  }

 private:
  ntfs_inode* find(const std::string& path) { return ntfs_pathname_to_inode(m_volume, nullptr, path.c_str()); }

  Inode open(const std::string& path) {
    errno = 0;
    ntfs_inode* inode = find(path);
    if (inode == nullptr) fail("cannot open " + path);
    return Inode(inode);
  }

  void make_folders(const std::string& path) {
    if (path == "/") return;
    if (ntfs_inode* existing = find(path)) {
      const bool folder = existing->mrec->flags & MFT_RECORD_IS_DIRECTORY;
      ntfs_inode_close(existing);
      if (!folder) throw Failure(path + " exists and is not a folder");
      return;
    }
    make_folders(parent_of(path));
    create(path, S_IFDIR).close(path);
  }

  Inode create(const std::string& path, mode_t type) {
    Inode parent = open(parent_of(path));
    const VolumeName name(name_of(path));
    if (ntfs_inode_lookup_by_name(parent.get(), name.units(), name.length()) != static_cast<u64>(-1))
      throw Failure(path + " exists already");
    // The library hunts for free entries from where it last took one; start
    // from the beginning, as on a freshly opened volume, so that an entry
    // freed by a delete goes to the next new file.
    m_volume->mft_data_pos = 24;
    errno = 0;
    Inode created(ntfs_create(parent.get(), const_cpu_to_le32(0), name.units(), name.length(), type));
    if (created.get() == nullptr) fail("cannot create " + path);
    parent.close(parent_of(path));
    return created;
  }

  void write_data(ntfs_inode* inode, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    errno = 0;
    ntfs_attr* data = ntfs_attr_open(inode, AT_DATA, AT_UNNAMED, 0);
    if (data == nullptr) fail("cannot open the data of " + path);
    const auto size = static_cast<s64>(bytes.size());
    const bool written = ntfs_attr_truncate(data, size) == 0 &&
                         (size == 0 || ntfs_attr_pwrite(data, 0, size, bytes.data()) == size);
    ntfs_attr_close(data);
    if (!written) fail("cannot write " + path);
  }

  void put(const std::string& shown, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    make_folders(parent_of(path));
    Inode file = create(path, S_IFREG);
    write_data(file.get(), path, bytes);
    const std::uint64_t entry = file.get()->mft_no;
    const unsigned sequence = le16_to_cpu(file.get()->mrec->sequence_number);
    file.close(path);
    std::cout << shown << '\t' << entry << '\t' << sequence << '\n';
  }

  static std::uint64_t number(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const std::uint64_t value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0) throw Failure("bad number " + text);
    return value;
  }

  // The runs of the file's unnamed data as (first cluster, clusters); none
  // when it is resident. A hole fails.
  std::vector<std::pair<std::int64_t, std::int64_t>> runs(ntfs_inode* inode, const std::string& path) {
    errno = 0;
    ntfs_attr* data = ntfs_attr_open(inode, AT_DATA, AT_UNNAMED, 0);
    if (data == nullptr) fail("cannot open the data of " + path);
    std::vector<std::pair<std::int64_t, std::int64_t>> found;
    bool whole = true;
    if (NAttrNonResident(data)) {
      whole = ntfs_attr_map_whole_runlist(data) == 0;
      for (const runlist_element* run = data->rl; whole && run != nullptr && run->length != 0; ++run) {
        whole = run->lcn >= 0;
        found.emplace_back(run->lcn, run->length);
      }
    }
    ntfs_attr_close(data);
    if (!whole) throw Failure("the data of " + path + " has a hole or can't be mapped");
    return found;
  }

  void print_clusters(const std::string& shown, const std::string& path) {
    Inode file = open(path);
    const auto found = runs(file.get(), path);
    file.close(path);
    std::cout << shown;
    for (const auto& [first, count] : found) {
      std::cout << '\t' << (static_cast<std::uint64_t>(first) << m_volume->cluster_size_bits) << '+'
                << (static_cast<std::uint64_t>(count) << m_volume->cluster_size_bits);
    }
    std::cout << '\n';
  }

  // The library places a file's clusters itself; for as long as it writes
  // this one, every other free cluster is marked in use, so that the only
  // free ones are those wanted. Its allocation state is put back after.
  void put_at(const std::string& shown, const std::string& path, const std::vector<std::uint8_t>& bytes,
              std::uint64_t offset) {
    const std::uint64_t cluster_size = m_volume->cluster_size;
    const std::int64_t first = static_cast<std::int64_t>(offset / cluster_size);
    const auto count = static_cast<std::int64_t>((bytes.size() + cluster_size - 1) / cluster_size);
    if (offset % cluster_size != 0 || bytes.empty() || first + count > m_volume->nr_clusters)
      throw Failure("put_at: " + std::to_string(offset) + " is not a cluster that can hold " + path);
    free_clusters(first, count);  // before anything is made
    make_folders(parent_of(path));
    Inode file = create(path, S_IFREG);
    const std::vector<std::pair<std::int64_t, std::int64_t>> fenced = fence_off(first, count);
    const u8 full_zones = m_volume->full_zones;
    const LCN zone_positions[3] = {m_volume->mft_zone_pos, m_volume->data1_zone_pos, m_volume->data2_zone_pos};
    std::string problem;
    try {
      write_data(file.get(), path, bytes);
    } catch (const Failure& failure) {
      problem = failure.what();
    }
    for (const auto& [start, length] : fenced)
      if (ntfs_bitmap_clear_run(m_volume->lcnbmp_na, start, length) != 0) problem = "cannot free the fence";
    m_volume->full_zones = full_zones;
    m_volume->mft_zone_pos = zone_positions[0];
    m_volume->data1_zone_pos = zone_positions[1];
    m_volume->data2_zone_pos = zone_positions[2];
    if (!problem.empty()) throw Failure(problem);
    const std::vector<std::pair<std::int64_t, std::int64_t>> wanted = {{first, count}};
    if (runs(file.get(), path) != wanted)
      throw Failure("put_at: " + path + " did not land at cluster " + std::to_string(first));
    const std::uint64_t entry = file.get()->mft_no;
    const unsigned sequence = le16_to_cpu(file.get()->mrec->sequence_number);
    file.close(path);
    std::cout << shown << '\t' << entry << '\t' << sequence << '\n';
  }

  // The volume's cluster bitmap, after checking that the clusters
  // [first, first + count) are free in it.
  std::vector<std::uint8_t> free_clusters(std::int64_t first, std::int64_t count) {
    std::vector<std::uint8_t> bitmap(static_cast<std::size_t>((m_volume->nr_clusters + 7) / 8));
    if (ntfs_attr_pread(m_volume->lcnbmp_na, 0, static_cast<s64>(bitmap.size()), bitmap.data()) !=
        static_cast<s64>(bitmap.size()))
      fail("cannot read the cluster bitmap");
    for (std::int64_t lcn = first; lcn < first + count; ++lcn)
      if (in_use(bitmap, lcn)) throw Failure("put_at: cluster " + std::to_string(lcn) + " is in use");
    return bitmap;
  }

  static bool in_use(const std::vector<std::uint8_t>& bitmap, std::int64_t lcn) {
    return (bitmap[static_cast<std::size_t>(lcn / 8)] >> (lcn % 8)) & 1;
  }

  // Marks in use every free cluster outside [first, first + count), which
  // must all be free; returns the runs it marked.
  std::vector<std::pair<std::int64_t, std::int64_t>> fence_off(std::int64_t first, std::int64_t count) {
    const std::int64_t total = m_volume->nr_clusters;
    const std::vector<std::uint8_t> bitmap = free_clusters(first, count);
    std::vector<std::pair<std::int64_t, std::int64_t>> fenced;
    for (std::int64_t lcn = 0; lcn < total; ++lcn) {
      if (in_use(bitmap, lcn) || (lcn >= first && lcn < first + count)) continue;
      if (!fenced.empty() && fenced.back().first + fenced.back().second == lcn) {
        ++fenced.back().second;
      } else {
        fenced.emplace_back(lcn, 1);
      }
    }
    for (const auto& [start, length] : fenced)
      if (ntfs_bitmap_set_run(m_volume->lcnbmp_na, start, length) != 0) fail("cannot fence the free clusters");
    return fenced;
  }

  void fill(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    Inode file = open(path);
    write_data(file.get(), path, bytes);
    file.close(path);
  }

  void remove(const std::string& path) {
    if (path == "/") throw Failure("cannot delete the root folder");
    Inode file = open(path);
    Inode parent = open(parent_of(path));
    const VolumeName name(name_of(path));
    errno = 0;
    // ntfs_delete closes both inodes, whatever its outcome.
    if (ntfs_delete(m_volume, path.c_str(), file.release(), parent.release(), name.units(), name.length()) != 0)
      fail("cannot delete " + path);
  }

  // The library's order: created, modified, accessed, then the entry's own
  // change time.
  void set_times(const std::string& path, const std::vector<std::string>& given) {
    std::uint64_t value[4];
    const int from[4] = {0, 1, 3, 2};  // created, modified, changed, accessed
    for (int i = 0; i < 4; ++i) {
      char* end = nullptr;
      errno = 0;
      value[i] = std::strtoull(given[from[i]].c_str(), &end, 10);
      if (given[from[i]].empty() || *end != '\0' || errno != 0) throw Failure("bad time " + given[from[i]]);
    }
    le64 times[4];
    for (int i = 0; i < 4; ++i) times[i] = cpu_to_le64(value[i]);
    Inode file = open(path);
    errno = 0;
    if (ntfs_inode_set_times(file.get(), reinterpret_cast<const char*>(times), sizeof times, 0) != 0)
      fail("cannot set the times of " + path);
    set_change_time(file.get(), path, times[3]);
    file.close(path);
  }

  // The library stamps the entry's change time with the clock; put the given
  // one in its place, in $STANDARD_INFORMATION, in the $FILE_NAME
  // attributes and in the inode (whose copy goes to the parent's index).
  static void set_change_time(ntfs_inode* file, const std::string& path, le64 time) {
    ntfs_attr_search_ctx* search = ntfs_attr_get_search_ctx(file, nullptr);
    if (search == nullptr) fail("cannot read the attributes of " + path);
    for (const ATTR_TYPES type : {AT_STANDARD_INFORMATION, AT_FILE_NAME}) {
      ntfs_attr_reinit_search_ctx(search);
      while (ntfs_attr_lookup(type, AT_UNNAMED, 0, CASE_SENSITIVE, 0, nullptr, 0, search) == 0) {
        u8* value = reinterpret_cast<u8*>(search->attr) + le16_to_cpu(search->attr->value_offset);
        if (type == AT_STANDARD_INFORMATION)
          reinterpret_cast<STANDARD_INFORMATION*>(value)->last_mft_change_time = time;
        else
          reinterpret_cast<FILE_NAME_ATTR*>(value)->last_mft_change_time = time;
      }
    }
    ntfs_attr_put_search_ctx(search);
    file->last_mft_change_time = time;
    ntfs_inode_mark_dirty(file);
    NInoFileNameSetDirty(file);
  }

  ntfs_volume* m_volume;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kerf_ntfs_writer <ntfs image> < commands\n";
    return 2;
  }
  ntfs_log_set_handler(ntfs_log_handler_stderr);
  ntfs_set_locale();
  ntfs_volume* volume = ntfs_mount(argv[1], NTFS_MNT_NONE);
  if (volume == nullptr) {
    std::cerr << "kerf_ntfs_writer: cannot open " << argv[1] << ": " << std::strerror(errno) << '\n';
    return 1;
  }
  int status = 0;
  std::string line;
  Writer writer(volume);
  while (status == 0 && std::getline(std::cin, line)) {
    if (line.empty()) continue;
    try {
      writer.run(split(line, '\t'));
    } catch (const Failure& failure) {
      std::cerr << "kerf_ntfs_writer: " << failure.what() << '\n';
      status = 1;
    }
  }
  if (ntfs_umount(volume, FALSE) != 0) {
    std::cerr << "kerf_ntfs_writer: cannot close " << argv[1] << ": " << std::strerror(errno) << '\n';
    status = 1;
  }
  std::cout.flush();
  return status;
}
