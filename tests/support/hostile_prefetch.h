// Prefetch files that test what an output layout promises about text: names
// inside the image with quotes, backslashes, line breaks, an escape
// character and UTF-16 surrogates with and without their partner, times
// that are no time, and file names that are not UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kerf::testing {

// A Prefetch image of `version` (17, 23, 26, 30 or 31), uncompressed:
//   executable  Q"B\E<ESC><LF>S<D800>.EXE        (a lone high surrogate),
//               path hash 0A1B2C3D
//   run count   3; last run 2016-01-11 22:08:20.9851234 UTC; older runs
//               2016-01-09 07:00:01.0000001 and 1700-01-01 (no time to show)
//               where the version keeps older runs
//   loaded      \VOLUME{1}\A<DC00>B\X.DLL        (a lone low surrogate)
//               \VOLUME{1}\<D83D DE00>.DLL       (a pair: U+1F600)
//               \VOLUME{1}\T<TAB>N<CR><LF>.DLL
//               \VOLUME{1}\APP\Q"B\E<ESC><LF>S<D800>.EXE
//   volume 1    \VOLUME{1}<DBFF>, serial 0012ABCD, created 2019-07-01 12:00
//               UTC, directory \VOLUME{1}\<DFFF D800> (a low then a high:
//               two lone surrogates)
//   volume 2    \VOLUME{2}, serial FFFFFFFF, created 0 (no time)
std::vector<std::uint8_t> hostile_prefetch_image(std::uint32_t version);

struct NamedFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Every version of that image, plain and in each compressed container,
// under file names holding a line feed, a quote, a backslash, an escape
// sequence, bytes that are not UTF-8 (an overlong form, a surrogate: kerf
// opens no name that is not at least shaped like UTF-8), and a hash
// (NAME-XXXXXXXX.pf).
std::vector<NamedFile> hostile_prefetch_files();

}  // namespace kerf::testing
