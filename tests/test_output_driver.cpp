// From a Prefetch file on disk to its report: the layout chosen by the
// flags, failures that write nothing, exceptions caught, and a body file that
// The Sleuth Kit's mactime reads back.
#include "report/output_driver.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "lib/text_escape.h"
#include "tests/support/corpus.h"
#include "tests/support/layout_options.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/report_samples.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xpress_encoder.h"

namespace {

using kerf::testing::apply_layout_options;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::SampleTimes;
using kerf::testing::TempDir;

std::vector<std::uint8_t> notepad_image() {
  return PrefetchImageBuilder(30)
      .exe_name(L"NOTEPAD.EXE")
      .run_times({SampleTimes::kLastRun, SampleTimes::kPrevNewer, 0, SampleTimes::kPrevOlder})
      .run_count(3)
      .file_names({L"\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
                   L"\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"})
      .add_volume({L"\\VOLUME{01d7}", SampleTimes::kSerial, SampleTimes::kVolumeCreated,
                   {L"\\VOLUME{01d7}\\WINDOWS"}})
      .build();
}

// Writes the image (in a MAM container, as Windows 10 stores it) and points
// the options at it.
std::string place_file(const TempDir& dir, kerf::kerf_user_context& options,
                       const std::string& name = "NOTEPAD.EXE-D8414F97.pf") {
  const std::string path = dir.write(name, kerf::testing::make_mam_container(notepad_image()));
  options.m_input_path = path;
  options.m_input_name = name;
  return path;
}

TEST(OutputDriver, OneRendererChosenByTheLayoutFlags) {
  TempDir dir;
  struct Case {
    std::vector<std::string> words;
    std::string first_line_start;
  };
  const Case cases[] = {
      {{}, "Analyzing file: "},
      {{"-csv"}, "prefetch file name,app name,"},
      {{"-pipe", "-enumdir", "/x"}, "prefetch file name    "},
      {{"-csvl2t"}, "date,time,timezone,MACB,"},
      {{"-bodyfile"}, "md5|name|inode|"},
      {{"-csv", "-bodyfile"}, "md5|name|inode|"},
  };
  for (const Case& c : cases) {
    kerf::kerf_user_context options;
    ASSERT_TRUE(apply_layout_options(options, c.words));
    place_file(dir, options);
    std::ostringstream out;
    EXPECT_TRUE(kerf::output_prefetch_entry(out, options));
    EXPECT_EQ(out.str().rfind(c.first_line_start, 0), 0u) << out.str();
    EXPECT_NE(out.str().find("NOTEPAD.EXE"), std::string::npos);
  }

  // Should two flags ever be set, CSV comes first, then log2timeline.
  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-csvl2t"}));
  place_file(dir, options);
  options.m_out_bodyfile = true;
  std::ostringstream l2t;
  EXPECT_TRUE(kerf::output_prefetch_entry(l2t, options));
  EXPECT_EQ(l2t.str().rfind("date,time,", 0), 0u);
  options.m_out_csv = true;
  std::ostringstream csv;
  EXPECT_TRUE(kerf::output_prefetch_entry(csv, options));
  // (The run's header went out with the log2timeline lines: a bare row.)
  EXPECT_EQ(csv.str().rfind("NOTEPAD.EXE-D8414F97.pf ", 0), 0u) << csv.str();
}

TEST(OutputDriver, AFileThatFailsWritesNothing) {
  TempDir dir;
  for (const auto& bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(300, 0x41)}) {
    kerf::kerf_user_context options;
    ASSERT_TRUE(apply_layout_options(options, {"-quiet"}));
    options.m_input_path = dir.write("bad.pf", bytes);
    std::ostringstream out;
    EXPECT_FALSE(kerf::output_prefetch_entry(out, options));
    EXPECT_TRUE(out.str().empty());
  }
  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-csv", "-quiet"}));
  options.m_input_path = dir.file("absent.pf");
  std::ostringstream out;
  EXPECT_FALSE(kerf::output_prefetch_entry(out, options));
  EXPECT_TRUE(out.str().empty());
  EXPECT_TRUE(options.m_header_pending);  // the header waits for a file that is reported
}

// A stream whose every write fails, set to throw on failure.
class FailingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(OutputDriver, ExceptionsBecomeAFailedFileAndADiagnosticsLine) {
  TempDir dir;
  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-csv"}));
  place_file(dir, options);
  const std::string diags = dir.file("diags.txt");
  options.m_diags_file = std::make_unique<uni::fileio>();
  ASSERT_TRUE(options.m_diags_file->open_for_write(diags, true));

  FailingBuffer buffer;
  std::ostream out(&buffer);
  out.exceptions(std::ios::badbit);
  EXPECT_FALSE(kerf::output_prefetch_entry(out, options));
  options.m_diags_file->close();
  EXPECT_EQ(kerf::testing::read_file_text(diags), "->output_prefetch_entry: exception caught\n");

  // Without a diagnostics file the failure is silent.
  options.m_diags_file.reset();
  EXPECT_FALSE(kerf::output_prefetch_entry(out, options));
}

std::string report_of(const std::string& path, const std::vector<std::string>& words,
                      bool& reported) {
  kerf::kerf_user_context options;
  EXPECT_TRUE(apply_layout_options(options, words));
  options.m_messages_on = false;
  options.m_input_path = path;
  options.m_input_name = std::filesystem::path(path).filename().string();
  std::ostringstream out;
  reported = kerf::output_prefetch_entry(out, options);
  return out.str();
}

std::size_t count_of(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(OutputDriver, RealFilesInEveryLayout) {
  const auto corpus = kerf::testing::corpus_dir();
  if (!corpus) GTEST_SKIP() << "no corpus of real Prefetch files";
  const std::vector<std::vector<std::string>> layouts = {
      {}, {"-csv"}, {"-csv", "-verbose"}, {"-pipe", "-enumdir", "/x"}, {"-csvl2t"}, {"-bodyfile"}};
  std::size_t files = 0;
  for (const auto& item : std::filesystem::recursive_directory_iterator(*corpus)) {
    if (item.path().extension() != ".pf") continue;
    ++files;
    const bool prefetch = item.path().parent_path().filename() != "Bad";
    for (const auto& words : layouts) {
      bool reported = false;
      const std::string text = report_of(item.path().string(), words, reported);
      EXPECT_EQ(reported, prefetch) << item.path();
      EXPECT_EQ(text.empty(), !prefetch) << item.path();
      EXPECT_TRUE(std::none_of(text.begin(), text.end(),
                               [](char c) { return c != '\n' && qv::is_control_char(c); }))
          << item.path();
    }
  }
  EXPECT_GE(files, 10u);

  // Windows 10 CHROME.EXE ran 20 times and keeps seven older run times.
  const std::string chrome = *corpus + "/Win10/CHROME.EXE-B3BA7868.pf";
  bool reported = false;
  const std::string longform = report_of(chrome, {}, reported);
  EXPECT_NE(longform.find("\ntarget file:    CHROME.EXE, run 20 times\n"
                          "Last run:       2016-01-13 18:06:55.334\n"
                          "Prev run:       2016-01-13 17:48:16.338\n"),
            std::string::npos)
      << longform;
  EXPECT_EQ(count_of(longform, "\nPrev run:       "), 7u);
  EXPECT_NE(longform.find("\n282 : \\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\FONTS\\ARIALI.TTF\n"),
            std::string::npos);
  EXPECT_NE(longform.find("\nserial num:   8c9f-49ec\n"), std::string::npos);
  EXPECT_EQ(count_of(report_of(chrome, {"-csvl2t"}, reported), ",MAC.,PREFETCH,Win10 Prefetch,"),
            7u);
  EXPECT_EQ(count_of(report_of(chrome, {"-bodyfile"}, reported), "\n"), 1u + 1u + 7u);
}

std::string find_on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// Runs a command and returns what it wrote to standard output.
std::string run_command(const std::string& command, int& status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  status = ::pclose(pipe);
  return output;
}

TEST(OutputDriver, MactimeReadsTheBodyFile) {
  const std::string mactime = find_on_path("mactime");
  if (mactime.empty()) GTEST_SKIP() << "mactime (The Sleuth Kit) is not installed";

  TempDir dir;
  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-bodyfile"}));
  // A file name with a field separator and a line break in it.
  const std::string path = place_file(dir, options, "NOTE|PAD\nX.pf");
  const utimbuf times{/*actime=*/1600000000, /*modtime=*/1500000000};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);

  std::ostringstream body;
  ASSERT_TRUE(kerf::output_prefetch_entry(body, options));
  const std::string body_path = dir.write_text("body.txt", body.str());

  int status = 0;
  const std::string listing =
      run_command("'" + mactime + "' -b '" + body_path + "' -d -y -z UTC 2>&1", status);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << listing;

  const std::string size = std::to_string(options.m_entry.source_size);
  const std::string name = "NOTE;PAD[LF]X.pf (Win10 Prefetch); ";
  const std::string app = "; app run: \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE\"";
  for (const std::string& line :
       {"\n2021-03-04T10:11:05Z," + size + ",..c.,,0,0,0,\"" + name + "run count: 3" + app,
        "\n2021-03-01T08:00:00Z," + size + ",mac.,,0,0,0,\"" + name +
            "not last time run - but prevtime" + app,
        "\n2021-02-27T23:59:59Z," + size + ",mac.,,0,0,0,\"" + name +
            "not last time run - but prevtime" + app,
        "\n2017-07-14T02:40:00Z," + size + ",m"}) {
    EXPECT_NE(listing.find(line), std::string::npos) << line << "\nin\n" << listing;
  }
}

}  // namespace
