#include "tests/support/html_pages.h"

#include "testkit/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"

namespace kerf::testing {

namespace {

constexpr std::uint64_t kRun1 = 132593262651234567ull;  // 2021-03-04 10:11:05.123
constexpr std::uint64_t kRun2 = 132590592005000000ull;  // 2021-03-01 08:00:00.500

std::vector<std::uint8_t> image(std::wstring exe, std::vector<std::uint64_t> runs, std::vector<std::wstring> files = {},
                                std::wstring device = L"\\VOLUME{1}", std::vector<std::wstring> directories = {}) {
  const auto count = static_cast<std::uint32_t>(runs.size());
  return PrefetchImageBuilder(30)
      .exe_name(std::move(exe))
      .run_times(std::move(runs))
      .run_count(count)
      .file_names(std::move(files))
      .add_volume({std::move(device), 0x0012ABCD, 132064560000000000ull, std::move(directories)})
      .build();
}

}  // namespace

PageCheck check_html_page(const std::vector<std::string>& args) {
  std::vector<std::string> words = {std::string(KERF_SOURCE_DIR) + "/tests/support/check_html_page.py"};
  words.insert(words.end(), args.begin(), args.end());
  const RunResult result = run_program("/usr/bin/python3", words);
  return PageCheck{result.status, result.out + result.err};
}

HostileTree write_hostile_tree(const TempDir& dir) {
  HostileTree tree;
  tree.root = dir.path().string() + "/tree";
  const std::string root = "tree/";
  // Markup in the executable's name, and in the names it loaded.
  dir.write(root + "svg.pf", image(L"</svg><script>x()</script>", {kRun1, kRun2},
                                   {L"\\VOLUME{1}\\<script>alert(3)</script>.DLL", L"\\VOLUME{1}\\</svg>.DLL"},
                                   L"\"><svg onload=alert(4)>", {L"\\VOLUME{1}\\<style>*{display:none}"}));
  dir.write(root + "\"><img src=x onerror=alert(1)>.pf", image(L"<img src=x onerror=alert(2)>", {kRun1}));
  dir.write(root + "new\nline\x1b[31m.pf", image(L"EVIL\x202E" L"EXE.GPJ", {kRun2}, {L"\\VOLUME{1}\\A\xD800" L"B"}));
  dir.write(root + "bad\xff\xfe name.pf", image(L"A&B'C\".EXE\xFFFF", {kRun1, kRun2}));
  // A name can't hold "/": this one is a folder and a file in it; not a
  // Prefetch file either, so its whole path stands in the failed list.
  dir.write_text(root + "<script>alert(1)</script>.pf", "not a Prefetch file");
  dir.write_text(root + "<b onmouseover=alert(5)>.pf", "");
  tree.reported = 4;
  tree.failed = 2;
  tree.marks = 6;
  tree.shown = {
      "</svg><script>x()</script>",
      "\\VOLUME{1}\\<script>alert(3)</script>.DLL",
      "\\VOLUME{1}\\</svg>.DLL",
      "\"><svg onload=alert(4)>",
      "\\VOLUME{1}\\<style>*{display:none}",
      "\"><img src=x onerror=alert(1)>.pf",
      "<img src=x onerror=alert(2)>",
      "new\\x0aline\\x1b[31m.pf",
      "EVIL\\u202eEXE.GPJ",
      "\\VOLUME{1}\\A\\xed\\xa0\\x80B",
      "bad\\xff\\xfe name.pf",
      "A&B'C\".EXE\\uffff",
      tree.root + "/<script>alert(1)</script>.pf",
      tree.root + "/<b onmouseover=alert(5)>.pf",
      kHostileHostNameShown,
  };
  return tree;
}

}  // namespace kerf::testing
