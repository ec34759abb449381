#include "tools/sample_prefetch.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <set>

#include "testkit/prefetch_image_builder.h"
#include "testkit/xpress_encoder.h"

namespace kerf::samples {

using testing::make_mam_container;
using testing::PrefetchImageBuilder;
using testing::VolumeSpec;

namespace {

// DLLs nearly every Windows program maps, in the order the loader meets them.
constexpr std::array<const wchar_t*, 40> kSystemFiles = {
    L"WINDOWS\\SYSTEM32\\NTDLL.DLL",        L"WINDOWS\\SYSTEM32\\KERNEL32.DLL",
    L"WINDOWS\\SYSTEM32\\KERNELBASE.DLL",   L"WINDOWS\\SYSTEM32\\LOCALE.NLS",
    L"WINDOWS\\SYSTEM32\\ADVAPI32.DLL",     L"WINDOWS\\SYSTEM32\\MSVCRT.DLL",
    L"WINDOWS\\SYSTEM32\\SECHOST.DLL",      L"WINDOWS\\SYSTEM32\\RPCRT4.DLL",
    L"WINDOWS\\SYSTEM32\\USER32.DLL",       L"WINDOWS\\SYSTEM32\\WIN32U.DLL",
    L"WINDOWS\\SYSTEM32\\GDI32.DLL",        L"WINDOWS\\SYSTEM32\\GDI32FULL.DLL",
    L"WINDOWS\\SYSTEM32\\MSVCP_WIN.DLL",    L"WINDOWS\\SYSTEM32\\UCRTBASE.DLL",
    L"WINDOWS\\SYSTEM32\\IMM32.DLL",        L"WINDOWS\\SYSTEM32\\SHELL32.DLL",
    L"WINDOWS\\SYSTEM32\\CFGMGR32.DLL",     L"WINDOWS\\SYSTEM32\\SHCORE.DLL",
    L"WINDOWS\\SYSTEM32\\COMBASE.DLL",      L"WINDOWS\\SYSTEM32\\BCRYPTPRIMITIVES.DLL",
    L"WINDOWS\\SYSTEM32\\WINDOWS.STORAGE.DLL", L"WINDOWS\\SYSTEM32\\SHLWAPI.DLL",
    L"WINDOWS\\SYSTEM32\\OLE32.DLL",        L"WINDOWS\\SYSTEM32\\OLEAUT32.DLL",
    L"WINDOWS\\SYSTEM32\\UXTHEME.DLL",      L"WINDOWS\\SYSTEM32\\COMCTL32.DLL",
    L"WINDOWS\\SYSTEM32\\DWMAPI.DLL",       L"WINDOWS\\SYSTEM32\\CRYPTBASE.DLL",
    L"WINDOWS\\SYSTEM32\\VERSION.DLL",      L"WINDOWS\\SYSTEM32\\WS2_32.DLL",
    L"WINDOWS\\SYSTEM32\\PROFAPI.DLL",      L"WINDOWS\\SYSTEM32\\POWRPROF.DLL",
    L"WINDOWS\\SYSTEM32\\KERNEL.APPCORE.DLL", L"WINDOWS\\SYSTEM32\\TEXTINPUTFRAMEWORK.DLL",
    L"WINDOWS\\SYSTEM32\\CLBCATQ.DLL",      L"WINDOWS\\SYSTEM32\\PROPSYS.DLL",
    L"WINDOWS\\SYSTEM32\\EN-US\\USER32.DLL.MUI", L"WINDOWS\\GLOBALIZATION\\SORTING\\SORTDEFAULT.NLS",
    L"WINDOWS\\FONTS\\STATICCACHE.DAT",     L"WINDOWS\\REGISTRATION\\R000000000006.CLB",
};

// Files a program touches on the other volumes of a system.
constexpr std::array<const wchar_t*, 6> kDataFiles = {
    L"CASES\\2016\\INVOICE_%u.PDF",   L"USERS\\ALICE\\DOCUMENTS\\REPORT_%u.DOCX",
    L"EXPORT\\MAIL\\MSG%u.EML",      L"BACKUP\\ARCHIVE_%u.ZIP",
    L"SHARE\\PHOTOS\\IMG_%u.JPG",    L"TOOLS\\BIN\\HELPER%u.DLL",
};

std::wstring format_number(const wchar_t* pattern, unsigned value) {
  std::wstring text = pattern;
  const auto at = text.find(L"%u");
  if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(value));
  return text;
}

std::wstring hex(std::uint64_t value, int digits, bool upper) {
  static constexpr char kLower[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  std::wstring text(static_cast<std::size_t>(digits), L'0');
  for (int i = digits - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = static_cast<wchar_t>((upper ? kUpper : kLower)[value & 0xF]);
    value >>= 4;
  }
  return text;
}

// How Windows names a volume: the old device names up to Windows 8, the
// volume GUID form (creation time and serial) from Windows 10 on.
std::wstring volume_device_path(std::uint32_t version, std::uint32_t index, std::uint64_t created,
                                std::uint32_t serial) {
  if (version >= 30) return L"\\VOLUME{" + hex(created, 16, false) + L"-" + hex(serial, 8, false) + L"}";
  return L"\\DEVICE\\HARDDISKVOLUME" + std::to_wstring(index + 1);
}

// Every ancestor directory of `file` below the volume, as full paths.
void add_parent_directories(const std::wstring& volume, const std::wstring& file,
                            std::set<std::wstring>& directories) {
  for (std::size_t at = file.find(L'\\'); at != std::wstring::npos; at = file.find(L'\\', at + 1)) {
    directories.insert(volume + L"\\" + file.substr(0, at));
  }
}

std::uint32_t name_hash(const std::wstring& path) {
  std::uint32_t hash = 2166136261u;
  for (const wchar_t unit : path) {
    hash = (hash ^ static_cast<std::uint32_t>(unit)) * 16777619u;
  }
  return hash;
}

// Older runs lie between a few minutes and a few days before the next one.
std::vector<std::uint64_t> run_time_slots(const SampleShape& shape, std::mt19937_64& rng) {
  const std::uint32_t slots = shape.version >= 26 ? std::min<std::uint32_t>(8, shape.run_count) : 1;
  std::vector<std::uint64_t> times;
  std::uint64_t when = shape.last_run;
  std::uniform_int_distribution<std::uint64_t> gap(3'000'000'000ull, 2'600'000'000'000ull);
  for (std::uint32_t i = 0; i < std::max<std::uint32_t>(slots, 1); ++i) {
    times.push_back(when);
    when -= gap(rng);
  }
  return times;
}

// Trace-chain-like records: the bulk of a real Prefetch file, small counters
// and flags that compress well but not trivially.
std::vector<std::uint8_t> trace_records(std::size_t bytes, std::mt19937_64& rng) {
  std::vector<std::uint8_t> data;
  data.reserve(bytes);
  std::uint32_t index = 0;
  std::uniform_int_distribution<std::uint32_t> small(0, 40);
  while (data.size() + 12 <= bytes) {
    const std::uint32_t fields[3] = {++index, small(rng) * (small(rng) > 30 ? 7u : 1u),
                                     0x0200u | (small(rng) & 0x7u)};
    for (const std::uint32_t field : fields) {
      for (int b = 0; b < 4; ++b) data.push_back(static_cast<std::uint8_t>(field >> (8 * b)));
    }
  }
  data.resize(bytes, 0);
  return data;
}

}  // namespace

SampleFile make_sample(const SampleShape& shape) {
  std::mt19937_64 rng(shape.seed);
  std::vector<VolumeSpec> volumes;
  std::vector<std::set<std::wstring>> directories(shape.volume_count);
  for (std::uint32_t v = 0; v < shape.volume_count; ++v) {
    const std::uint64_t created = shape.last_run - 100'000'000'000'000ull * (v + 1) - (rng() % 1'000'000'000ull);
    const auto serial = static_cast<std::uint32_t>(rng());
    volumes.emplace_back(volume_device_path(shape.version, v, created, serial), serial, created);
  }

  // The system volume carries the program and the DLLs; the others get data
  // files. The executable comes early, as the loader maps it first.
  const std::wstring system_volume = volumes[0].device_path;
  const std::wstring exe_relative = shape.exe_directory + L"\\" + shape.exe_name;
  std::vector<std::wstring> names;
  const auto add = [&](std::uint32_t volume, const std::wstring& relative) {
    names.push_back(volumes[volume].device_path + L"\\" + relative);
    add_parent_directories(volumes[volume].device_path, relative, directories[volume]);
  };
  for (std::uint32_t i = 0; names.size() < shape.loaded_file_count; ++i) {
    if (i == 2) {
      add(0, exe_relative);
    } else if (shape.volume_count > 1 && i > 3 && i % 5 == 0) {
      // Round-robin over the other volumes so each has files and directories.
      const std::uint32_t volume = 1 + (i / 5) % (shape.volume_count - 1);
      add(volume, format_number(kDataFiles[rng() % kDataFiles.size()], static_cast<unsigned>(i)));
    } else if (i < kSystemFiles.size()) {
      add(0, kSystemFiles[i]);
    } else {
      add(0, format_number(L"WINDOWS\\WINSXS\\AMD64_MICROSOFT.WINDOWS.COMMON-CONTROLS_%u\\COMCTL32.DLL",
                           static_cast<unsigned>(i)));
    }
  }
  for (std::uint32_t v = 0; v < shape.volume_count; ++v) {
    volumes[v].directories.assign(directories[v].begin(), directories[v].end());
    volumes[v].gap_size = 8 * static_cast<std::uint32_t>(volumes[v].directories.size() + 1);
  }

  PrefetchImageBuilder builder(shape.version);
  builder.exe_name(shape.exe_name.substr(0, 29))
      .path_hash(name_hash(system_volume + L"\\" + exe_relative))
      .run_count(shape.run_count)
      .run_times(run_time_slots(shape, rng))
      .file_names(names);
  for (auto& volume : volumes) builder.add_volume(std::move(volume));
  std::vector<std::uint8_t> image = builder.build();
  const auto trace = trace_records(std::size_t{shape.loaded_file_count} * shape.trace_bytes_per_file, rng);
  image.insert(image.end(), trace.begin(), trace.end());

  char hash_text[9];
  std::snprintf(hash_text, sizeof hash_text, "%08X", name_hash(system_volume + L"\\" + exe_relative));
  SampleFile file;
  // Executable names are plain ASCII.
  for (const wchar_t c : shape.exe_name) file.file_name.push_back(static_cast<char>(c));
  file.file_name += std::string("-") + hash_text + ".pf";
  file.image_size = image.size();
  file.bytes = shape.compress ? make_mam_container(image) : std::move(image);
  return file;
}

bool write_sample(const std::string& path, const SampleFile& file) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.bytes.data()),
            static_cast<std::streamsize>(file.bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

std::vector<SampleFile> bundled_samples() {
  std::vector<SampleShape> shapes(5);
  shapes[0] = {17, L"NOTEPAD.EXE", L"WINDOWS\\SYSTEM32", 4, 128868174811093750ull, 1, 24, 96, false, 17};
  shapes[1] = {23, L"CMD.EXE", L"WINDOWS\\SYSTEM32", 14, 129782124559329556ull, 2, 31, 96, false, 23};
  shapes[2] = {26, L"CALC.EXE", L"WINDOWS\\SYSTEM32", 3, 130974522260583417ull, 1, 37, 96, false, 26};
  shapes[3] = {30, L"CHROME.EXE", L"PROGRAM FILES (X86)\\GOOGLE\\CHROME\\APPLICATION", 27,
              131971820153344577ull, 2, 96, 96, true, 30};
  shapes[4] = {31, L"MSEDGE.EXE", L"PROGRAM FILES (X86)\\MICROSOFT\\EDGE\\APPLICATION", 9,
              133471820153344577ull, 3, 72, 96, true, 31};
  std::vector<SampleFile> files;
  for (const auto& shape : shapes) files.push_back(make_sample(shape));
  return files;
}

SampleShape random_sample_shape(std::mt19937_64& rng) {
  static constexpr std::array<const wchar_t*, 8> kPrograms = {
      L"SVCHOST.EXE", L"EXPLORER.EXE", L"CHROME.EXE", L"WINWORD.EXE",
      L"POWERSHELL.EXE", L"RUNDLL32.EXE", L"TEAMS.EXE", L"7ZFM.EXE"};
  SampleShape shape;
  const auto pick = rng() % 100;
  // A fleet is mostly Windows 10 and 11 (compressed); a fifth is older.
  if (pick < 20) {
    shape.version = std::array<std::uint32_t, 3>{17, 23, 26}[rng() % 3];
  } else {
    shape.version = pick < 60 ? 30 : 31;
    shape.compress = true;
  }
  shape.exe_name = kPrograms[rng() % kPrograms.size()];
  shape.exe_directory = L"WINDOWS\\SYSTEM32";
  shape.run_count = 1 + static_cast<std::uint32_t>(rng() % 200);
  shape.last_run = 131000000000000000ull + rng() % 30000000000000000ull;
  shape.volume_count = 1 + static_cast<std::uint32_t>(rng() % 3);
  // 50 to 400 loaded files, most near the low end as on real systems.
  const std::uint32_t a = static_cast<std::uint32_t>(rng() % 351);
  const std::uint32_t b = static_cast<std::uint32_t>(rng() % 351);
  shape.loaded_file_count = 50 + std::min(a, b);
  // Real files are 20 to 200 KB decoded, mostly trace chains.
  shape.trace_bytes_per_file = 180;
  shape.seed = rng();
  return shape;
}

}  // namespace kerf::samples
