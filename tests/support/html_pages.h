// Checking pages kerf writes with -html, as a browser reads them: the
// checker (tests/support/check_html_page.py) parses a page with html5lib and
// reports every problem, and a tree of Prefetch files with hostile names
// gives pages that must show every name as text and run nothing.
#pragma once

#include <string>
#include <vector>

#include "testkit/temp_dir.h"

namespace kerf::testing {

struct PageCheck {
  int status = -1;  // 0: no problem; 1: problems (in `out`); 2: no html5lib
  std::string out;  // one "problem: ..." line per problem, and what was asked to be listed
};
inline constexpr int kNoHtmlParser = 2;

// Runs the checker with /usr/bin/python3 on `args` (see the script).
PageCheck check_html_page(const std::vector<std::string>& args);

// Prefetch files and a few other files under one folder, named and filled
// to break out of a page: markup in file names, in the executable's name
// and in the names inside the image, line breaks, escape sequences, bytes
// that are not UTF-8, an unpaired surrogate and a bidirectional override.
struct HostileTree {
  std::string root;  // walk it with -enumdir root -num_subdirs 1
  unsigned reported = 0;
  unsigned failed = 0;
  unsigned marks = 0;
  // Texts the page must show as the text of some element.
  std::vector<std::string> shown;
};
HostileTree write_hostile_tree(const TempDir& dir);

// The host name the hostile runs are given, and how the page shows it.
inline constexpr const char* kHostileHostName = "<i>host</i>\xe2\x80\xae";
inline constexpr const char* kHostileHostNameShown = "<i>host</i>\\u202e";

}  // namespace kerf::testing
