// Realistic Prefetch files for the bundled samples and the benchmark tree:
// plausible executables, loaded DLLs under the volume's device path, every
// parent directory listed under its volume, several run times, and (for the
// Windows 10/11 layouts) the MAM container Windows stores them in.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kerf::samples {

struct SampleFile {
  std::string file_name;  // e.g. "NOTEPAD.EXE-336351A9.pf"
  std::vector<std::uint8_t> bytes;
  std::size_t image_size = 0;  // decompressed size
};

// What one sample is made of.
struct SampleShape {
  std::uint32_t version = 30;
  std::wstring exe_name;            // e.g. L"NOTEPAD.EXE"
  std::wstring exe_directory;       // below the system volume, e.g. L"WINDOWS\\SYSTEM32"
  std::uint32_t run_count = 1;
  std::uint64_t last_run = 0;       // FILETIME of the newest run
  std::uint32_t volume_count = 1;   // 1 to 3
  std::uint32_t loaded_file_count = 20;
  std::uint32_t trace_bytes_per_file = 96;  // trace-chain-like data per loaded file
  bool compress = false;            // MAM container (versions 30 and 31)
  std::uint64_t seed = 1;
};

// Builds one file from its description; the same shape always gives the same
// bytes.
SampleFile make_sample(const SampleShape& shape);

// Writes the file's bytes to `path`; false (with a message on standard
// error) when that fails.
bool write_sample(const std::string& path, const SampleFile& file);

// The files kept in samples/: one for each format version, the Windows 10
// and 11 ones compressed.
std::vector<SampleFile> bundled_samples();

// A random but realistic shape for a benchmark tree: the mix of versions and
// sizes found on real systems (see the definition).
SampleShape random_sample_shape(std::mt19937_64& rng);

}  // namespace kerf::samples
