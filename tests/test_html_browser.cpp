// The -html page as an examiner's colleague sees it: in a browser (Debian's
// chromium, headless, with no network). The screenshot must be a picture of
// the window's size with something drawn on it; the DOM after the page's
// script ran must hold no element, attribute or script that came from a
// name; a click on a column heading must sort the rows; and the timeline
// must zoom into a span, move and come back. Over the real Prefetch files,
// the hostile tree and made runs. The corpus page's screenshot is left in
// the build folder (html-report.png): the README shows it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "testkit/corpus.h"
#include "testkit/prefetch_image_builder.h"
#include "tests/support/html_pages.h"
#include "tests/support/run_kerf.h"
#include "testkit/temp_dir.h"

namespace {

using kerf::testing::PageCheck;

constexpr const char* kWindowSize = "1280,1600";
constexpr const char* kShotSize = "1280x1600";

constexpr std::uint64_t k2017 = 131407920000000000ull;    // 2017-06-01 12:00:00
constexpr std::uint64_t kMarch1 = 132590592005000000ull;  // 2021-03-01 08:00:00.500
constexpr std::uint64_t kMarch1Later = 132590598005000000ull;  // 2021-03-01 08:10:00.500
constexpr std::uint64_t kMarch2 = 132591600000000000ull;  // 2021-03-02 12:00:00
constexpr std::uint64_t kMarch4 = 132593262651234567ull;  // 2021-03-04 10:11:05.123

// What the timeline showed after one action of the zoom probe: where each
// mark is (NaN: hidden), the axis's texts and the span the page names.
struct ZoomView {
  std::vector<double> xs;
  std::string labels;
  std::string span;
};

std::optional<std::string> find_chromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
    if (::access(path, X_OK) == 0) return std::string(path);
  }
  return std::nullopt;
}

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<std::string> chromium = find_chromium();
    if (!chromium) GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
    m_chromium = *chromium;
    const PageCheck reader = kerf::testing::check_html_page({"/dev/null"});  // an empty page: problems, status 1
    if (reader.status == kerf::testing::kNoHtmlParser) GTEST_SKIP() << reader.out;
    if (reader.status != 1) GTEST_SKIP() << "no /usr/bin/python3 to read the pages";
  }

  // One headless run with a profile of its own, so that nothing a run
  // leaves behind changes the next one; no network, no background work.
  kerf::testing::RunResult browse(const std::vector<std::string>& what) {
    const kerf::testing::TempDir profile;
    std::vector<std::string> args = {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                     "--no-first-run", "--disable-background-networking",
                                     "--disable-component-update", "--disable-sync",
                                     "--user-data-dir=" + profile.path().string()};
    args.insert(args.end(), what.begin(), what.end());
    kerf::testing::RunOptions options;
    options.timeout_seconds = 120;
    return kerf::testing::run_program(m_chromium, args, options);
  }

  // The page's screenshot and its DOM after scripts ran, checked; `checks`
  // are the DOM's (see check_html_page.py). Gives the screenshot's path.
  std::string show(const std::string& page, const std::string& name, std::vector<std::string> checks) {
    const std::string url = "file://" + page;
    const std::string shot = m_dir.file(name + ".png");
    const auto shown = browse({"--screenshot=" + shot, std::string("--window-size=") + kWindowSize, url});
    EXPECT_EQ(shown.status, 0) << shown.err;
    const PageCheck picture = kerf::testing::check_html_page({"--png", shot, "--size", kShotSize});
    EXPECT_EQ(picture.status, 0) << picture.out;

    const auto dumped = browse({"--dump-dom", url});
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    checks.insert(checks.begin(), {m_dir.write_text(name + "-dom.html", dumped.out), "--script-ran"});
    const PageCheck dom = kerf::testing::check_html_page(checks);
    EXPECT_EQ(dom.status, 0) << dom.out;
    return shot;
  }

  // The page's own script, clicked by a probe script added to a copy.
  void expect_sorting(const std::string& page) {
    const std::string probe = m_dir.file("probe.html");
    ASSERT_EQ(kerf::testing::check_html_page({page, "--sort-probe", probe}).status, 0);
    const auto dumped = browse({"--dump-dom", "file://" + probe});
    const std::string dom = m_dir.write_text("probe-dom.html", dumped.out);
    const PageCheck sorted = kerf::testing::check_html_page({dom, "--sort-result"});
    EXPECT_EQ(sorted.status, 0) << sorted.out;
  }

  // The page's timeline worked by a probe script added to a copy, one
  // action after another (see check_html_page.py); what it showed after each.
  std::vector<ZoomView> work_zoom(const std::string& page, const std::vector<std::string>& acts) {
    const std::string probe = m_dir.file("zoom-probe.html");
    std::vector<std::string> args = {page, "--zoom-probe", probe};
    for (const std::string& act : acts) args.insert(args.end(), {"--act", act});
    EXPECT_EQ(kerf::testing::check_html_page(args).status, 0);
    // The console's messages go to standard error: the page's script must raise none.
    const auto dumped = browse({"--enable-logging=stderr", "--v=0", "--dump-dom", "file://" + probe});
    EXPECT_EQ(dumped.err.find(":CONSOLE"), std::string::npos) << dumped.err;
    const PageCheck result = kerf::testing::check_html_page({m_dir.write_text("zoom-dom.html", dumped.out), "--zoom-result"});
    EXPECT_EQ(result.status, 0) << result.out;
    std::vector<ZoomView> views;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line) && views.size() < acts.size();) {
      const std::size_t labels = line.find(" | "), span = line.rfind(" | ");
      EXPECT_EQ(line.rfind(acts[views.size()] + ": ", 0), 0u) << line;
      if (labels == std::string::npos || labels == span) break;
      ZoomView view{{}, line.substr(labels + 3, span - labels - 3), line.substr(span + 3)};
      std::istringstream xs(line.substr(acts[views.size()].size() + 2, labels - acts[views.size()].size() - 2));
      for (std::string x; xs >> x;) view.xs.push_back(x == "-" ? NAN : std::stod(x));
      views.push_back(std::move(view));
    }
    EXPECT_EQ(views.size(), acts.size()) << result.out;
    return views;
  }

  std::string write_page(const std::vector<std::string>& args, const std::string& name) {
    const auto result = kerf::testing::run_kerf(args);
    EXPECT_FALSE(result.out.empty()) << result.err;
    return m_dir.write_text(name, result.out);
  }

  std::string m_chromium;
  kerf::testing::TempDir m_dir;
};

TEST_F(Browser, TheCorpusPage) {
  const auto corpus = kerf::testing::corpus_dir();
  if (!corpus) GTEST_SKIP() << "no Prefetch corpus ($KERF_CORPUS)";
  const std::string page = write_page({"-enumdir", *corpus, "-num_subdirs", "1", "-html", "-quiet"}, "corpus.html");
  const std::string shot = show(page, "corpus", {"--rows", "10", "--marks", "27", "--failed", "3"});
  if (HasFailure()) return;
  expect_sorting(page);
  std::error_code ignored;
  std::filesystem::copy_file(shot, std::string(KERF_BINARY_DIR) + "/html-report.png",
                             std::filesystem::copy_options::overwrite_existing, ignored);
}

TEST_F(Browser, HostileNamesRunNothing) {
  const kerf::testing::HostileTree tree = kerf::testing::write_hostile_tree(m_dir);
  const std::string page = write_page(
      {"-enumdir", tree.root, "-num_subdirs", "1", "-html", "-quiet", "-hostname", kerf::testing::kHostileHostName},
      "hostile.html");
  std::vector<std::string> checks = {"--rows", std::to_string(tree.reported), "--marks", std::to_string(tree.marks),
                                     "--failed", std::to_string(tree.failed)};
  for (const std::string& text : tree.shown) checks.insert(checks.end(), {"--text", text});
  show(page, "hostile", checks);
}

// Runs four years apart with a cluster of a few days: zoomed into the
// cluster, its marks spread over the plot and the axis counts hours; the
// view moves, goes back and shows the whole run again. In each date pattern
// the marks' titles can take: two runs ten minutes apart, one blot on the
// whole run, are told apart only by the times their titles give.
TEST_F(Browser, TheTimelineZoomsIntoAClusterAndBack) {
  m_dir.write("zoom/old.pf", kerf::testing::PrefetchImageBuilder(30).exe_name(L"OLD.EXE").run_times({k2017}).run_count(1).build());
  m_dir.write("zoom/app.pf", kerf::testing::PrefetchImageBuilder(30)
                                 .exe_name(L"APP.EXE")
                                 .run_times({kMarch4, kMarch2, kMarch1Later, kMarch1})
                                 .run_count(4)
                                 .build());
  // Marks in drawing order: OLD.EXE's, then APP.EXE's earlier runs by time
  // and its last run: 2017, March 1st 08:00 and 08:10, March 2nd, March 4th.
  const struct {
    const char* act;
    const char* label;  // among the axis's texts
    const char* shown;  // which marks are shown
    int from, to;       // two marks ...
    double least, most;  // ... this far apart
    int like;           // where the marks were after that step (-1: none) ...
    double moved;       // ... moved by this much
  } steps[] = {
      {"look:", "2019", "YYYYY", 1, 4, 0, 5, -1, 0},  // the cluster is one blot
      {"drag:app.pf", "2021-03-01", "-YYYY", 1, 4, 100, 962, -1, 0},  // a month
      {"drag:app.pf", "2021-03-03", "-YYYY", 1, 4, 700, 962, -1, 0},  // days
      {"drag:08:", "08:00", "-YY--", 1, 2, 80, 962, -1, 0},           // hours
      {"click:Back", "2021-03-03", "-YYYY", 1, 4, 700, 962, 2, 0},
      {"key:ArrowRight", "2021-03-05", "---YY", 3, 4, 500, 962, 4, -240.5},  // a quarter of the span later
      {"pan:-100", "2021-03-05", "---YY", 3, 4, 500, 962, 5, -100},          // dragged 100 units to the left
      {"click:Zoom out", "2021-03-04", "-YYYY", 1, 4, 350, 481, -1, 0},
      {"click:Whole run", "2019", "YYYYY", 1, 4, 0, 5, 0, 0},
      {"click:Back", "2021-03-04", "-YYYY", 1, 4, 350, 481, 7, 0},
  };
  std::vector<std::string> acts;
  for (const auto& step : steps) acts.push_back(step.act);
  for (const char* dates : {"yyyy-mm-dd", "dd/mm/yy", "mmm dd, yy"}) {
    SCOPED_TRACE(dates);
    const std::string page = write_page({"-enumdir", m_dir.file("zoom"), "-html", "-dateformat", dates}, "zoom.html");
    const std::vector<ZoomView> views = work_zoom(page, acts);
    if (HasFailure()) return;
    for (std::size_t i = 0; i < views.size(); ++i) {
      const auto& step = steps[i];
      const std::vector<double>& xs = views[i].xs;
      SCOPED_TRACE(std::string(step.act) + ": " + views[i].labels + " | " + views[i].span);
      ASSERT_EQ(xs.size(), 5u);
      for (std::size_t mark = 0; mark < xs.size(); ++mark) {
        EXPECT_EQ(std::isnan(xs[mark]), step.shown[mark] == '-') << mark;
        if (std::isnan(xs[mark])) continue;
        EXPECT_TRUE(224 <= xs[mark] && xs[mark] <= 1186) << xs[mark];
        if (step.like >= 0) {
          EXPECT_NEAR(xs[mark], views[step.like].xs[mark] + step.moved, 0.11) << mark;
        }
      }
      EXPECT_NE((" " + views[i].labels + " ").find(std::string(" ") + step.label + " "), std::string::npos);
      EXPECT_GE(xs[step.to] - xs[step.from], step.least);
      EXPECT_LE(xs[step.to] - xs[step.from], step.most);
    }
  }
}

// A timeline of one run time, or of run times all at one instant, zooms and
// moves without a mark lost or put at no number; a page without one has no
// zoom, and its script still runs without a fault.
TEST_F(Browser, FewRunTimesZoomToo) {
  const struct {
    const char* what;
    std::vector<std::vector<std::uint64_t>> files;
    std::size_t marks;
  } pages[] = {
      {"one run time", {{kMarch4}}, 1},
      {"all at one instant", {{kMarch4, kMarch4}, {kMarch4}}, 3},
      {"no run time", {{0}}, 0},
  };
  const std::vector<std::string> acts = {"look:", "click:Zoom in", "drag:.pf", "key:ArrowLeft", "pan:50",
                                         "click:Zoom out", "key:+", "click:Whole run", "click:Back"};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.what);
    const kerf::testing::TempDir tree;
    for (std::size_t i = 0; i < page.files.size(); ++i) {
      tree.write(std::to_string(i) + ".pf", kerf::testing::PrefetchImageBuilder(30)
                                                .exe_name(L"APP.EXE")
                                                .run_times(page.files[i])
                                                .run_count(static_cast<std::uint32_t>(page.files[i].size()))
                                                .build());
    }
    const std::string path = write_page({"-enumdir", tree.path().string(), "-html"}, "few.html");
    for (const ZoomView& view : work_zoom(path, acts)) {
      EXPECT_EQ(view.xs.size(), page.marks);
      for (const double x : view.xs) EXPECT_TRUE(224 <= x && x <= 1186) << x;  // shown, at a number
      EXPECT_EQ(view.span.empty(), page.marks == 0) << view.span;
    }
  }
}

}  // namespace
