// The -html page as an examiner's colleague sees it: in a browser (Debian's
// chromium, headless, with no network). The screenshot must be a picture of
// the window's size with something drawn on it; the DOM after the page's
// script ran must hold no element, attribute or script that came from a
// name; and a click on a column heading must sort the rows. Over the real
// Prefetch files and over the hostile tree. The corpus page's screenshot is
// left in the build folder (html-report.png): the README shows it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "testkit/corpus.h"
#include "tests/support/html_pages.h"
#include "tests/support/run_kerf.h"
#include "testkit/temp_dir.h"

namespace {

using kerf::testing::PageCheck;

constexpr const char* kWindowSize = "1280,1600";
constexpr const char* kShotSize = "1280x1600";

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

}  // namespace
