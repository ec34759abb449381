// Timeline output of a Prefetch file: the log2timeline CSV and body-file
// lines of the file itself and of every older run time, and the record
// writers underneath.
#include "report/prefetch_timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "lib/bodyfile_record.h"
#include "lib/l2t_record.h"
#include "tests/support/layout_options.h"
#include "tests/support/report_samples.h"

namespace {

using kerf::testing::apply_layout_options;
using kerf::testing::fill_sample_record;
using kerf::testing::SampleTimes;

using Adjust = void (*)(kerf::kerf_user_context&);

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));  // unterminated: shows up as a failure
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> timeline_run(const std::vector<std::string>& words,
                                      Adjust adjust = nullptr, int files = 1) {
  kerf::kerf_user_context options;
  EXPECT_TRUE(apply_layout_options(options, words));
  fill_sample_record(options);
  if (adjust != nullptr) adjust(options);
  std::ostringstream out;
  for (int i = 0; i < files; ++i) {
    if (options.m_out_csvl2t) {
      EXPECT_TRUE(kerf::write_l2t_entry(out, options));
    } else {
      EXPECT_TRUE(kerf::write_bodyfile_entry(out, options));
    }
  }
  EXPECT_TRUE(out.str().empty() || out.str().back() == '\n');
  return split_lines(out.str());
}

const std::string kL2tHeader =
    "date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,"
    "notes,format,extra";
const std::string kShort = "NOTEPAD.EXE-D8414F97.pf [NOTEPAD.EXE executed]";
const std::string kFile = "/cases/c1/NOTEPAD.EXE-D8414F97.pf";
const std::string kTail = "kerf (quorvex)";

TEST(L2tEntry, FileLinesThenOneLinePerOlderRunNewestFirst) {
  const std::string common_head = "UTC,";
  const std::string desc = "Module list: NOTEPAD.EXE; NTDLL.DLL";
  const std::string notes =
      "Run count: 3 [Previous times run: 2021-03-01 08:00:00.500; 2021-02-27 23:59:59.999]";
  const std::string extra =
      "Volume name; serial#; date: [\\VOLUME{01d7}; 0012-abcd; 2019-07-01 12:00:00.000]";
  const auto file_line = [&](const std::string& when, const std::string& macb,
                             const std::string& type) {
    return when + ",UTC," + macb + ",PREFETCH,Win10 Prefetch," + type + ",,," + kShort + "," +
           desc + ",2," + kFile + ",," + notes + "," + kTail + "," + extra;
  };
  const auto older_line = [&](const std::string& when) {
    return when + ",UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,," + kShort +
           ",Modules for last run are at record w/ same name at time: 2021-03-04 10:11:05.123,2," +
           kFile + ",,Not last time run  but a previous time run.," + kTail + ",";
  };
  const std::vector<std::string> expected = {
      kL2tHeader,
      file_line("2021-03-04, 10:11:05.123", "..C.", "Last Run"),
      file_line("2021-03-04, 10:11:12.345", "M...", "Last Modified"),
      file_line("2021-03-04, 10:11:13.000", ".A..", "Last Access"),
      file_line("2021-03-04, 10:11:14.999", "...B", "Created"),
      older_line("2021-03-01, 08:00:00.500"),
      older_line("2021-02-27, 23:59:59.999"),
  };
  EXPECT_EQ(timeline_run({"-csvl2t"}), expected);
}

TEST(L2tEntry, TimeFieldLooks) {
  struct Case {
    std::vector<std::string> words;
    std::string header_start;
    std::string line_start;
  };
  const Case cases[] = {
      {{"-csvl2t"}, "date,time,timezone,", "2021-03-04, 10:11:05.123,UTC,..C.,"},
      {{"-csvl2t", "-no_whitespace"}, "date,time,timezone,", "2021-03-04,10:11:05.123,UTC,..C.,"},
      {{"-csvl2t", "-pair_datetime"}, "date/time,timezone,", " 2021-03-04 10:11:05.123,UTC,..C.,"},
      {{"-csvl2t", "-pair_datetime", "-no_whitespace"}, "date/time,timezone,",
       "2021-03-04 10:11:05.123,UTC,..C.,"},
  };
  for (const Case& c : cases) {
    const auto lines = timeline_run(c.words);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(c.header_start, 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind(c.line_start, 0), 0u) << lines[1];
  }
}

TEST(L2tEntry, ModuleListDistinctBaseNamesUnlessVerbose) {
  const Adjust modules = [](kerf::kerf_user_context& o) {
    o.m_entry.loaded_files = {
        {10, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
        {20, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\KERNEL32.DLL"},
        {30, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSWOW64\\ntdll.dll"},
        {40, "apphelp.dll"},
        {50, "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSWOW64\\Kernel32.dll"},
    };
  };
  const auto brief = timeline_run({"-csvl2t"}, modules);
  EXPECT_NE(brief[1].find(",Module list: apphelp.dll; KERNEL32.DLL; NTDLL.DLL,2,"),
            std::string::npos)
      << brief[1];
  const auto verbose = timeline_run({"-csvl2t", "-verbose"}, modules);
  EXPECT_NE(verbose[1].find(",Module list: \\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL; "
                            "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\KERNEL32.DLL; "
                            "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSWOW64\\ntdll.dll; apphelp.dll; "
                            "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSWOW64\\Kernel32.dll,2,"),
            std::string::npos)
      << verbose[1];
}

TEST(L2tEntry, RunCountNotesAndASingleRun) {
  const auto twice = timeline_run({"-csvl2t"}, [](kerf::kerf_user_context& o) {
    o.m_entry.run_count = 2;
    o.m_entry.prev_run_times = {SampleTimes::kPrevOlder};
  });
  ASSERT_EQ(twice.size(), 6u);
  EXPECT_NE(twice[1].find(",Run count: 2 [Previous time run: 2021-02-27 23:59:59.999],"),
            std::string::npos)
      << twice[1];

  // Ran once: the last run stands for the creation too; no older lines, no
  // module list, no volumes.
  const auto once = timeline_run({"-csvl2t"}, [](kerf::kerf_user_context& o) {
    o.m_entry.run_count = 1;
    o.m_entry.prev_run_times.clear();
    o.m_entry.loaded_files.clear();
    o.m_entry.volume_paths.clear();
  });
  ASSERT_EQ(once.size(), 4u);
  EXPECT_EQ(once[1], "2021-03-04, 10:11:05.123,UTC,..CB,PREFETCH,Win10 Prefetch,Last Run; Created,,," +
                         kShort + ",,2," + kFile + ",,Run count: 1," + kTail + ",");
}

TEST(L2tEntry, HeaderOncePerRunAndHostOnEveryLine) {
  const auto lines = timeline_run({"-csvl2t", "-hostname", "H", "-username", "U,V"}, nullptr, 2);
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], kL2tHeader);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find(",U,V,H," + kShort), std::string::npos) << lines[i];
  }
}

TEST(L2tRecordWriter, SeparatorCharacterOnlyInFreeTextFields) {
  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-csvl2t"}));
  qv::L2tRecord record;
  qv::load_settings(record, options, "Win10 Prefetch");
  EXPECT_EQ(record.format, "kerf (quorvex)");
  record.stamps.set_stamps(SampleTimes::kLastRun, 0, 0, 0, qv::TimelineStamps::kFiletime);
  record.type = "a,b";
  record.user = "u,v";
  record.short_text = "s,t";
  record.desc = "d,e\r\nf";
  record.filename = "f,g";
  record.notes = "n,o\n";
  record.extra = "x,y\r";
  bool header = false;
  std::ostringstream out;
  EXPECT_TRUE(qv::write_l2t_record(header, out, record));
  EXPECT_EQ(out.str(),
            "2021-03-04, 10:11:05.123,UTC,M...,,Win10 Prefetch,a,b,u,v,,s t,d e[CRLF]f,2,f g,,"
            "n o[LF],kerf (quorvex),x y[CR]\n");
  EXPECT_EQ(record.desc, "d e[CRLF]f");  // the record itself is cleaned

  // No valid stamp: no line, but a pending header is still written.
  qv::L2tRecord empty;
  header = true;
  std::ostringstream only_header;
  qv::write_l2t_record(header, only_header, empty);
  EXPECT_EQ(only_header.str(), kL2tHeader + "\n");
  EXPECT_FALSE(header);
}

const std::string kBodyHeader =
    "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time";

TEST(BodyfileEntry, FileLineThenOneLinePerOlderRunNewestFirst) {
  const std::string head = "0|NOTEPAD.EXE-D8414F97.pf (Win10 Prefetch); ";
  const std::string app = "; app run: \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";
  const std::vector<std::string> expected = {
      kBodyHeader,
      head + "run count: 3" + app + "|0||0|0|4242|1614852673|1614852672|1614852665|1614852674",
      head + "not last time run - but prevtime" + app +
          "|0||0|0|4242|1614585600|1614585600|1614585600|1614852674",
      head + "not last time run - but prevtime" + app +
          "|0||0|0|4242|1614470399|1614470399|1614470399|1614852674",
  };
  EXPECT_EQ(timeline_run({"-bodyfile"}), expected);
}

TEST(BodyfileEntry, HeaderOnceAndEveryLineHasElevenFields) {
  const auto lines = timeline_run({"-bodyfile"}, nullptr, 2);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], kBodyHeader);
  EXPECT_NE(lines[4], kBodyHeader);
  for (const auto& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 10) << line;
}

TEST(BodyfileEntry, NamesAndTimesThatNeedCare) {
  const auto lines = timeline_run({"-bodyfile"}, [](kerf::kerf_user_context& o) {
    o.m_input_name = "A|B.pf";
    o.m_entry.run_count = 1;
    o.m_entry.prev_run_times.clear();
    o.m_entry.last_run_time = 0;
    o.m_entry.source_stamps.stamp_m = 116444735990000000;  // 1969-12-31 23:59:59
    o.m_entry.app_path = "unk";
  });
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "0|A;B.pf (Win10 Prefetch); run count: 1; app run: unk|0||0|0|4242|"
                      "1614852673|0|0|0");
}

TEST(BodyfileRecordWriter, WritesFieldsAsGiven) {
  qv::BodyfileRecord record;
  EXPECT_EQ(record.stamps.kind, qv::TimelineStamps::kUnixTime);
  record.md5 = "d41d8cd98f00b204e9800998ecf8427e";
  record.name = "a|b\nc";
  record.inode = 77;
  record.mode_text = "r/rrw-r--r--";
  record.uid = 1000;
  record.gid = 100;
  record.size = 5;
  record.stamps.set_stamps(1, 2, 3, 4, qv::TimelineStamps::kUnixTime);
  bool header = false;
  std::ostringstream out;
  EXPECT_TRUE(qv::write_bodyfile_record(header, out, record));
  EXPECT_EQ(out.str(), "d41d8cd98f00b204e9800998ecf8427e|a;b[LF]c|77|r/rrw-r--r--|1000|100|5|2|1|3|4\n");
}

}  // namespace
