// Names with control characters, as a hostile Prefetch file or file name can
// carry them: every layout keeps one record per line and writes no raw
// control byte, while ordinary names come out unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "lib/text_escape.h"
#include "report/csv_report.h"
#include "report/longform_report.h"
#include "report/prefetch_timeline.h"
#include "tests/support/layout_options.h"
#include "tests/support/report_samples.h"

namespace {

using kerf::testing::apply_layout_options;
using kerf::testing::fill_sample_record;

TEST(EscapeControlChars, WritesControlBytesAsHex) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"NOTEPAD.EXE", "NOTEPAD.EXE"},
      {"", ""},
      {"a\nb", "a\\x0ab"},
      {"\r\n", "\\x0d\\x0a"},
      {"\x1b[2J", "\\x1b[2J"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\t\x7f\x1f ~", "\\x09\\x7f\\x1f ~"},
      {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // UTF-8 stays
      {"\\x41", "\\x41"},  // a backslash itself is left alone
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    qv::escape_control_chars(text);
    EXPECT_EQ(text, c.out);
    std::string appended = "<";
    qv::append_escaped(appended, c.in);
    EXPECT_EQ(appended, "<" + c.out);
  }
}

TEST(EscapeControlChars, FindsEveryControlByteWhereverItStands) {
  // Every position within and across the eight-byte steps of the scan,
  // among bytes that must stay (blank, '~', UTF-8 bytes from 0x80 up).
  const std::pair<char, std::string> escapes[] = {
      {'\0', "\\x00"}, {'\x01', "\\x01"}, {'\n', "\\x0a"}, {'\x1f', "\\x1f"}, {'\x7f', "\\x7f"}};
  const std::string filler = "a ~\x80\xff\xc3\xa9z a ~\x80\xff\xc3\xa9z a ~\x80\xff\xc3\xa9z";
  for (const auto& [bad, shown] : escapes) {
    for (std::size_t at = 0; at < filler.size(); ++at) {
      std::string text = filler;
      text[at] = bad;
      const std::string expected = filler.substr(0, at) + shown + filler.substr(at + 1);
      qv::escape_control_chars(text);
      EXPECT_EQ(text, expected) << shown << " at " << at;
    }
  }
  std::string text = filler;
  qv::escape_control_chars(text);
  EXPECT_EQ(text, filler);
}

struct Layout {
  std::vector<std::string> words;
  bool (*write)(std::ostream&, kerf::kerf_user_context&);
};

bool write_longform(std::ostream& out, kerf::kerf_user_context& options) {
  return kerf::write_longform_entry(out, options);
}

const Layout kLayouts[] = {
    {{}, write_longform},
    {{"-pipe", "-enumdir", "/cases"}, kerf::write_csv_entry},
    {{"-csv", "-verbose"}, kerf::write_csv_entry},
    {{"-csv", "-enable_quoted_csv_fields"}, kerf::write_csv_entry},
    {{"-csvl2t"}, kerf::write_l2t_entry},
    {{"-csvl2t", "-verbose"}, kerf::write_l2t_entry},
    {{"-bodyfile"}, kerf::write_bodyfile_entry},
};

// Puts `bad` into every name of the sample record.
void poison(kerf::kerf_user_context& options, const std::string& bad) {
  kerf::PrefetchEntry& entry = options.m_entry;
  options.m_input_path = "/cases/c1/N" + bad + "OTEPAD.EXE-D8414F97.pf";
  options.m_input_name = "N" + bad + "OTEPAD.EXE-D8414F97.pf";
  entry.exe_name = "NOTE" + bad + "PAD.EXE";
  entry.app_path = "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTE" + bad + "PAD.EXE";
  entry.loaded_files.begin()->second += bad + "X";
  entry.volume_paths[0] += bad;
  entry.volume_dirs[0].begin()->second += bad;
}

std::string render(const Layout& layout, const std::string* bad) {
  kerf::kerf_user_context options;
  EXPECT_TRUE(apply_layout_options(options, layout.words));
  fill_sample_record(options);
  if (bad != nullptr) poison(options, *bad);
  std::ostringstream out;
  EXPECT_TRUE(layout.write(out, options));
  return out.str();
}

TEST(HostileNames, OneRecordPerLineAndNoRawControlBytes) {
  const std::string hostile[] = {"\n", "\r\n", "\n\r", "\r", "\x1b]0;pwned\x07", "\t", "\x7f",
                                 std::string(1, '\0'), "\n\x1b[1A\r"};
  for (const Layout& layout : kLayouts) {
    const std::string clean = render(layout, nullptr);
    const auto clean_lines = std::count(clean.begin(), clean.end(), '\n');
    for (const std::string& bad : hostile) {
      const std::string text = render(layout, &bad);
      const std::string where = ::testing::PrintToString(layout.words) + " with " +
                                ::testing::PrintToString(bad);
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), clean_lines) << where << "\n" << text;
      const auto raw = std::find_if(text.begin(), text.end(), [](char c) {
        return c != '\n' && qv::is_control_char(c);
      });
      EXPECT_EQ(raw, text.end()) << where << "\n" << text;
    }
  }
}

TEST(HostileNames, HowTheyAreShown) {
  struct Case {
    std::vector<std::string> words;
    bool (*write)(std::ostream&, kerf::kerf_user_context&);
    std::string exe_name;
    std::string shown;
  };
  const Case cases[] = {
      // Long form: no markers, every control byte in hex.
      {{}, write_longform, "A\r\nB", "target file:    A\\x0d\\x0aB, run"},
      {{}, write_longform, "A\x1b[31mB", "target file:    A\\x1b[31mB, run"},
      // Delimited layouts: line breaks marked, the rest in hex.
      {{"-csv"}, kerf::write_csv_entry, "A\r\nB\tC", ",A[CRLF]B\\x09C,"},
      {{"-csv"}, kerf::write_csv_entry, "A\nB\x7f", ",A[LF]B\\x7f,"},
      {{"-csvl2t"}, kerf::write_l2t_entry, "A\nB\x1b", " [A[LF]B\\x1b executed],"},
      {{"-csvl2t"}, kerf::write_l2t_entry, "A\rB", " [A[CR]B executed],"},
  };
  for (const Case& c : cases) {
    kerf::kerf_user_context options;
    ASSERT_TRUE(apply_layout_options(options, c.words));
    fill_sample_record(options);
    options.m_entry.exe_name = c.exe_name;
    std::ostringstream out;
    ASSERT_TRUE(c.write(out, options));
    EXPECT_NE(out.str().find(c.shown), std::string::npos) << out.str();
  }
}

TEST(HostileNames, BodyFileNameFromTheInputFile) {
  kerf::kerf_user_context options;
  ASSERT_TRUE(apply_layout_options(options, {"-bodyfile"}));
  fill_sample_record(options);
  options.m_input_name = "X.pf\n0|forged|0||0|0|0|1|1|1|1";
  options.m_entry.prev_run_times.clear();
  std::ostringstream out;
  ASSERT_TRUE(kerf::write_bodyfile_entry(out, options));
  const std::string text = out.str();
  EXPECT_NE(text.find("\n0|X.pf[LF]0;forged;0;;0;0;0;1;1;1;1 (Win10 Prefetch); run count: 3;"),
            std::string::npos)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

}  // namespace
