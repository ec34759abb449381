// Turning the command line into run options: layouts and the long-form
// default, separators, patterns, counts, filters and the words that stay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/kerf_user_context.h"
#include "lib/arg_list.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::kerf_user_context;
using qv::arg_list;

enum class Layout { longform, csv, table, l2t, bodyfile };

// Which report a run with these options writes, read the way the output
// driver chooses: CSV flag first (the separator tells the padded table from
// CSV), then log2timeline, body file, long form.
Layout layout_of(const kerf_user_context& options) {
  if (options.m_out_csv) return options.m_csv_separator == " | " ? Layout::table : Layout::csv;
  if (options.m_out_csvl2t) return Layout::l2t;
  if (options.m_out_bodyfile) return Layout::bodyfile;
  return Layout::longform;
}

struct Parsed {
  bool ok;
  arg_list left;
};

Parsed parse(kerf_user_context& options, arg_list args) {
  args.insert(args.begin(), "kerf");
  const bool ok = kerf::parse_program_options(options, args, "ver: 1.40");
  args.erase(args.begin());
  return {ok, args};
}

TEST(ProgramOptions, LayoutAndLongFormDefault) {
  struct Case {
    arg_list args;
    Layout layout;
    bool verbose;
    arg_list left;
  };
  const Case cases[] = {
      {{"x.pf"}, Layout::longform, true, {"x.pf"}},
      {{"-CSV", "x.pf"}, Layout::csv, false, {"x.pf"}},
      {{"-csv", "-bodyfile"}, Layout::bodyfile, false, {}},
      {{"-bodyfile", "-csv"}, Layout::bodyfile, false, {}},
      {{"-csvl2t", "-csv"}, Layout::l2t, false, {}},
      {{"-csv", "-longform"}, Layout::longform, true, {}},
      {{"-LongForm", "-bodyfile"}, Layout::longform, true, {}},
      {{"-xml", "x.pf"}, Layout::longform, true, {"x.pf"}},
      {{"-pipe"}, Layout::longform, true, {}},
      {{"-enumdir", "d"}, Layout::longform, true, {}},
      {{"-pipe", "-enumdir", "d"}, Layout::table, false, {}},
      {{"-pipe", "-enumdir", "d", "-v"}, Layout::longform, true, {}},
      {{"-pipe", "-enumdir", "d", "-Verbose"}, Layout::longform, true, {}},
      {{"-pipe", "-enumdir", "d", "-csv"}, Layout::csv, false, {}},
      // The default looks at the words only: a value-less -enumdir still counts.
      {{"-pipe", "-enumdir"}, Layout::table, false, {"-enumdir"}},
      {{"x.pf", "-hostname"}, Layout::longform, true, {"x.pf", "-hostname"}},
  };
  for (const Case& c : cases) {
    kerf_user_context options;
    const Parsed parsed = parse(options, c.args);
    const std::string label = qv::join_arguments(c.args);
    ASSERT_TRUE(parsed.ok) << label;
    EXPECT_EQ(layout_of(options), c.layout) << label;
    EXPECT_EQ(options.m_verbose, c.verbose) << label;
    EXPECT_EQ(parsed.left, c.left) << label;
    EXPECT_TRUE(options.m_prevtimes) << label;
    EXPECT_TRUE(options.m_app_path_column) << label;
    EXPECT_EQ(options.m_entry.format_label, "PREFETCH") << label;
    EXPECT_EQ(options.m_version, "ver: 1.40") << label;
  }
}

TEST(ProgramOptions, LongFormClearsTheSeparatorCharacters) {
  kerf_user_context options;
  ASSERT_TRUE(parse(options, {"x.pf", "-pf_path"}).ok);
  EXPECT_EQ(options.m_sep_char, 0);
  EXPECT_EQ(options.m_sep_subst, 0);
  EXPECT_TRUE(options.m_show_prefetch_path);
}

TEST(ProgramOptions, SeparatorsAndFieldPadding) {
  struct Case {
    arg_list args;
    std::string separator;
    char sep_char, sep_subst;
    bool no_whitespace, pad_fields, quoted;
  };
  const std::vector<Case> cases = {
      {{"-pipe", "-enumdir", "d"}, " | ", '|', ';', false, true, false},
      {{"-pipe", "-enumdir", "d", "-no_whitespace"}, "|", '|', ';', true, false, false},
      {{"-csv"}, ",", ',', ' ', true, true, false},
      {{"-csv", "-pair_datetime"}, ",", ',', ' ', false, true, false},
      {{"-csv", "-csv_separator", "tab"}, "\t", 0, 0, true, true, false},
      {{"-csv", "-csv_separator", "\\t"}, "\t", 0, 0, true, true, false},
      {{"-csv", "-csv_separator", "TAB"}, "\t", 0, 0, true, true, false},
      {{"-csv", "-csv_separator", ";"}, ";", 0, 0, true, true, false},
      {{"-csv", "-csv_separator", "|"}, "|", '|', ';', true, true, false},
      {{"-bodyfile"}, "|", '|', ';', false, true, false},
      {{"-pipe", "-enumdir", "d", "-enable_quoted_csv_fields"}, "|", 0, ';', false, false, true},
      {{"-csv", "-enable_quoted_csv_fields", "-csv_separator", " \t "},
       " \t ",
       0,
       0,
       true,
       false,
       true},
  };
  for (const Case& c : cases) {
    kerf_user_context options;
    const std::string label = qv::join_arguments(c.args);
    ASSERT_TRUE(parse(options, c.args).ok) << label;
    EXPECT_EQ(options.m_csv_separator, c.separator) << label;
    EXPECT_EQ(options.m_sep_char, c.sep_char) << label;
    EXPECT_EQ(options.m_sep_subst, c.sep_subst) << label;
    EXPECT_EQ(options.m_no_whitespace, c.no_whitespace) << label;
    EXPECT_EQ(options.m_pad_fields, c.pad_fields) << label;
    EXPECT_EQ(options.m_quoted_fields, c.quoted) << label;
  }
}

// Which patterns are accepted is the pattern checker's business; here: that
// the parser stores accepted ones, keeps the default for refused ones, and
// compiles the result.
TEST(ProgramOptions, DateAndTimePatterns) {
  struct Case {
    arg_list args;
    std::string date, time;
  };
  const Case cases[] = {
      {{"-dateformat", "MM/DD/YY", "-timeformat", "hh:mm"}, "mm/dd/yy", "hh:mm:ss.xxx"},
      {{"-dateformat", "m/d/yy", "-timeformat", "HH:MM:SS"}, "yyyy-mm-dd", "hh:mm:ss"},
  };
  for (const Case& c : cases) {
    kerf_user_context options;
    ASSERT_TRUE(parse(options, c.args).ok);
    EXPECT_EQ(options.m_date_format, c.date) << c.args[1];
    EXPECT_EQ(options.m_time_format, c.time) << c.args[1];
    EXPECT_TRUE(options.m_date_time_desc.is_compiled()) << c.args[1];
  }
}

TEST(ProgramOptions, ValuesCountsAndWordsLeftOver) {
  struct Case {
    arg_list args;
    arg_list left;
  };
  const Case cases[] = {
      {{"x.pf", "-hostname"}, {"x.pf", "-hostname"}},  // no value: stays
      {{"x.pf", "-prevtimes"}, {"x.pf", "-prevtimes"}},
      {{"x.pf", "-out", "OUT", "-append"}, {"x.pf", "-append"}},
      {{"x.pf", "-num_subdirs", "3"}, {"x.pf"}},
      {{"-filter_path", "/p", "x.pf"}, {"-filter_path", "/p", "x.pf"}},  // only after -filter
      {{"-gzip",   "-zlibex",  "9",       "-threads",        "4",    "-cpu",
        "2",       "-cpuinst", "1",       "-fragment_files", "0x10", "-split_pathfile",
        "-signal", "s",        "-base10", "-outdir",         "d",    "-username",
        "u",       "x.pf"},
       {"x.pf"}},
  };
  for (Case c : cases) {
    kerf::testing::TempDir dir;
    for (std::string& word : c.args) {
      if (word == "OUT") word = dir.file("r.txt");
    }
    kerf_user_context options;
    const Parsed parsed = parse(options, c.args);
    ASSERT_TRUE(parsed.ok) << qv::join_arguments(c.args);
    EXPECT_EQ(parsed.left, c.left) << qv::join_arguments(c.args);
  }

  kerf::testing::TempDir results;
  kerf_user_context options;
  ASSERT_TRUE(parse(options, {"-num_subdirs", " 0x1F ", "-hostname", "WS-01", "-username", "jo",
                              "-fragment_files", "99999999999", "-quiet", "-profile", "-out",
                              results.path().string() + "\\%NO_SUCH_VARIABLE_X%.txt"})
                  .ok);
  EXPECT_EQ(options.m_num_subdirs, 31u);
  EXPECT_EQ(options.m_hostname, "WS-01");
  EXPECT_EQ(options.m_username, "jo");
  EXPECT_EQ(options.m_fragment_size, UINT32_MAX);
  EXPECT_TRUE(options.m_separate_files);
  EXPECT_FALSE(options.m_messages_on);
  EXPECT_TRUE(options.m_profile);
  EXPECT_FALSE(options.m_append);
  // Unknown references stay; backslashes become slashes.
  EXPECT_EQ(options.m_out_file, results.path().string() + "/%NO_SUCH_VARIABLE_X%.txt");
}

TEST(ProgramOptions, FiltersAccumulateAndTakeTheFilterPath) {
  kerf_user_context options;
  const Parsed parsed =
      parse(options, {"-filter", "*.pf", "-pipe", "-FILTER", "cmd*|a,b", "-filter_sig",
                      "4D414D|0x10", "-filter_path", "/Mnt/X", "-filter_path", "/second"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.left.empty());
  const wchar_t* tokens[] = {L"*.pf", L"cmd*", L"a,b", L"cmd*|a", L"b"};
  ASSERT_EQ(options.m_filters.size(), 6u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(options.m_filters[i].token, tokens[i]);
    // Each -filter takes the next -filter_path for the whole list so far.
    EXPECT_EQ(options.m_filters[i].path, L"/second");
    EXPECT_EQ(options.m_filters[i].path_length, 7u);
  }
  const qv::FilterEntry& signature = options.m_filters[5];
  EXPECT_EQ(signature.content_bytes, (std::vector<std::uint8_t>{0x4d, 0x41, 0x4d}));
  EXPECT_EQ(signature.content_offset, 16u);
}

TEST(ProgramOptions, PathAliasesComeInPairs) {
  ::setenv("KERF_TEST_ALIAS_ROOT", "/mnt/image", 1);
  kerf_user_context options;
  ASSERT_TRUE(
      parse(options, {"-alias", " c: | %KERF_TEST_ALIAS_ROOT%/c || d:|/mnt/d ", "x.pf"}).ok);
  const std::vector<std::pair<std::string, std::string>> expected = {{"c:", "/mnt/image/c"},
                                                                     {"d:", "/mnt/d"}};
  EXPECT_EQ(options.m_path_aliases, expected);
}

TEST(ProgramOptions, FailuresStopTheParse) {
  const arg_list cases[] = {
      {"-sqlite", "db", "x.pf"},
      {"-sqlite_log", "db", "x.pf"},
      {"-alias", "a|b|c", "x.pf"},
      {"-aliaspath", "a", "x.pf"},
      {"-out", "/nonexistent-dir-for-kerf/r.txt", "x.pf"},
      {"-cmd_start_time", "20240101", "x.pf"},
      {"-cmd_stop_time", " 10:00", "x.pf"},
      {"-filter_sig", "4D4", "x.pf"},
  };
  for (const arg_list& args : cases) {
    kerf_user_context options;
    EXPECT_FALSE(parse(options, args).ok) << qv::join_arguments(args);
  }
  // A value-less option at the end is just a word.
  kerf_user_context options;
  EXPECT_TRUE(parse(options, {"x.pf", "-sqlite"}).ok);
}

TEST(ProgramOptions, TimeWindow) {
  struct Case {
    arg_list args;
    bool has_start, has_stop;
    std::uint64_t start, stop;  // unix seconds
  };
  const Case cases[] = {
      {{"-cmd_start_time", "2024/03/17"}, true, false, 1710633600, 0},
      {{"-cmd_stop_time", "2024-03-17"}, false, true, 0, 1710719999},
      {{"-cmd_start_time", "2024/3/17 08:30", "-cmd_stop_time", "2024/03/17 08:30:15"},
       true,
       true,
       1710664200,
       1710664215},
      {{"-cmd_start_time", "2024/03/17", "-cmd_stop_time", "2024/03/16"},
       true,
       false,
       1710633600,
       0},
      {{"-cmd_start_time", "2024/02/30", "-cmd_stop_time", "2024/03/16"},
       false,
       true,
       0,
       1710633599},
  };
  for (const Case& c : cases) {
    kerf_user_context options;
    ASSERT_TRUE(parse(options, c.args).ok) << qv::join_arguments(c.args);
    EXPECT_EQ(options.m_has_start_time, c.has_start) << qv::join_arguments(c.args);
    EXPECT_EQ(options.m_has_stop_time, c.has_stop) << qv::join_arguments(c.args);
    if (c.has_start) {
      EXPECT_EQ(options.m_start_time.unix_seconds(), static_cast<std::int64_t>(c.start));
    }
    if (c.has_stop) {
      EXPECT_EQ(options.m_stop_time.unix_seconds(), static_cast<std::int64_t>(c.stop));
    }
  }
}

TEST(ProgramOptions, DiagnosticsFileStartsWithTheCommandLine) {
  kerf::testing::TempDir dir;
  const std::string diags = dir.file("diags.txt");
  dir.write_text("diags.txt", "old diagnostics\n");
  kerf_user_context options;
  options.m_cmdline = "kerf x.pf -diags d";
  ASSERT_TRUE(parse(options, {"x.pf", "-diags", diags, "-l3"}).ok);
  ASSERT_TRUE(options.m_diags_file);
  EXPECT_EQ(options.m_diags_level, 3);
  options.m_diags_file.reset();
  EXPECT_EQ(kerf::testing::read_file_text(diags), "->kerf x.pf -diags d\n");

  kerf_user_context unopened;
  const Parsed parsed = parse(unopened, {"x.pf", "-diags", dir.file("no/such/dir"), "-l2"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_FALSE(unopened.m_diags_file);
  EXPECT_EQ(parsed.left, (arg_list{"x.pf", "-l2"}));  // looked for only with a file open
}

}  // namespace
