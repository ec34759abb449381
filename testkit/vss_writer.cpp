// kerf_vss_writer: gives an NTFS volume held in a plain file Volume Shadow
// Copy stores of its older states, for tests that read shadow copies. No
// Linux tool takes a shadow copy, so this one writes what Windows leaves on
// a volume that has some: the volume header at 0x1e00, the catalog, and per
// store its header, block list, block range list, bitmap and data blocks.
//
//   kerf_vss_writer [-t FILETIME]... LIVE OLDER [OLDER ...]
//
// LIVE is changed in place; each OLDER is the same volume at an earlier
// time (the same size), oldest first, and becomes one store, created at the
// matching -t time (FILETIME, decimal, rising), or at midnight of
// 1 January 2020, 2 January, ... when no time is given. It prints one line
// per store: "<store GUID>\t<creation time>".
//
// How the stores reproduce the older states byte for byte:
//  - A reader lays the newest store over the live volume, the one before it
//    over that, and so on; so store i holds the 16 KiB blocks where older
//    state i differs from older state i+1, and the newest store those where
//    the newest older state differs from the live volume as written.
//  - Everything written goes into 16 KiB blocks that the live volume's
//    $Bitmap marks free and that every older state holds as zeros (block 0,
//    where the volume header goes, aside). The newest store maps each such
//    block it wrote to a block of zeros, so the older states still read
//    zeros there; block 0 is held by the newest store as it was.
//  - The store bitmaps mark no block, so no block reads as zeros unless its
//    bytes are.
// Nothing marks the written clusters used: write files to the live volume
// before adding stores, never after.
//
// The layout follows libyal's description of the format ("Volume Shadow
// Snapshot (VSS) format"). Test machinery only: kerf itself writes nothing.
#include <tsk/libtsk.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kBlock = 0x4000;  // the unit of everything in a store
constexpr std::size_t kBlockHeader = 128;
constexpr std::size_t kDescriptorsPerBlock = (kBlock - kBlockHeader) / 32;
constexpr std::size_t kRangesPerBlock = (kBlock - kBlockHeader) / 24;
constexpr std::uint64_t kBlocksPerBitmap = (kBlock - kBlockHeader) * 8;
constexpr std::uint64_t kVolumeHeaderOffset = 0x1e00;
// Readers look at the catalog entries in the first half of its block only.
constexpr std::size_t kMostStores = 30;

// {3808876b-c176-4e48-b7ae-04046e6cc752}, as stored.
constexpr std::uint8_t kVssIdentifier[16] = {0x6b, 0x87, 0x08, 0x38, 0x76, 0xc1, 0x48, 0x4e,
                                             0xb7, 0xae, 0x04, 0x04, 0x6e, 0x6c, 0xc7, 0x52};

enum RecordType : std::uint32_t { kVolumeHeader = 1, kCatalog = 2, kBlockList = 3, kStoreHeader = 4, kRangeList = 5, kBitmap = 6 };

void put(Bytes& bytes, std::size_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Fixed GUIDs, so that runs are repeatable: {6b65xxxx-iiii-4000-8000-...}.
Bytes guid(std::uint16_t kind, std::size_t index) {
  Bytes id(16, 0);
  put(id, 0, 0x6b650000u | kind, 4);
  put(id, 4, index, 2);
  put(id, 6, 0x4000, 2);
  id[8] = 0x80;
  return id;
}

std::string guid_text(const Bytes& id) {
  auto hex = [&](std::size_t from, std::size_t count, bool reversed) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t byte = id[reversed ? from + count - 1 - i : from + i];
      text += digits[byte >> 4];
      text += digits[byte & 15];
    }
    return text;
  };
  return hex(0, 4, true) + '-' + hex(4, 2, true) + '-' + hex(6, 2, true) + '-' + hex(8, 2, false) + '-' +
         hex(10, 6, false);
}

Bytes read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Volume {
 public:
  explicit Volume(const std::string& path) : m_bytes(read_whole(path)) {}
  std::uint64_t blocks() const { return m_bytes.size() / kBlock; }
  std::uint64_t size() const { return m_bytes.size(); }
  const std::uint8_t* block(std::uint64_t index) const { return m_bytes.data() + index * kBlock; }
  bool zero(std::uint64_t index) const {
    return std::all_of(block(index), block(index) + kBlock, [](std::uint8_t b) { return b == 0; });
  }
  bool same(const Volume& other, std::uint64_t index) const {
    return std::memcmp(block(index), other.block(index), kBlock) == 0;
  }

 private:
  Bytes m_bytes;
};

// Which 16 KiB blocks hold only clusters the volume's $Bitmap marks free.
std::vector<bool> free_blocks(const std::string& path, std::uint64_t blocks) {
  TSK_IMG_INFO* image = tsk_img_open_utf8_sing(path.c_str(), TSK_IMG_TYPE_RAW, 0);
  TSK_FS_INFO* fs = image != nullptr ? tsk_fs_open_img(image, 0, TSK_FS_TYPE_NTFS) : nullptr;
  if (fs == nullptr) {
    const std::string why = tsk_error_get() != nullptr ? tsk_error_get() : "not NTFS";
    if (image != nullptr) tsk_img_close(image);
    throw Failure("cannot read the NTFS volume " + path + ": " + why);
  }
  std::vector<bool> free_cluster(fs->block_count, false);
  const auto mark = [](const TSK_FS_BLOCK* cluster, void* marks) {
    static_cast<std::vector<bool>*>(marks)->at(cluster->addr) = true;
    return TSK_WALK_CONT;
  };
  const auto walk = static_cast<TSK_FS_BLOCK_WALK_FLAG_ENUM>(TSK_FS_BLOCK_WALK_FLAG_UNALLOC | TSK_FS_BLOCK_WALK_FLAG_AONLY);
  const bool walked = tsk_fs_block_walk(fs, fs->first_block, fs->last_block, walk, mark, &free_cluster) == 0;
  std::vector<bool> free(blocks, false);
  for (std::uint64_t b = 1; walked && b < blocks; ++b) {
    const TSK_DADDR_T first = b * kBlock / fs->block_size;
    const TSK_DADDR_T last = ((b + 1) * kBlock - 1) / fs->block_size;
    free[b] = last < free_cluster.size();
    for (TSK_DADDR_T cluster = first; free[b] && cluster <= last; ++cluster) free[b] = free_cluster[cluster];
  }
  tsk_fs_close(fs);
  tsk_img_close(image);
  if (!walked) throw Failure("cannot read the $Bitmap of " + path);
  return free;
}

std::uint64_t blocks_for(std::uint64_t items, std::uint64_t per_block) {
  return std::max<std::uint64_t>(1, (items + per_block - 1) / per_block);
}

// The blocks a store takes: header, zero block, descriptor lists, range
// list, bitmaps and data.
std::uint64_t own_blocks(std::uint64_t descriptors, std::uint64_t data, std::uint64_t bitmaps) {
  return 3 + blocks_for(descriptors, kDescriptorsPerBlock) + bitmaps + data;
}

struct Store {
  const Volume* older = nullptr;
  std::uint64_t creation_time = 0;
  std::vector<std::uint64_t> changed;  // original blocks, rising
  // The volume blocks it owns, in store order: header, zero block, block
  // list, range list, bitmap, data.
  std::vector<std::uint64_t> owned;
  std::uint64_t spare = 0;  // blocks owned past the data, left zeros

  std::uint64_t data_blocks() const {
    return static_cast<std::uint64_t>(
        std::count_if(changed.begin(), changed.end(), [&](std::uint64_t b) { return !older->zero(b); }));
  }
  std::uint64_t list_blocks() const { return blocks_for(changed.size(), kDescriptorsPerBlock); }
  std::uint64_t bitmap_blocks() const { return blocks_for(older->blocks(), kBlocksPerBitmap); }
  std::uint64_t needed() const { return own_blocks(changed.size(), data_blocks(), bitmap_blocks()); }
  std::uint64_t at(std::size_t position) const { return owned.at(position) * kBlock; }
  std::uint64_t header() const { return at(0); }
  std::uint64_t zero_block() const { return at(1); }
  std::uint64_t block_list() const { return at(2); }
  std::uint64_t range_list() const { return at(2 + list_blocks()); }
  std::uint64_t bitmap() const { return at(3 + list_blocks()); }
};

// A record of `size` bytes (a whole block but for the 512-byte volume
// header) behind the header every VSS record starts with.
Bytes block_with_header(RecordType type, std::uint64_t relative, std::uint64_t offset, std::uint64_t next,
                        std::size_t size = kBlock) {
  Bytes block(size, 0);
  std::copy(std::begin(kVssIdentifier), std::end(kVssIdentifier), block.begin());
  put(block, 16, 1, 4);
  put(block, 20, type, 4);
  put(block, 24, relative, 8);
  put(block, 32, offset, 8);
  put(block, 40, next, 8);
  return block;
}

void put_utf16(Bytes& block, std::size_t& at, const std::string& text) {
  put(block, at, text.size() * 2, 2);
  at += 2;
  for (const char c : text) {
    put(block, at, static_cast<std::uint8_t>(c), 2);
    at += 2;
  }
}

class Writer {
 public:
  Writer(const std::string& live_path, const Volume& live) : m_path(live_path), m_live(live) {}

  void write(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
    std::fstream out(m_path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(offset));
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    if (!out) throw Failure("cannot write " + m_path);
  }
  void write(std::uint64_t offset, const Bytes& bytes) { write(offset, bytes.data(), bytes.size()); }

  void write_store(const Store& store, std::size_t index) {
    const std::uint64_t start = store.header();
    auto relative = [&](std::uint64_t offset) {
      const auto found = std::find(store.owned.begin(), store.owned.end(), offset / kBlock);
      return static_cast<std::uint64_t>(found - store.owned.begin()) * kBlock;
    };
    // Header and store information.
    Bytes header = block_with_header(kStoreHeader, 0, start, 0);
    std::size_t at = kBlockHeader;
    const Bytes copy = guid(2, index), set = guid(3, index);
    std::copy(copy.begin(), copy.end(), header.begin() + static_cast<std::ptrdiff_t>(at + 16));
    std::copy(set.begin(), set.end(), header.begin() + static_cast<std::ptrdiff_t>(at + 32));
    put(header, at + 48, 0x0d, 4);        // client-accessible writers
    put(header, at + 52, 1, 4);           // the system's software provider
    put(header, at + 56, 0x0042000d, 4);  // persistent, client-accessible, no auto-release, differential, auto-recover
    at += 64;
    put_utf16(header, at, "kerf-test");
    put_utf16(header, at, "kerf-test");
    put(header, 48, at - kBlockHeader, 8);
    write(start, header);
    write(store.zero_block(), Bytes(kBlock, 0));

    // Data blocks and their descriptors.
    std::vector<Bytes> lists;
    std::size_t next_data = 3 + store.list_blocks() + store.bitmap_blocks();
    for (std::size_t i = 0; i < store.changed.size(); ++i) {
      if (i % kDescriptorsPerBlock == 0) {
        const std::size_t n = lists.size();
        const std::uint64_t next = n + 1 < store.list_blocks() ? store.at(3 + n) : 0;
        lists.push_back(block_with_header(kBlockList, relative(store.at(2 + n)), store.at(2 + n), next));
      }
      const std::uint64_t b = store.changed[i];
      std::uint64_t data = store.zero_block();
      if (!store.older->zero(b)) {
        data = store.at(next_data++);
        write(data, store.older->block(b), kBlock);
      }
      const std::size_t slot = kBlockHeader + (i % kDescriptorsPerBlock) * 32;
      put(lists.back(), slot, b * kBlock, 8);
      put(lists.back(), slot + 8, relative(data), 8);
      put(lists.back(), slot + 16, data, 8);
    }
    if (lists.empty()) lists.push_back(block_with_header(kBlockList, relative(store.block_list()), store.block_list(), 0));
    for (std::size_t n = next_data; n < store.owned.size(); ++n) write(store.at(n), Bytes(kBlock, 0));
    if (next_data + store.spare != store.owned.size()) throw Failure("internal: store " + std::to_string(index) + " miscounted");
    for (std::size_t n = 0; n < lists.size(); ++n) write(store.at(2 + n), lists[n]);

    // The runs of blocks the store owns.
    Bytes ranges = block_with_header(kRangeList, relative(store.range_list()), store.range_list(), 0);
    std::size_t runs = 0;
    for (std::size_t i = 0; i < store.owned.size();) {
      std::size_t end = i + 1;
      while (end < store.owned.size() && store.owned[end] == store.owned[end - 1] + 1) ++end;
      if (runs == kRangesPerBlock) throw Failure("the free space of " + m_path + " is too scattered");
      const std::size_t slot = kBlockHeader + runs++ * 24;
      put(ranges, slot, store.at(i), 8);
      put(ranges, slot + 8, i * kBlock, 8);
      put(ranges, slot + 16, (end - i) * kBlock, 8);
      i = end;
    }
    write(store.range_list(), ranges);

    // Bitmaps that mark nothing: every block not in the list reads through.
    for (std::uint64_t n = 0; n < store.bitmap_blocks(); ++n) {
      const std::uint64_t offset = store.bitmap() + n * kBlock;
      const std::uint64_t next = n + 1 < store.bitmap_blocks() ? offset + kBlock : 0;
      write(offset, block_with_header(kBitmap, relative(offset), offset, next));
    }
  }

  void write_catalog(std::uint64_t offset, const std::vector<Store>& stores) {
    Bytes catalog = block_with_header(kCatalog, 0, offset, 0);
    for (std::size_t s = 0; s < stores.size(); ++s) {
      const Bytes id = guid(1, s);
      const std::size_t entry = kBlockHeader + s * 256;
      put(catalog, entry, 2, 8);
      put(catalog, entry + 8, m_live.size(), 8);
      std::copy(id.begin(), id.end(), catalog.begin() + static_cast<std::ptrdiff_t>(entry + 16));
      put(catalog, entry + 32, s + 1, 8);
      put(catalog, entry + 40, 0x40, 8);
      put(catalog, entry + 48, stores[s].creation_time, 8);
      const std::size_t location = entry + 128;
      put(catalog, location, 3, 8);
      put(catalog, location + 8, stores[s].block_list(), 8);
      std::copy(id.begin(), id.end(), catalog.begin() + static_cast<std::ptrdiff_t>(location + 16));
      put(catalog, location + 32, stores[s].header(), 8);
      put(catalog, location + 40, stores[s].range_list(), 8);
      put(catalog, location + 48, stores[s].bitmap(), 8);
      put(catalog, location + 64, stores[s].owned.size() * kBlock, 8);
      std::cout << guid_text(id) << '\t' << stores[s].creation_time << '\n';
    }
    write(offset, catalog);
    Bytes header = block_with_header(kVolumeHeader, kVolumeHeaderOffset, kVolumeHeaderOffset, 0, 512);
    put(header, 48, offset, 8);
    const Bytes volume = guid(4, 0), storage = guid(4, 1);
    std::copy(volume.begin(), volume.end(), header.begin() + 64);
    std::copy(storage.begin(), storage.end(), header.begin() + 80);
    write(kVolumeHeaderOffset, header);
  }

 private:
  std::string m_path;
  const Volume& m_live;
};

void add_stores(const std::string& live_path, const std::vector<std::string>& older_paths,
                std::vector<std::uint64_t> times) {
  if (older_paths.empty() || older_paths.size() > kMostStores)
    throw Failure("between 1 and " + std::to_string(kMostStores) + " older volumes");
  if (times.empty())
    for (std::size_t s = 0; s < older_paths.size(); ++s) times.push_back(132223104000000000ull + s * 864000000000ull);
  if (times.size() != older_paths.size()) throw Failure("one creation time per older volume");
  for (std::size_t s = 1; s < times.size(); ++s)
    if (times[s] <= times[s - 1]) throw Failure("creation times must rise, oldest first");

  const Volume live(live_path);
  if (live.size() % kBlock != 0 || live.blocks() < 2)
    throw Failure(live_path + ": the volume size must be a multiple of 16 KiB");
  std::vector<Volume> older;
  older.reserve(older_paths.size());
  for (const auto& path : older_paths) {
    older.emplace_back(path);
    if (older.back().size() != live.size()) throw Failure(path + " is not the size of " + live_path);
  }
  const std::uint64_t blocks = live.blocks();

  // Where the stores may go: free in the live volume, zeros in every older one.
  std::vector<std::uint64_t> room;
  const std::vector<bool> free = free_blocks(live_path, blocks);
  for (std::uint64_t b = 1; b < blocks; ++b)
    if (free[b] && std::all_of(older.begin(), older.end(), [&](const Volume& v) { return v.zero(b); }))
      room.push_back(b);

  std::vector<Store> stores(older.size());
  for (std::size_t s = 0; s < older.size(); ++s) {
    stores[s].older = &older[s];
    stores[s].creation_time = times[s];
    if (s + 1 < older.size())
      for (std::uint64_t b = 0; b < blocks; ++b)
        if (!older[s].same(older[s + 1], b)) stores[s].changed.push_back(b);
  }
  Store& newest = stores.back();
  std::uint64_t others = 1;  // the catalog
  for (std::size_t s = 0; s + 1 < stores.size(); ++s) others += stores[s].needed();
  if (room.empty()) throw Failure(live_path + " has no free space for the stores");

  // The newest store holds whatever the writing changes, which grows with
  // the room taken: take more until it fits. Every block written but the
  // stores' zero blocks differs from the zeros the older states hold there.
  std::uint64_t taken = 0, own = 0;
  std::vector<bool> written(blocks, false);
  for (;;) {
    std::fill(written.begin(), written.end(), false);
    for (std::uint64_t i = 0; i < taken; ++i) written[room[i]] = true;
    std::uint64_t outside = 0, data = 0;
    for (std::uint64_t b = 0; b < blocks; ++b)
      if (b == 0 || (!written[b] && !older.back().same(live, b))) {
        ++outside;
        data += older.back().zero(b) ? 0 : 1;
      }
    own = 0;
    for (std::uint64_t again = 1; again != own;) {
      own = again;
      again = own_blocks(outside + others + own - stores.size(), data, newest.bitmap_blocks());
    }
    if (others + own <= taken) break;
    taken = others + own;
    if (taken > room.size()) throw Failure(live_path + " has too little free space for the stores");
  }

  // Lay the blocks out; what the newest store took beyond its needs stays
  // zeros. Then list what the newest store holds.
  std::uint64_t next = 0;
  const std::uint64_t catalog = room[next++];
  for (auto& store : stores) {
    const std::uint64_t count = &store == &newest ? taken - others : store.needed();
    for (std::uint64_t i = 0; i < count; ++i) store.owned.push_back(room[next++]);
  }
  newest.spare = taken - others - own;
  std::vector<bool> plain(blocks, false);  // written, and zeros
  for (const auto& store : stores) plain[store.owned[1]] = true;
  for (std::uint64_t i = 0; i < newest.spare; ++i) plain[newest.owned[newest.owned.size() - 1 - i]] = true;
  for (std::uint64_t b = 0; b < blocks; ++b)
    if (b == 0 || (written[b] ? !plain[b] : !older.back().same(live, b))) newest.changed.push_back(b);

  Writer writer(live_path, live);
  for (std::size_t s = 0; s < stores.size(); ++s) writer.write_store(stores[s], s);
  writer.write_catalog(catalog * kBlock, stores);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::uint64_t> times;
  int i = 1;
  try {
    for (; i + 1 < argc && std::string(argv[i]) == "-t"; i += 2) times.push_back(std::stoull(argv[i + 1]));
    if (argc - i < 2) {
      std::cerr << "usage: kerf_vss_writer [-t FILETIME]... LIVE OLDER [OLDER ...]\n";
      return 2;
    }
    add_stores(argv[i], {argv + i + 1, argv + argc}, times);
  } catch (const std::exception& failure) {
    std::cerr << "kerf_vss_writer: " << failure.what() << '\n';
    return 1;
  }
  return 0;
}
