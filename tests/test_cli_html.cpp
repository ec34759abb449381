// Whole -html pages written by the built kerf, read back with an HTML parser
// as a browser reads them (tests/support/check_html_page.py): one table row
// per reported file, one timeline mark per run time, the failed files with
// their reasons, and names shown as text and never as markup (the page on
// several threads: test_cli_threads.cpp). The browser: test_html_browser.cpp.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testkit/corpus.h"
#include "tests/support/html_pages.h"
#include "testkit/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::testing::PageCheck;
using kerf::testing::RunOptions;

constexpr std::uint64_t kRun1 = 132593262651234567ull;  // 2021-03-04 10:11:05.123
constexpr std::uint64_t kRun2 = 132590592005000000ull;  // 2021-03-01 08:00:00.500
constexpr std::uint64_t kRun3 = 132582528000000000ull;  // 2021-02-20 00:00:00
constexpr std::uint64_t kRun4 = 132591600000000000ull;  // 2021-03-02 12:00:00
constexpr std::uint64_t kYear1850 = 78576480000000000ull;
constexpr std::uint64_t kYear3500 = 599266080000000000ull;

// Writes the page to a file and checks it; skips when no parser is there.
PageCheck check(const kerf::testing::TempDir& dir, const std::string& page, std::vector<std::string> args) {
  const std::string path = dir.write_text("page.html", page);
  args.insert(args.begin(), path);
  return kerf::testing::check_html_page(args);
}

#define EXPECT_PAGE_GOOD(dir, page, ...)                                                      \
  do {                                                                                        \
    const PageCheck checked = check(dir, page, __VA_ARGS__);                                  \
    if (checked.status == kerf::testing::kNoHtmlParser) GTEST_SKIP() << checked.out;          \
    EXPECT_EQ(checked.status, 0) << checked.out;                                              \
  } while (false)

std::string between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t start = text.find(from);
  if (start == std::string::npos) return {};
  const std::size_t end = text.find(to, start + from.size());
  return end == std::string::npos ? std::string() : text.substr(start + from.size(), end - start - from.size());
}

// Where the timeline draws the mark whose title is `title`: {cx, cy}.
std::pair<double, double> mark_at(const std::string& page, const std::string& title) {
  const std::size_t end = page.find("\"><title>" + title + "</title></circle>");
  const std::size_t cy = page.rfind(" cy=\"", end);
  const std::size_t cx = page.rfind(" cx=\"", cy);
  if (end == std::string::npos || cy == std::string::npos || cx == std::string::npos) return {-1, -1};
  return {std::stod(page.substr(cx + 5)), std::stod(page.substr(cy + 5))};
}

class HtmlPages : public ::testing::Test {
 protected:
  // APP.EXE twice (its row holds the marks of both files), ODD.EXE with run
  // times no valid time (undrawn), and a file that is no Prefetch file.
  void write_made_tree() {
    m_dir.write("tree/A.pf", kerf::testing::PrefetchImageBuilder(30)
                                 .exe_name(L"APP.EXE")
                                 .run_times({kRun1, kRun2, kRun3})
                                 .run_count(3)
                                 .file_names({L"\\VOLUME{1}\\WINDOWS\\NTDLL.DLL", L"\\VOLUME{1}\\APP\\APP.EXE"})
                                 .add_volume({L"\\VOLUME{1}", 0x0012ABCD, 132064560000000000ull, {L"\\VOLUME{1}\\APP"}})
                                 .build());
    m_dir.write("tree/B.pf",
                kerf::testing::PrefetchImageBuilder(23).exe_name(L"APP.EXE").run_times({kRun4}).run_count(1).build());
    m_dir.write("tree/C.pf", kerf::testing::PrefetchImageBuilder(30)
                                 .exe_name(L"ODD.EXE")
                                 .run_times({kYear3500, kYear1850})
                                 .run_count(2)
                                 .build());
    // Slot 1, the last run, is older than slot 2 (runs overlapped or the
    // clock was set back), and slot 3 holds its time again: three runs,
    // three marks, and a warning.
    m_dir.write("tree/E.pf", kerf::testing::PrefetchImageBuilder(26)
                                 .exe_name(L"LATE.EXE")
                                 .run_times({kRun3, kRun4, kRun3})
                                 .run_count(3)
                                 .build());
    m_dir.write_text("tree/D.pf", "not a Prefetch file");
    m_names = "./tree/A.pf\n./tree/B.pf\n./tree/C.pf\n./tree/D.pf\n./tree/E.pf\n";
  }

  kerf::testing::RunResult run(std::vector<std::string> args, const std::string& input = {}) {
    RunOptions options;
    options.working_dir = m_dir.path().string();
    options.input = input;
    return kerf::testing::run_kerf(args, options);
  }

  kerf::testing::TempDir m_dir;
  std::string m_names;
};

TEST_F(HtmlPages, AMadeTree) {
  write_made_tree();
  const auto result = run({"-pipe", "-html", "-threads", "1"}, m_names);
  EXPECT_EQ(result.status, 255);  // D.pf failed
  EXPECT_EQ(result.err, "prob reading file ./tree/D.pf: not a Prefetch file\nkerf: 5 files: 4 reported, 1 failed\n");
  const std::string& page = result.out;
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u) << "no run header before the page";
  EXPECT_PAGE_GOOD(m_dir, page, {"--rows", "4", "--marks", "7", "--last-marks", "3", "--failed", "1"});

  EXPECT_EQ(between(page, "</tr></thead>\n", "<tbody><tr><td title=\"./tree/B.pf\">"),
            "<tbody><tr><td title=\"./tree/A.pf\">A.pf</td><td>APP.EXE</td>"
            "<td data-k=\"00000000000000000003\">3</td>"
            "<td data-k=\"00132593262651234567\">2021-03-04 10:11:05.123</td>"
            "<td class=\"path\">\\VOLUME{1}\\APP\\APP.EXE</td><td>unverified</td>"
            "<td data-k=\"00000000000000000030\">Win10 Prefetch</td>"
            "<td class=\"path\"><div>\\VOLUME{1} <small>0012-abcd</small></div></td></tr>"
            "<tr class=\"more\"><td colspan=\"8\"><details>"
            "<summary>2 earlier runs, 2 loaded files, 1 directory</summary>\n"
            "<p>Earlier runs: 2021-03-01 08:00:00.500; 2021-02-20 00:00:00.000</p>"
            "<p>Loaded files</p><ol><li>\\VOLUME{1}\\WINDOWS\\NTDLL.DLL</li><li>\\VOLUME{1}\\APP\\APP.EXE</li></ol>"
            "<p>Directories on \\VOLUME{1}, serial 0012-abcd, created 2019-07-01 12:00:00.000</p>"
            "<ol><li>\\VOLUME{1}\\APP</li></ol></details></td></tr></tbody>\n");
  // Times no valid date are shown raw in the table and left off the timeline.
  EXPECT_NE(page.find("<td data-k=\"00599266080000000000\">not a valid time (0x0851055320574000)</td>"),
            std::string::npos)
      << between(page, "<tbody><tr><td title=\"./tree/C.pf\">", "</tbody>");
  EXPECT_NE(page.find("<p>Earlier runs: not a valid time (0x011728E46A19C000)</p>"), std::string::npos);
  EXPECT_NE(page.find("2 run times lie outside the years 1900 to 3000"), std::string::npos);
  EXPECT_EQ(between(page, "<section class=\"failed\" id=\"failed\">\n", "</section>"),
            "<h2>Failed files</h2>\n<ul>\n<li><span class=\"name\">./tree/D.pf</span>: not a Prefetch file</li>\n</ul>\n");
  EXPECT_NE(page.find("<dd>5 files read: 4 reported, <a href=\"#failed\" class=\"warn\">1 failed</a></dd>"),
            std::string::npos);

  // APP.EXE is one row with the marks of both files, the last runs drawn
  // over the earlier ones.
  const std::string rows = between(page, "<svg class=\"rows\"", "</svg>");
  EXPECT_NE(rows.find(">APP.EXE<title>APP.EXE, 2 Prefetch files</title></text>"), std::string::npos);
  EXPECT_EQ(rows.find("ODD.EXE"), std::string::npos);
  const std::size_t earlier = rows.find("<title>2021-02-20 00:00:00.000 UTC, earlier run, ./tree/A.pf</title>");
  const std::size_t last = rows.find("<title>2021-03-04 10:11:05.123 UTC, last run, ./tree/A.pf</title>");
  const std::size_t other = rows.find("<title>2021-03-02 12:00:00.000 UTC, last run, ./tree/B.pf</title>");
  EXPECT_NE(earlier, std::string::npos);
  EXPECT_NE(other, std::string::npos);
  EXPECT_LT(earlier, last);
  EXPECT_NE(rows.find("<title>2021-02-20 00:00:00.000 UTC, last run, ./tree/E.pf</title>"), std::string::npos);
  EXPECT_NE(rows.find("<title>2021-02-20 00:00:00.000 UTC, earlier run, ./tree/E.pf</title>"), std::string::npos);
  EXPECT_NE(page.find("<td data-k=\"00132582528000000000\">2021-02-20 00:00:00.000<small class=\"warn\">run times "
                      "stored out of order: overlapping runs or a clock change</small></td>"),
            std::string::npos);
  EXPECT_NE(page.find("7 run times of 3 Prefetch files, 2 executables; ticks every "), std::string::npos);
  // Rows by first run (APP.EXE: 2021-02-20, LATE.EXE: 2021-03-02), 18 units
  // apart; time runs left to right across the plot, 224 to 1186.
  const auto [x3, y3] = mark_at(page, "2021-02-20 00:00:00.000 UTC, earlier run, ./tree/A.pf");
  const auto [x2, y2] = mark_at(page, "2021-03-01 08:00:00.500 UTC, earlier run, ./tree/A.pf");
  const auto [x4, y4] = mark_at(page, "2021-03-02 12:00:00.000 UTC, last run, ./tree/B.pf");
  const auto [x1, y1] = mark_at(page, "2021-03-04 10:11:05.123 UTC, last run, ./tree/A.pf");
  const auto [xe, ye] = mark_at(page, "2021-03-02 12:00:00.000 UTC, earlier run, ./tree/E.pf");
  EXPECT_EQ(std::vector<double>({y3, y2, y4, y1, ye}), std::vector<double>({9, 9, 9, 9, 27}));
  EXPECT_LT(224, x3);
  EXPECT_LT(x3, x2);
  EXPECT_LT(x2, x4);
  EXPECT_EQ(x4, xe);
  EXPECT_LT(x4, x1);
  EXPECT_LT(x1, 1186);
  // The ticks too stand inside the plot; the rows' drawing is two rows high
  // and a margin.
  const std::string tick = "<line class=\"tick\" x1=\"";
  for (std::size_t at = page.find(tick); at != std::string::npos; at = page.find(tick, at + 1)) {
    EXPECT_LT(224, std::stod(page.substr(at + tick.size())));
    EXPECT_LT(std::stod(page.substr(at + tick.size())), 1186);
  }
  EXPECT_NE(page.find("<svg class=\"rows\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1200.0 40.0\""),
            std::string::npos);
}

// -history: the table lists every copy read, the timeline each time any copy
// holds, once, saying which copies hold it (numbered oldest first).
TEST_F(HtmlPages, HistoryMarksTellWhichCopiesHoldEachTime) {
  const auto copy = [&](const std::string& name, std::vector<std::uint64_t> times, std::time_t modified) {
    const std::string path = m_dir.write(name, kerf::testing::PrefetchImageBuilder(30)
                                                   .exe_name(L"APP.EXE")
                                                   .run_times(std::move(times))
                                                   .run_count(3)
                                                   .build());
    const timespec stamps[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), stamps, 0), 0);
  };
  copy("h/new/APP.EXE-01020304.pf", {kRun1, kRun4}, 1640995200);
  copy("h/old/APP.EXE-01020304.pf", {kRun4, kRun3}, 1577836800);
  const auto result = run({"-enumdir", "./h/", "-num_subdirs", "1", "-html", "-history"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string& page = result.out;
  EXPECT_PAGE_GOOD(m_dir, page, {"--rows", "2", "--marks", "3", "--last-marks", "1"});
  const std::string rows = between(page, "<svg class=\"rows\"", "</svg>");
  const std::string name = "APP.EXE-01020304.pf, held by ";
  const std::string old_copy = "./h/old/APP.EXE-01020304.pf";
  const std::string new_copy = "./h/new/APP.EXE-01020304.pf";
  for (const std::string& title :
       {"2021-03-04 10:11:05.123 UTC, last run, " + name + "copy 2 of 2 (" + new_copy + ")",
        "2021-03-02 12:00:00.000 UTC, earlier run, " + name + "copies 1, 2 of 2 (" + old_copy + "; " + new_copy + ")",
        "2021-02-20 00:00:00.000 UTC, earlier run, " + name + "copy 1 of 2 (" + old_copy + ")"}) {
    EXPECT_NE(rows.find("<title>" + title + "</title>"), std::string::npos) << title << "\n" << rows;
  }
  EXPECT_NE(page.find("3 run times of 1 Prefetch file, 1 executable;"), std::string::npos);
}

// One file named on the command line makes a whole page too, also when it
// fails; failures past what the page holds are counted.
TEST_F(HtmlPages, OneFileAndOneFailure) {
  write_made_tree();
  const auto one = run({"tree/A.pf", "-html"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_PAGE_GOOD(m_dir, one.out, {"--rows", "1", "--marks", "3", "--last-marks", "1", "--failed", "0"});
  EXPECT_NE(one.out.find("3 run times of 1 Prefetch file, 1 executable; ticks every 2 days."), std::string::npos);

  // A container whose checksum fails is reported, and its row says so,
  // also when -quiet keeps standard error silent.
  std::vector<std::uint8_t> summed = kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(
      kerf::testing::PrefetchImageBuilder(30).exe_name(L"SUM.EXE").run_times({kRun1}).build()));
  summed[8] ^= 0x01;
  m_dir.write("bad.pf", summed);
  const auto mismatch = run({"bad.pf", "-html", "-quiet"});
  EXPECT_EQ(mismatch.err, "");
  EXPECT_PAGE_GOOD(m_dir, mismatch.out, {"--rows", "1", "--text", "checksum mismatch"});
  EXPECT_NE(mismatch.out.find(">Win10 Prefetch, MAM<small class=\"warn\">checksum mismatch</small></td>"),
            std::string::npos);

  const auto failed = run({"tree/D.pf", "-html"});
  EXPECT_EQ(failed.status, 255);
  EXPECT_PAGE_GOOD(m_dir, failed.out, {"--rows", "0", "--marks", "0", "--failed", "1"});
  EXPECT_NE(failed.out.find("<p class=\"note\">No file was reported.</p>"), std::string::npos);
  EXPECT_NE(failed.out.find("<p class=\"note\">No run time to draw.</p>"), std::string::npos);

  // Past the failed files the page keeps, a note counts the rest and says
  // where they were named: nowhere under -quiet.
  std::string names;
  for (int i = 0; i < 2200; ++i) names += "./" + std::string(4000, 'n') + "\n";
  const std::string named = "(the page keeps at most 8 MiB of them); kerf named each on standard error.</p>";
  const std::string unnamed = "(the page keeps at most 8 MiB of them); -quiet kept kerf from naming them on standard error.</p>";
  for (const bool quiet : {false, true}) {
    const auto many = quiet ? run({"-pipe", "-html", "-quiet"}, names) : run({"-pipe", "-html"}, names);
    EXPECT_EQ(many.status, 255);
    EXPECT_EQ(many.err.empty(), quiet);
    EXPECT_NE(many.out.find(quiet ? unnamed : named), std::string::npos);
  }
}

// Every run time of the real files, as an independent decoder read them, is
// one mark on the timeline, with the path of the file it came from.
TEST_F(HtmlPages, TheCorpus) {
  const auto corpus = kerf::testing::corpus_dir();
  if (!corpus) GTEST_SKIP() << "no Prefetch corpus ($KERF_CORPUS)";
  std::istringstream expected(kerf::testing::read_file_text(*corpus + "/expected.txt"));
  if (expected.str().empty()) GTEST_SKIP() << "no expected.txt in the corpus";
  std::multiset<std::string> marks;
  std::set<std::string> files;
  std::string file;
  for (std::string line; std::getline(expected, line);) {
    if (line.rfind("file: ", 0) == 0) file = *corpus + "/" + line.substr(6);
    for (const char* label : {"  last run: ", "  previous run: "}) {
      const std::size_t open = line.find(" (");
      if (line.rfind(label, 0) != 0 || open == std::string::npos) continue;
      // "(2016-01-16 20:03:15.5514245 UTC)": the page shows milliseconds.
      marks.insert(line.substr(open + 2, 23) + " UTC, " + (label[2] == 'l' ? "last" : "earlier") + " run, " + file);
      files.insert(file);
    }
  }
  const auto result = run({"-enumdir", *corpus, "-num_subdirs", "1", "-html", "-quiet"});
  const std::string page_path = m_dir.write_text("corpus.html", result.out);
  const PageCheck checked =
      kerf::testing::check_html_page({page_path, "--rows", std::to_string(files.size()), "--list-marks"});
  if (checked.status == kerf::testing::kNoHtmlParser) GTEST_SKIP() << checked.out;
  ASSERT_EQ(checked.status, 0) << checked.out;
  std::multiset<std::string> drawn;
  for (std::size_t at = checked.out.find("mark: "); at != std::string::npos; at = checked.out.find("mark: ", at + 1)) {
    drawn.insert(checked.out.substr(at + 6, checked.out.find('\n', at) - at - 6));
  }
  EXPECT_EQ(drawn, marks);
}

}  // namespace
