// Writes data for measuring the carving scan: its speed, and how often
// ordinary data looks like the start of a Prefetch file.
//   make_carve_data random OUT MIB [SEED=1]
//       random bytes, like the free clusters of a used disk;
//   make_carve_data pagefile OUT MIB [SEED=1]
//       4 KiB pages like a page file's: zero pages, English text in ASCII and
//       UTF-16LE (with "SCCA", "MAM", "MEMORY", "Prefetch" and program names
//       among the words), x86-like machine code and random pages;
//   make_carve_data embed OUT MIB SEED FILE...
//       random bytes with each FILE copied in whole at an odd offset, so that
//       nothing is found only because it is aligned; prints "OFFSET<tab>FILE"
//       for each.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kChunk = std::size_t{4} << 20;

// splitmix64: fast enough to write a gibibyte in about a second, and the same
// bytes for the same seed on every machine.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t limit) { return static_cast<std::size_t>(next() % limit); }
  void fill(std::uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; i += 8) {
      const std::uint64_t word = next();
      std::memcpy(out + i, &word, std::min<std::size_t>(8, size - i));
    }
  }

 private:
  std::uint64_t state_;
};

constexpr std::string_view kWords[] = {"the",          "of",          "and",
                                       "to",           "in",          "is",
                                       "that",         "for",         "it",
                                       "with",         "as",          "was",
                                       "on",           "be",          "by",
                                       "this",         "from",        "at",
                                       "or",           "which",       "file",
                                       "system",       "memory",      "MEMORY",
                                       "Prefetch",     "SCCA",        "MAM",
                                       "MEM",          "Windows",     "program",
                                       "process",      "loaded",      "volume",
                                       "SYSTEM32",     "SVCHOST.EXE", "EXPLORER.EXE",
                                       "CMD.EXE",      "NOTEPAD.EXE", "MSMPENG.EXE",
                                       "SMSS.EXE",     "CHROME.EXE",  "POWERSHELL.EXE",
                                       "KERNEL32.DLL", "NTDLL.DLL",   "C:\\Windows\\Prefetch\\",
                                       "SCCM",         "MSM",         "MAXIMUM",
                                       "Microsoft",    "page",        "cache",
                                       "thread",       "run",         "count",
                                       "time",         "last"};

// One page of words in ASCII, or in UTF-16LE (each character followed by a
// zero byte), separated by spaces and now and then a line break.
void text_page(Random& random, std::uint8_t* page, bool wide) {
  const std::size_t width = wide ? 2 : 1;
  std::size_t at = 0;
  auto put = [&](char c) {
    if (at + width > kPage) return;
    page[at++] = static_cast<std::uint8_t>(c);
    if (wide) page[at++] = 0;
  };
  while (at + width <= kPage) {
    for (const char c : kWords[random.below(std::size(kWords))]) put(c);
    put(random.below(12) == 0 ? '\n' : ' ');
  }
  std::memset(page + at, 0, kPage - at);
}

// Instructions seen often in x86-64 code, each followed by its immediate or
// displacement bytes (random), enough to give a page of code its look.
struct Instruction {
  std::string_view opcode;
  std::size_t operand_bytes;
};
constexpr Instruction kCode[] = {{"\x48\x89\x5C\x24", 1},
                                 {"\x48\x8B\x05", 4},
                                 {"\xE8", 4},
                                 {"\xE9", 4},
                                 {"\x48\x83\xEC", 1},
                                 {"\x48\x83\xC4", 1},
                                 {"\xC3", 0},
                                 {"\x55", 0},
                                 {"\x53", 0},
                                 {"\x41\x57", 0},
                                 {"\x90", 0},
                                 {"\xCC", 0},
                                 {std::string_view("\x0F\x1F\x44\x00\x00", 5), 0},
                                 {"\x74", 1},
                                 {"\x75", 1},
                                 {"\x0F\x84", 4},
                                 {"\x33\xC0", 0},
                                 {"\x48\x8D\x0D", 4},
                                 {"\xFF\x15", 4},
                                 {"\x8B\x45", 1},
                                 {"\x89\x45", 1},
                                 {"\x4C\x8B\xC3", 0}};

void code_page(Random& random, std::uint8_t* page) {
  std::size_t at = 0;
  while (at < kPage) {
    const Instruction& instruction = kCode[random.below(std::size(kCode))];
    for (std::size_t i = 0; i < instruction.opcode.size() && at < kPage; ++i) {
      page[at++] = static_cast<std::uint8_t>(instruction.opcode[i]);
    }
    for (std::size_t i = 0; i < instruction.operand_bytes && at < kPage; ++i) {
      page[at++] = static_cast<std::uint8_t>(random.next());
    }
  }
}

void page_file_page(Random& random, std::uint8_t* page) {
  const std::size_t kind = random.below(20);
  if (kind < 6) {
    std::memset(page, 0, kPage);
  } else if (kind < 10) {
    text_page(random, page, false);
  } else if (kind < 14) {
    text_page(random, page, true);
  } else if (kind < 17) {
    code_page(random, page);
  } else {
    random.fill(page, kPage);
  }
}

// Writes MIB mebibytes, a chunk at a time, each chunk filled by `fill`.
template <typename Fill>
void write_file(const std::string& out, std::uint64_t mib, Fill fill) {
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + out);
  std::vector<std::uint8_t> chunk(kChunk);
  for (std::uint64_t left = mib << 20; left > 0;) {
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk));
    fill(chunk.data(), size);
    file.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(size));
    left -= size;
  }
  if (!file.flush()) throw std::runtime_error("cannot write " + out);
}

// Each file gets a slot of its own, an equal share of the output, and starts
// at a random odd offset inside it.
void embed(const std::string& out, std::uint64_t mib, Random& random, const std::vector<std::string>& files) {
  const std::uint64_t total = mib << 20;
  const std::uint64_t slot = total / files.size();
  std::vector<std::uint64_t> offsets;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::uint64_t size = std::filesystem::file_size(files[i]);
    if (size + 2 > slot) throw std::runtime_error(files[i] + " does not fit: give more MiB");
    offsets.push_back(i * slot + (random.next() % (slot - size - 1) | 1));
  }
  write_file(out, mib, [&](std::uint8_t* data, std::size_t size) { random.fill(data, size); });
  std::fstream file(out, std::ios::binary | std::ios::in | std::ios::out);
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::ifstream in(files[i], std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    file.seekp(static_cast<std::streamoff>(offsets[i]));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::printf("%llu\t%s\n", static_cast<unsigned long long>(offsets[i]), files[i].c_str());
  }
  if (!file.flush()) throw std::runtime_error("cannot write " + out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool embedding = mode == "embed";
  if (argc < 4 || (mode != "random" && mode != "pagefile" && !embedding) || (embedding && argc < 6)) {
    std::fprintf(stderr,
                 "usage: %s random OUT MIB [SEED]\n"
                 "       %s pagefile OUT MIB [SEED]\n"
                 "       %s embed OUT MIB SEED FILE...\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  const std::string out = argv[2];
  const std::uint64_t mib = std::strtoull(argv[3], nullptr, 10);
  Random random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
  try {
    if (mode == "random") {
      write_file(out, mib, [&](std::uint8_t* data, std::size_t size) { random.fill(data, size); });
    } else if (mode == "pagefile") {
      // Chunks are whole pages: kChunk is a multiple of kPage, and so is a MiB.
      write_file(out, mib, [&](std::uint8_t* data, std::size_t size) {
        for (std::size_t at = 0; at < size; at += kPage) page_file_page(random, data + at);
      });
    } else {
      embed(out, mib, random, std::vector<std::string>(argv + 5, argv + argc));
    }
  } catch (const std::exception& problem) {
    std::fprintf(stderr, "make_carve_data: %s\n", problem.what());
    return 1;
  }
  return 0;
}
