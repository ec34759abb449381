// One file's road through the run loop: what the examiner is told when a
// file fails, and the one place where an exception while reporting ends.
#include "driver/file_result.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "tests/support/layout_options.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xpress_encoder.h"

namespace {

using kerf::FileOutcome;
using kerf::NameOrigin;

struct ThrowingRenderer : kerf::Renderer {
  void render(const kerf::InputFile&, const kerf::PrefetchRecord&, kerf::RenderedFile&) const override {
    throw std::runtime_error("no room");
  }
};

// Collects what a run writes to standard error.
struct CapturedMessages : kerf::io::MessageSink {
  std::string text;
  void write_message(std::string_view message) override { text += message; }
};

TEST(FileDecoder, ExceptionsBecomeAFailedFileWithItsReason) {
  kerf::testing::TempDir dir;
  auto settings = kerf::testing::settings_for({"-csv"});
  ASSERT_TRUE(settings);
  const std::string path = dir.write("CMD.pf", kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").build());
  settings->diagnostics = std::make_shared<kerf::io::File>();
  ASSERT_TRUE(settings->diagnostics->open_for_write(dir.file("diags.txt"), kerf::io::File::WriteMode::truncate));

  ThrowingRenderer renderer;
  kerf::io::OutputFile out;
  ASSERT_TRUE(out.open_results_file(dir.file("out.txt"), false));
  CapturedMessages messages;
  kerf::FileDecoder decoder(renderer, {});
  kerf::ResultWriter writer(*settings, renderer, out);
  kerf::FileResult result;
  decoder.decode(path, NameOrigin::typed, result);
  EXPECT_EQ(result.outcome, FileOutcome::failed);
  writer.write(result, messages);
  settings->diagnostics->close();
  EXPECT_EQ(kerf::testing::read_file_text(dir.file("diags.txt")),
            "->exception while reporting " + path + ": no room\n");
  EXPECT_EQ(messages.text, "prob reading file " + path + ": internal error: no room\n");
  EXPECT_EQ(writer.summary().handed_on, 1u);
  EXPECT_EQ(writer.summary().failed, 1u);
  EXPECT_EQ(writer.summary().reported, 0u);
}

TEST(ResultWriter, FailuresNameTheFileWithItsControlCharactersVisibleAndSayWhy) {
  for (const bool quiet : {false, true}) {
    auto settings = kerf::testing::settings_for(quiet ? std::vector<std::string>{"-quiet", "x.pf"}
                                                      : std::vector<std::string>{"x.pf"});
    ASSERT_TRUE(settings);
    const auto renderer = kerf::make_renderer(settings->report);
    kerf::io::OutputFile out;
    CapturedMessages messages;
    kerf::FileDecoder decoder(*renderer, {});
    kerf::ResultWriter writer(*settings, *renderer, out);
    kerf::FileResult result;
    decoder.decode("/no/such/\x1b]0;owned\x07x.pf", NameOrigin::typed, result);
    writer.write(result, messages);
    EXPECT_EQ(messages.text,
              quiet ? "" : "prob reading file /no/such/\\x1b]0;owned\\x07x.pf: no such file or directory\n");
  }
}

// A compressed file whose checksum fails is reported all the same, and the
// examiner is told which one it was.
TEST(ResultWriter, ChecksumMismatchIsNamedAndTheFileStillReported) {
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
    kerf::FileDecoder decoder(*renderer, {});
    kerf::ResultWriter writer(*settings, *renderer, out);
    kerf::FileResult result;
    for (const std::string& path : {good, bad}) {
      decoder.decode(path, NameOrigin::typed, result);
      EXPECT_EQ(result.outcome, FileOutcome::reported) << path;
      writer.write(result, messages);
    }
    EXPECT_EQ(messages.text, quiet ? "" : "checksum mismatch in " + dir.path().string() + "/bad\\x1b.pf\n");
  }
}

}  // namespace
