// Parts of the run loop that the command-line tests can't steer: the one
// place where an exception while reporting ends, the window that keeps a
// run on several threads in input order, the progress line's text
// and how often it is drawn, and the reading of evidence and writing of
// results: files that change or lie about their size, and writes cut short.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/run/file_result.h"
#include "driver/run/progress_line.h"
#include "driver/run/reorder_window.h"
#include "lib/io/file.h"
#include "lib/io/output_file.h"
#include "testkit/layout_options.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"

namespace {

using kerf::ProgressLine;
using kerf::testing::TempDir;
using namespace std::chrono_literals;

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
  TempDir dir;
  auto settings = kerf::testing::settings_for({"-csv"});
  ASSERT_TRUE(settings);
  const std::string path = dir.write("CMD.pf", kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").build());
  kerf::io::File diagnostics;
  ASSERT_TRUE(diagnostics.open_for_write(dir.file("diags.txt"), kerf::io::File::WriteMode::truncate));

  ThrowingRenderer renderer;
  kerf::io::OutputFile out;
  ASSERT_TRUE(out.open_results_file(dir.file("out.txt"), false));
  CapturedMessages messages;
  kerf::FileDecoder decoder(renderer, {});
  kerf::ResultWriter writer(*settings, renderer, out, &diagnostics);
  kerf::FileResult result;
  decoder.decode(path, {}, kerf::NameOrigin{}, result);
  EXPECT_EQ(result.outcome, kerf::FileOutcome::failed);
  writer.write(result, messages);
  diagnostics.close();
  EXPECT_EQ(kerf::testing::read_file_text(dir.file("diags.txt")),
            "->exception while reporting " + path + ": no room\n");
  EXPECT_EQ(messages.text, "prob reading file " + path + ": internal error: no room\n");
  EXPECT_EQ(writer.summary().handed_on, 1u);
  EXPECT_EQ(writer.summary().failed, 1u);
  EXPECT_EQ(writer.summary().reported, 0u);
}

// The window on one thread, each step by hand. A file takes the bytes of its
// report (and path) while it waits to be written.
using Window = kerf::ReorderWindow;

void add_names(Window& window, std::initializer_list<std::string> names) {
  for (std::string text : names) {
    kerf::InputName name{text, {}, {}, {}};
    ASSERT_TRUE(text.starts_with("!") ? window.add_message(text) : window.add_name(name));
  }
  window.close();
}

// Takes the next place a worker may take, with a report of `bytes`: false
// (and the run stopped, so nothing waits for it) when there is none.
bool take_and_finish(Window& window, std::size_t bytes) {
  Window::Place* place = window.try_take();
  if (place == nullptr) {
    window.stop();
    return false;
  }
  place->item.result.rendered.text.assign(bytes, 'x');
  window.finish(*place);
  return true;
}

// Whether no place may be taken now. (One that may is finished at once, so a
// failing test does not leave the writer waiting for it.)
bool nothing_to_take(Window& window) {
  Window::Place* place = window.try_take();
  if (place != nullptr) window.finish(*place);
  return place == nullptr;
}

TEST(ReorderWindow, BoundsHoldAndTheNextFileToWriteGoesAhead) {
  Window window(4, 100);
  add_names(window, {"!walk message", "a", "b", "c"});
  EXPECT_FALSE(window.has_room());  // four places
  ASSERT_TRUE(take_and_finish(window, 150));
  EXPECT_TRUE(nothing_to_take(window));  // 151 bytes wait: "b" is not next
  std::vector<std::string> written;
  window.write_all([&](const Window::Item& item) {
    written.push_back(item.is_message ? item.message : item.result.path);
    if (written.back() == "a") {
      // Still counted while it is written, but "b" is next now.
      EXPECT_TRUE(window.has_room());
      EXPECT_TRUE(take_and_finish(window, 150));
      EXPECT_TRUE(nothing_to_take(window));
    } else if (written.back() == "b") {
      EXPECT_TRUE(take_and_finish(window, 0));
    }
  });
  EXPECT_EQ(written, (std::vector<std::string>{"!walk message", "a", "b", "c"}));
}

// The writer fails: the run stops, nothing more is written, and the naming
// thread and the workers are told to give up.
TEST(ReorderWindow, AnExceptionWhileWritingStopsTheRun) {
  Window window(8, 100);
  add_names(window, {"a", "b"});
  ASSERT_TRUE(take_and_finish(window, 1));
  ASSERT_TRUE(take_and_finish(window, 1));
  std::vector<std::string> written;
  EXPECT_THROW(window.write_all([&](const Window::Item& item) {
    written.push_back(item.result.path);
    throw std::runtime_error("disk full");
  }),
               std::runtime_error);
  EXPECT_EQ(written, std::vector<std::string>{"a"});
  kerf::InputName name{"c", {}, {}, {}};
  EXPECT_FALSE(window.add_name(name));
  EXPECT_EQ(window.take(), nullptr);
}

TEST(ProgressLine, CountsThenTheEndOfTheName) {
  struct Case {
    std::string name;
    std::size_t width;
    std::string text;
  };
  const std::string long_path = "/mnt/evidence/image-01/Windows/Prefetch/NOTEPAD.EXE-336351A9.pf";
  const std::vector<Case> cases = {
      {"/x/a.pf", 70, "3 files, 2 reported, 1 failed: /x/a.pf"},
      {long_path, 70, "3 files, 2 reported, 1 failed: ...ows/Prefetch/NOTEPAD.EXE-336351A9.pf"},
      {long_path, 34, "3 files, 2 reported, 1 failed: .pf"},  // too narrow for "..."
      // Whole characters only, counted as one column each.
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 35, "3 files, 2 reported, 1 failed: ...\xc3\xa9"},
      // Nothing a terminal would act on comes through.
      {"a\x1b[2Jb\r\n\x07", 70, "3 files, 2 reported, 1 failed: a?[2Jb???"},
      {"\xc2\x9b" "31m\xff\xc0\xaf\xed\xa0\x80", 70, "3 files, 2 reported, 1 failed: ?31m??????"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressLine::format(3, 2, 1, c.name, c.width), c.text) << c.name;
  }
  EXPECT_EQ(ProgressLine::format(123456789, 123456789, 0, "/x", 20), "123456789 files, 123");
}

TEST(ProgressLine, DrawnAtMostTenTimesASecond) {
  char* drawn = nullptr;
  std::size_t size = 0;
  std::FILE* terminal = ::open_memstream(&drawn, &size);
  std::size_t read_at = 0;
  const auto written = [&] {  // what was written since the last call
    std::fflush(terminal);
    std::string text(drawn + read_at, size - read_at);
    read_at = size;
    return text;
  };
  const auto line = [](const std::string& text) { return "\r" + text + "\x1b[K"; };
  std::chrono::steady_clock::time_point now{};
  {
    ProgressLine progress(terminal, false, [&now] { return now; });
    progress.before_file("/x/1.pf");
    EXPECT_EQ(written(), "");
    progress.after_file(true);  // the first file is shown at once
    EXPECT_EQ(written(), line("1 files, 1 reported, 0 failed: /x/1.pf"));

    now += 60ms;
    progress.before_file("/x/2.pf");
    progress.after_file(false);
    EXPECT_EQ(written(), "");  // too soon; the line stays
    EXPECT_TRUE(progress.shown());

    now += 40ms;
    progress.before_file("/x/3.pf");
    progress.after_file(true);
    EXPECT_EQ(written(), line("3 files, 2 reported, 1 failed: /x/3.pf"));

    progress.erase();
    progress.erase();
    EXPECT_EQ(written(), "\r\x1b[K");  // once
    EXPECT_FALSE(progress.shown());
    now += 1s;
    progress.before_file("/x/4.pf");
    progress.after_file(true);
    EXPECT_EQ(written(), line("4 files, 3 reported, 1 failed: /x/4.pf"));
  }
  EXPECT_EQ(written(), "\r\x1b[K");  // gone with the object
  std::fclose(terminal);
  std::free(drawn);
}

constexpr std::uint32_t kLoaderLimit = 16777216;

std::uint64_t size_on_disk(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : ~0ull;
}

TEST(ReadWholeFile, SizesThatChangeOrAreNotWhatTheyClaim) {
  TempDir dir;
  // A file that shrank after opening: its first read returns nothing, and
  // no zero bytes stand in for what was not read.
  const std::string small = dir.write_text("small.pf", "SCCA");
  kerf::io::File file;
  ASSERT_TRUE(file.open_for_read(small));
  ASSERT_EQ(::truncate(small.c_str(), 0), 0);
  std::vector<std::uint8_t> out(5, 0xAA);
  EXPECT_FALSE(file.read_at(out, 16, 0));
  EXPECT_TRUE(out.empty());
  // What the loader reads: at most `limit` bytes from the start.
  const auto read_head = [&](const std::string& path, std::uint64_t limit) {
    return file.open_for_read(path) && file.read_at(out, std::min<std::uint64_t>(file.size(), limit), 0);
  };

  // Sizes beyond 4 GiB are not cut to 32 bits.
  const std::string sparse = dir.write_text("sparse.pf", "");
  if (::truncate(sparse.c_str(), static_cast<off_t>((4ull << 30) + 10)) == 0) {
    ASSERT_TRUE(read_head(sparse, 1000));
    EXPECT_EQ(out.size(), 1000u);
  }

  // Files under /proc report no size and can't seek to their end.
  if (file.open_for_read("/proc/self/status")) {
    EXPECT_EQ(file.size(), 262144u);
    ASSERT_TRUE(read_head("/proc/self/status", kLoaderLimit));
    EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "Name:");
  }
}

// A file-size limit cuts a write short; the next attempt then fails. A write
// taken as complete after its first short part would hide the loss.
bool short_write_is_followed_up(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1000, 1000};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  kerf::io::File file;
  const bool opened = file.open_for_write(path, kerf::io::File::WriteMode::truncate);
  const bool written = file.write_all(std::string(5000, 'x'));
  return opened && !written && size_on_disk(path) == 1000;
}

TEST(OutputFile, ShortWritesAreFollowedUp) {
  TempDir dir;
  EXPECT_EXIT(std::_Exit(short_write_is_followed_up(dir.file("limited.txt")) ? 0 : 1),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
