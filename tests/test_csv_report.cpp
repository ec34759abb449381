// The delimited table: its looks (blank-filled " | " table, -csv and its
// variants), the extra columns, quoting, separators, and the header once.
#include "report/csv_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "lib/csv_table.h"
#include "tests/support/layout_options.h"
#include "tests/support/report_samples.h"

namespace {

using kerf::testing::apply_layout_options;
using kerf::testing::fill_sample_record;

// `text` filled with blanks on the right to `width`.
std::string pad(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// Runs write_csv_entry once per record state and returns the output.
std::string csv_run(const std::vector<std::string>& words, int rows = 1,
                    void (*adjust)(kerf::kerf_user_context&) = nullptr) {
  kerf::kerf_user_context options;
  EXPECT_TRUE(apply_layout_options(options, words));
  fill_sample_record(options);
  if (adjust != nullptr) adjust(options);
  std::ostringstream out;
  for (int i = 0; i < rows; ++i) EXPECT_TRUE(kerf::write_csv_entry(out, options));
  return out.str();
}

const std::string kName = "NOTEPAD.EXE-D8414F97.pf";
const std::string kApp = "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";
const std::string kPrev = "2021-03-01 08:00:00.500; 2021-02-27 23:59:59.999";

TEST(CsvReport, CompactLooks) {
  struct Case {
    std::vector<std::string> words;
    std::string expected;
  };
  const Case cases[] = {
      {{"-csv"},
       "prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, "
       "time-UTC,cdate, time-UTC,path/appname,previous dates run\n" +
           kName + ",NOTEPAD.EXE,3,2021-03-04, 10:11:05.123,2021-03-04, 10:11:12.345,2021-03-04, "
                   "10:11:13.000,2021-03-04, 10:11:14.999," +
           kApp + "," + kPrev + "\n"},
      {{"-csv", "-no_whitespace"},
       "prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,"
       "time-UTC,cdate,time-UTC,path/appname,previous dates run\n" +
           kName + ",NOTEPAD.EXE,3,2021-03-04,10:11:05.123,2021-03-04,10:11:12.345,2021-03-04,"
                   "10:11:13.000,2021-03-04,10:11:14.999," +
           kApp + "," + kPrev + "\n"},
      {{"-csv", "-pair_datetime", "-no_whitespace"},
       "prefetch file name,app name,times ran,last run [UTC],modify date [UTC],"
       "access date [UTC],changed date [UTC],path/appname,previous dates run\n" +
           kName + ",NOTEPAD.EXE,3,2021-03-04 10:11:05.123,2021-03-04 10:11:12.345,"
                   "2021-03-04 10:11:13.000,2021-03-04 10:11:14.999," +
           kApp + "," + kPrev + "\n"},
      {{"-csv", "-csv_separator", "tab"},
       "prefetch file name\tapp name\ttimes ran\tlast run\t time-UTC\tmdate\t time-UTC\tadate\t "
       "time-UTC\tcdate\t time-UTC\tpath/appname\tprevious dates run\n" +
           kName + "\tNOTEPAD.EXE\t3\t2021-03-04\t 10:11:05.123\t2021-03-04\t 10:11:12.345\t"
                   "2021-03-04\t 10:11:13.000\t2021-03-04\t 10:11:14.999\t" +
           kApp + "\t" + kPrev + "\n"},
      {{"-csv", "-username", "U1", "-hostname", "H1"},
       "prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, "
       "time-UTC,cdate, time-UTC,path/appname,previous dates run,user acct,host name\n" +
           kName + ",NOTEPAD.EXE,3,2021-03-04, 10:11:05.123,2021-03-04, 10:11:12.345,2021-03-04, "
                   "10:11:13.000,2021-03-04, 10:11:14.999," +
           kApp + "," + kPrev + ",U1,H1\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(csv_run(c.words), c.expected) << ::testing::PrintToString(c.words);
  }
}

TEST(CsvReport, BlankFilledTable) {
  // The table a run gets with -pipe and -enumdir and no layout option.
  const std::string sep = " | ";
  std::string header = pad("prefetch file name", 42) + sep + pad("app name", 30) + sep + "times ran";
  for (const char* name : {"last run", "mdate", "adate", "cdate"}) {
    header += sep + pad(name, 10) + sep + " " + pad("time-UTC", 12);
  }
  header += sep + pad("path/appname", 90) + sep + pad("previous dates run", 23) + "\n";
  const std::string row = pad(kName, 42) + sep + pad("A;B.EXE", 30) + sep + "        3" + sep +
                          "2021-03-04" + sep + " 10:11:05.123" + sep + "2021-03-04" + sep +
                          " 10:11:12.345" + sep + "2021-03-04" + sep + " 10:11:13.000" + sep +
                          "2021-03-04" + sep + " 10:11:14.999" + sep + pad(kApp, 90) + sep +
                          kPrev + "\n";
  EXPECT_EQ(csv_run({"-pipe", "-enumdir", "/cases"}, 1,
                    [](kerf::kerf_user_context& o) { o.m_entry.exe_name = "A|B.EXE"; }),
            header + row);
}

TEST(CsvReport, PairedDateTimeWithBlankFilling) {
  std::string header = pad("prefetch file name", 42) + "," + pad("app name", 30) + ",times ran";
  for (const char* name :
       {"last run [UTC]", "modify date [UTC]", "access date [UTC]", "changed date [UTC]"}) {
    header += "," + pad(name, 23);
  }
  header += "," + pad("path/appname", 90) + "," + pad("previous dates run", 23) + "\n";
  // A time that can't be shown: blank date and time, filled to the width.
  const std::string row = pad(kName, 42) + "," + pad("NOTEPAD.EXE", 30) + ",        3," +
                          " " + pad("   ", 23) + ", 2021-03-04 10:11:12.345" +
                          ", 2021-03-04 10:11:13.000, 2021-03-04 10:11:14.999," + pad(kApp, 90) +
                          "," + kPrev + "\n";
  EXPECT_EQ(csv_run({"-csv", "-pair_datetime"}, 1,
                    [](kerf::kerf_user_context& o) { o.m_entry.last_run_time = 0; }),
            header + row);
}

TEST(CsvReport, ZeroLastRunInCompactLook) {
  const std::string text = csv_run({"-csv"}, 1, [](kerf::kerf_user_context& o) {
    o.m_entry.last_run_time = 0;
    o.m_entry.prev_run_times.clear();
  });
  EXPECT_NE(text.find("\n" + kName + ",NOTEPAD.EXE,3,, ,2021-03-04, 10:11:12.345,"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.size() - kApp.size() - 2), kApp + ",\n");
}

TEST(CsvReport, VerboseCompactLookAddsVolumeAndModuleColumns) {
  const std::string header_middle =
      ",path/appname,Num Vols,volume(s),volume serial(s),volume date/time(s) (UTC),Num modules,"
      "Module list,previous dates run\n";
  const std::string modules =
      "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NTDLL.DLL; \\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";

  const std::string with_volume = csv_run({"-csv", "-verbose"});
  EXPECT_NE(with_volume.find(header_middle), std::string::npos) << with_volume;
  EXPECT_NE(with_volume.find("," + kApp + ",1,\\VOLUME{01d7},0012-abcd,2019-07-01 12:00:00.000,2," +
                             modules + "," + kPrev + "\n"),
            std::string::npos)
      << with_volume;

  const std::string without = csv_run({"-csv", "-verbose"}, 1, [](kerf::kerf_user_context& o) {
    o.m_entry.volume_paths.clear();
    o.m_entry.volume_create_times.clear();
    o.m_entry.volume_serials.clear();
    o.m_entry.volume_dirs.clear();
    o.m_entry.loaded_files.clear();
  });
  EXPECT_NE(without.find("," + kApp + ",0,,,,0,," + kPrev + "\n"), std::string::npos) << without;

  // Blank filling is on with -pair_datetime: no volume columns there.
  EXPECT_EQ(csv_run({"-csv", "-pair_datetime", "-verbose"}).find("Num Vols"), std::string::npos);
}

TEST(CsvReport, FullPathColumnWidensWithTheDirectory) {
  const auto text = csv_run({"-pipe", "-enumdir", "/cases", "-pf_path"}, 1,
                            [](kerf::kerf_user_context& o) { o.m_input_path = "/cases/c1/X.pf"; });
  EXPECT_EQ(text.rfind(pad("prefetch file name", 52) + " | app name", 0), 0u) << text;
  EXPECT_NE(text.find("\n" + pad("/cases/c1/X.pf", 52) + " | NOTEPAD.EXE"), std::string::npos)
      << text;
}

TEST(CsvReport, QuotedFieldsKeepCommasAndDoubleQuotes) {
  const std::string text =
      csv_run({"-csv", "-enable_quoted_csv_fields"}, 1, [](kerf::kerf_user_context& o) {
        o.m_input_name = "A,B.pf";
        o.m_entry.exe_name = "SAY\"HI\".EXE";
        o.m_entry.app_path = "{\"x\",\"y\"}";  // a name shaped like JSON is quoted too
        o.m_entry.prev_run_times.clear();
      });
  const std::string row =
      "\"A,B.pf\",\"SAY\"\"HI\"\".EXE\",3,2021-03-04,10:11:05.123,2021-03-04,10:11:12.345,"
      "2021-03-04,10:11:13.000,2021-03-04,10:11:14.999,\"{\"\"x\"\",\"\"y\"\"}\",\"\"\n";
  EXPECT_EQ(text.substr(text.find('\n') + 1), row);
}

TEST(CsvReport, SeparatorCharacterInValuesIsReplaced) {
  const std::string text = csv_run({"-csv"}, 1, [](kerf::kerf_user_context& o) {
    o.m_input_name = "A,B.pf";
  });
  EXPECT_NE(text.find("\nA B.pf,NOTEPAD.EXE,"), std::string::npos) << text;
}

TEST(CsvReport, HeaderOncePerRunAndColumnsKept) {
  const std::string text = csv_run({"-csv"}, 3);
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 4u);
  EXPECT_EQ(text.find("prefetch file name"), 0u);
  EXPECT_EQ(text.find("prefetch file name", 1), std::string::npos);

  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-csvl2t"}));
  std::ostringstream out;
  EXPECT_FALSE(kerf::write_csv_entry(out, options));
  EXPECT_TRUE(out.str().empty());
}

TEST(CsvTable, SettersReportCellsUsedAndStayInsideTheRow) {
  qv::CsvRow row(3, 0);
  EXPECT_EQ(qv::set_number_cell(row, 0, 7, qv::CsvCell::Kind::date_time_split, 0), 2u);
  EXPECT_EQ(row.cells[1].kind, qv::CsvCell::Kind::empty);
  // No next cell for the time half: kept as one paired value.
  EXPECT_EQ(qv::set_number_cell(row, 2, 7, qv::CsvCell::Kind::date_time_split, 0), 1u);
  EXPECT_EQ(row.cells[2].kind, qv::CsvCell::Kind::date_time_paired);
  EXPECT_EQ(qv::set_text_cell(row, 3, "outside", 0), 1u);
  qv::CsvRow none(0, 0);
  EXPECT_EQ(qv::set_text_cell(none, 0, "x", 0), 1u);

  qv::CsvRow quoted(2, qv::CsvCell::kQuoted);
  std::ostringstream text;
  text << "a\"b";
  EXPECT_EQ(qv::set_stream_cell(quoted, 0, text, 0), 1u);
  EXPECT_EQ(quoted.cells[0].text, "\"a\"\"b\"");
  qv::set_text_cell(quoted, 1, "{\"a\",", 0);
  EXPECT_EQ(quoted.cells[1].text, "\"{\"\"a\"\",\"");
}

}  // namespace
