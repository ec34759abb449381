#include "bench/xpress_sample_data.h"

#include <array>
#include <random>
#include <string>
#include <string_view>

namespace kerf::bench {

namespace {

constexpr std::string_view kVolume = "\\VOLUME{01d1217a9c4c6779-8c9f49ec}";
constexpr std::array<std::string_view, 6> kDirectories{
    "\\WINDOWS\\SYSTEM32\\", "\\WINDOWS\\SYSWOW64\\", "\\PROGRAM FILES (X86)\\GOOGLE\\CHROME\\APPLICATION\\",
    "\\WINDOWS\\WINSXS\\AMD64_MICROSOFT.WINDOWS.COMMON-CONTROLS_6595B64144CCF1DF_6.0.10586.0_NONE\\",
    "\\WINDOWS\\SYSTEM32\\EN-US\\", "\\PROGRAM FILES\\WINDOWSAPPS\\"};
constexpr std::array<std::string_view, 12> kNames{
    "NTDLL.DLL", "KERNEL32.DLL", "KERNELBASE.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL",
    "MSVCRT.DLL", "SECHOST.DLL", "RPCRT4.DLL", "COMBASE.DLL", "SHELL32.DLL", "CALC.EXE.MUI"};

void put_utf16(std::vector<std::uint8_t>& out, std::string_view text) {
  for (const char c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> random_bytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> out(size);
  for (std::uint8_t& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

std::vector<std::uint8_t> prefetch_like_bytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> out;
  out.reserve(size + 4096);
  // Header: version, signature, size, executable name, hash, offsets.
  put_u32(out, 30);
  out.insert(out.end(), {'S', 'C', 'C', 'A'});
  put_u32(out, 17);
  put_u32(out, static_cast<std::uint32_t>(size));
  put_utf16(out, "CHROME.EXE");
  out.resize(out.size() + 40, 0);
  put_u32(out, rng());
  for (int i = 0; i < 20; ++i) put_u32(out, rng() % 0x10000);

  while (out.size() < size) {
    switch (rng() % 4) {
      case 0:  // file metrics entries: counts, offsets, MFT references
        for (int i = 0; i < 16; ++i) {
          put_u32(out, rng() % 4096);
          put_u32(out, rng() % 64);
          put_u32(out, rng() % 16);
          put_u32(out, static_cast<std::uint32_t>(out.size()));
          put_u32(out, rng() % 200);
          put_u32(out, 0);
          put_u32(out, rng() % 0x40000);
          put_u32(out, 0x0001'0000u | (rng() % 0x100));
        }
        break;
      case 1:  // trace chain entries
        for (int i = 0; i < 32; ++i) {
          put_u32(out, static_cast<std::uint32_t>(i + 1));
          put_u32(out, 0x0001'0000u | (rng() % 8));
        }
        break;
      case 2:  // a zero run, as between sections
        out.resize(out.size() + 16 + rng() % 200, 0);
        break;
      default:  // file name strings
        for (int i = 0; i < 24; ++i) {
          put_utf16(out, kVolume);
          put_utf16(out, kDirectories[rng() % kDirectories.size()]);
          // Real names vary more than a fixed list: add a version-like tag.
          std::string name(kNames[rng() % kNames.size()]);
          if (rng() % 2 == 0) name.insert(0, std::to_string(rng() % 100000) + "_");
          put_utf16(out, name);
          out.push_back(0);
          out.push_back(0);
        }
        break;
    }
  }
  out.resize(size);
  return out;
}

}  // namespace kerf::bench
