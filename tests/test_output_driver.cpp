// The one place where a failure of any kind while reporting a file ends: the
// file counts as failed and the diagnostics file says so.
#include "report/output_driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "tests/support/layout_options.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/temp_dir.h"

namespace {

// A stream buffer whose every write fails.
class FailingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(OutputDriver, ExceptionsBecomeAFailedFileAndADiagnosticsLine) {
  kerf::testing::TempDir dir;
  kerf::kerf_user_context options;
  ASSERT_TRUE(kerf::testing::apply_layout_options(options, {"-csv"}));
  options.m_input_path = dir.write("CMD.pf", kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").build());
  const std::string diags = dir.file("diags.txt");
  options.m_diags_file = std::make_unique<uni::fileio>();
  ASSERT_TRUE(options.m_diags_file->open_for_write(diags, true));

  FailingBuffer buffer;
  std::ostream out(&buffer);
  out.exceptions(std::ios::badbit);  // writing throws
  EXPECT_FALSE(kerf::output_prefetch_entry(out, options));
  options.m_diags_file->close();
  EXPECT_EQ(kerf::testing::read_file_text(diags), "->output_prefetch_entry: exception caught\n");

  // Without a diagnostics file the failure is silent.
  options.m_diags_file.reset();
  EXPECT_FALSE(kerf::output_prefetch_entry(out, options));
}

}  // namespace
