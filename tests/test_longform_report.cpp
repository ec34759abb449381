// The readable long-form report: every line of a complete record, numbering,
// older run times, cut fractions and empty lists.
#include "report/longform_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/layout_options.h"
#include "tests/support/report_samples.h"

namespace {

using kerf::testing::apply_layout_options;
using kerf::testing::fill_sample_record;

std::string longform(const kerf::kerf_user_context& options) {
  std::ostringstream out;
  EXPECT_TRUE(kerf::write_longform_entry(out, options));
  return out.str();
}

class LongformReport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(apply_layout_options(options, {}));
    fill_sample_record(options);
  }
  kerf::kerf_user_context options;
};

TEST_F(LongformReport, WritesACompleteRecordLineForLine) {
  // A second volume with no time, serial 0 and an empty directory list.
  options.m_entry.volume_paths.push_back("\\VOLUME{02}");
  options.m_entry.volume_create_times.push_back(0);
  options.m_entry.volume_serials.push_back(0);
  options.m_entry.volume_dirs.emplace_back();

  const std::string expected =
      "Analyzing file: /cases/c1/NOTEPAD.EXE-D8414F97.pf\n"
      "modified:       2021-03-04 10:11:12\n"
      "accessed:       2021-03-04 10:11:13\n"
      "stats changed   2021-03-04 10:11:14\n"
      "\n"
      "target file:    NOTEPAD.EXE, run 3 times\n"
      "Last run:       2021-03-04 10:11:05.123\n"
      "Prev run:       2021-03-01 08:00:00.500\n"
      "Prev run:       2021-02-27 23:59:59.999\n"
      "path:           \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE\n"
      "\n"
      " --------- files mapped --------- \n"
      "\n"
      "001 : \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NTDLL.DLL\n"
      "002 : \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE\n"
      "\n"
      " --------- directories mapped --------- \n"
      "\n"
      "vol path:     \\VOLUME{01d7}\n"
      "time created: 2019-07-01 12:00:00.000\n"
      "serial num:   0012-abcd\n"
      "\n"
      "001 : \\VOLUME{01d7}\\WINDOWS\n"
      "002 : \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\n"
      "\n"
      "vol path:     \\VOLUME{02}\n"
      "time created:  \n"
      "serial num:   0000-0000\n"
      "\n"
      "\n";
  EXPECT_EQ(longform(options), expected);
}

TEST_F(LongformReport, EmptyListsKeepTheirSectionHeaders) {
  kerf::PrefetchEntry& entry = options.m_entry;
  entry.prev_run_times.clear();
  entry.loaded_files.clear();
  entry.source_stamps.stamp_a = 0;
  // A volume without a directory list of its own gets no numbered block.
  entry.volume_dirs.clear();

  const std::string expected =
      "Analyzing file: /cases/c1/NOTEPAD.EXE-D8414F97.pf\n"
      "modified:       2021-03-04 10:11:12\n"
      "accessed:        \n"
      "stats changed   2021-03-04 10:11:14\n"
      "\n"
      "target file:    NOTEPAD.EXE, run 3 times\n"
      "Last run:       2021-03-04 10:11:05.123\n"
      "path:           \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE\n"
      "\n"
      " --------- files mapped --------- \n"
      "\n"
      "\n"
      " --------- directories mapped --------- \n"
      "\n"
      "vol path:     \\VOLUME{01d7}\n"
      "time created: 2019-07-01 12:00:00.000\n"
      "serial num:   0012-abcd\n"
      "\n";
  EXPECT_EQ(longform(options), expected);
}

TEST_F(LongformReport, NumbersGrowPastThreeDigits) {
  options.m_entry.loaded_files.clear();
  for (std::uint64_t i = 1; i <= 1234; ++i) {
    std::string name(1, 'F');  // (not "F" + ...: g++ 12 warns wrongly about that)
    name += std::to_string(i);
    options.m_entry.loaded_files.emplace(i * 8, std::move(name));
  }
  const std::string text = longform(options);
  for (const char* line : {"\n001 : F1\n", "\n099 : F99\n", "\n999 : F999\n", "\n1000 : F1000\n",
                           "\n1234 : F1234\n\n --------- directories"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST_F(LongformReport, CustomPatternsAndFractions) {
  struct Case {
    std::vector<std::string> words;
    const char* modified_line;
    const char* last_run_line;
  };
  const Case cases[] = {
      // No "." in the time text: shown whole everywhere.
      {{"-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss"},
       "modified:       03/04/2021 10:11:12\n", "Last run:       03/04/2021 10:11:05\n"},
      {{"-timeformat", "hh:mm:ss.xxxxxx"}, "modified:       2021-03-04 10:11:12\n",
       "Last run:       2021-03-04 10:11:05.123456\n"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(apply_layout_options(options, c.words));
    fill_sample_record(options);
    const std::string text = longform(options);
    EXPECT_NE(text.find(c.modified_line), std::string::npos) << text;
    EXPECT_NE(text.find(c.last_run_line), std::string::npos) << text;
  }
}

TEST_F(LongformReport, DelimitedLayoutsWriteNothing) {
  for (const char* layout : {"-csv", "-csvl2t", "-bodyfile"}) {
    ASSERT_TRUE(apply_layout_options(options, {layout}));
    fill_sample_record(options);
    std::ostringstream out;
    EXPECT_FALSE(kerf::write_longform_entry(out, options)) << layout;
    EXPECT_TRUE(out.str().empty()) << layout;
  }
}

}  // namespace
