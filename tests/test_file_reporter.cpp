// The one place where a failure of any kind while reporting a file ends: the
// file counts as failed and the diagnostics file says so.
#include "driver/run_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "tests/support/layout_options.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xpress_encoder.h"

namespace {

struct ThrowingRenderer : kerf::Renderer {
  void render(const kerf::InputFile&, const kerf::PrefetchRecord&, kerf::RenderedFile&) const override {
    throw std::runtime_error("no room");
  }
};

TEST(FileReporter, ExceptionsBecomeAFailedFileAndADiagnosticsLine) {
  kerf::testing::TempDir dir;
  auto settings = kerf::testing::settings_for({"-csv"});
  ASSERT_TRUE(settings);
  const std::string path = dir.write("CMD.pf", kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").build());
  const std::string diags = dir.file("diags.txt");
  settings->diagnostics = std::make_shared<kerf::io::File>();
  ASSERT_TRUE(settings->diagnostics->open_for_write(diags, kerf::io::File::WriteMode::truncate));

  ThrowingRenderer renderer;
  kerf::io::OutputFile out;
  ASSERT_TRUE(out.open_results_file(dir.file("out.txt"), false));
  kerf::io::MessageSink messages;
  kerf::FileReporter reporter(*settings, renderer, out);
  EXPECT_FALSE(reporter.report(path, messages));
  settings->diagnostics->close();
  EXPECT_EQ(kerf::testing::read_file_text(diags), "->output_prefetch_entry: exception caught\n");

  // Without a diagnostics file the failure is silent.
  settings->diagnostics.reset();
  EXPECT_FALSE(reporter.report(path, messages));
}

// Collects what a run writes to standard error.
struct CapturedMessages : kerf::io::MessageSink {
  std::string text;
  void write_message(std::string_view message) override { text += message; }
};

TEST(FileReporter, UnreadableFileIsNamedWithItsControlCharactersVisible) {
  for (const bool quiet : {false, true}) {
    auto settings = kerf::testing::settings_for(quiet ? std::vector<std::string>{"-quiet"} : std::vector<std::string>{});
    ASSERT_TRUE(settings);
    const auto renderer = kerf::make_renderer(settings->report);
    kerf::io::OutputFile out;
    CapturedMessages messages;
    kerf::FileReporter reporter(*settings, *renderer, out);
    EXPECT_FALSE(reporter.report("/no/such/\x1b]0;owned\x07x.pf", messages));
    EXPECT_EQ(messages.text, quiet ? "" : "prob reading file /no/such/\\x1b]0;owned\\x07x.pf\n");
  }
}

// A compressed file whose checksum fails is reported all the same, and the
// examiner is told which one it was.
TEST(FileReporter, ChecksumMismatchIsNamedAndTheFileStillReported) {
  kerf::testing::TempDir dir;
  const auto image = kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").build();
  const auto checked = kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(image));
  auto damaged = checked;
  damaged[8] ^= 0x01;
  const std::string good = dir.write("good.pf", checked);
  const std::string bad = dir.write("bad\x1b.pf", damaged);
  for (const bool quiet : {false, true}) {
    auto settings = kerf::testing::settings_for(quiet ? std::vector<std::string>{"-quiet"} : std::vector<std::string>{});
    ASSERT_TRUE(settings);
    const auto renderer = kerf::make_renderer(settings->report);
    kerf::io::OutputFile out;
    CapturedMessages messages;
    kerf::FileReporter reporter(*settings, *renderer, out);
    EXPECT_TRUE(reporter.report(good, messages));
    EXPECT_TRUE(reporter.report(bad, messages));
    EXPECT_EQ(messages.text, quiet ? "" : "checksum mismatch in " + dir.path().string() + "/bad\\x1b.pf\n");
  }
}

}  // namespace
