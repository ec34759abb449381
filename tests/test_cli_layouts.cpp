// Whole runs of the built kerf in every layout, compared byte for byte after
// the run header: a real Prefetch file, and a made one whose names carry line
// breaks, control characters, quotes and separators. The files get fixed
// modification and access times; the change time can't be set, so it is read
// back and put into the expected text.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/corpus.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"

namespace {

struct LayoutCase {
  const char* name;
  std::vector<std::string> options;
  // {CDATE} {CTIME} {CMDY} {CUNIX}: the file's change time; {TAB}: a tab.
  const char* expected;
};

constexpr std::time_t kModified = 1583298367;  // 2020-03-04 05:06:07 UTC
constexpr std::time_t kAccessed = 1893553445;  // 2030-01-02 03:04:05 UTC

// Every kind of line break, a control character, a quote and both separators.
const std::string kHostileName = "a,b|c\"d\r\ne\n\rf\ng\rh\x01.pf";

// Ran twice (2021-03-04 10:11:05.123, 2021-03-01 08:00:00.5); the program's
// name has a quote and an escape, a loaded file and a directory a CR LF, the
// device path a lone CR; NTDLL.DLL is loaded under two spellings.
std::vector<std::uint8_t> hostile_image() {
  return kerf::testing::PrefetchImageBuilder(30)
      .exe_name(L"SAY\"HI\"\x1b.EXE")
      .run_times({132593262651234567ull, 132590592005000000ull})
      .run_count(2)
      .file_names({L"\\VOLUME{1}\\WINDOWS\\NTDLL.DLL", L"\\VOLUME{1}\\A\r\nB\\ntdll.dll",
                   L"\\VOLUME{1}\\APP\\SAY\"HI\"\x1b.EXE"})
      .add_volume({L"\\VOLUME{1}\r", 0x0012ABCD, 132064560000000000ull, {L"\\VOLUME{1}\\A\r\nB"}})
      .build();
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string utc_text(std::time_t when, const char* format) {
  char text[32];
  std::tm parts{};
  ::gmtime_r(&when, &parts);
  return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

// What follows the run header, whose last line is the quoted command line.
std::string after_header(const std::string& output) {
  const std::size_t end = output.find("\"\n\n");
  return end == std::string::npos ? std::string() : output.substr(end + 3);
}

class Layouts : public ::testing::Test {
 protected:
  void place(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string target = m_dir.write(name, bytes);
    const timespec times[2] = {{kAccessed, 0}, {kModified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
  }

  void copy_from_corpus(const std::string& relative, const std::string& name) {
    const auto corpus = kerf::testing::corpus_dir();
    if (!corpus) GTEST_SKIP() << "no corpus folder";
    place(name, kerf::testing::read_file_bytes(*corpus + "/" + relative));
  }

  // Runs kerf on `name` with each case's options; a run with -pipe reads
  // "./name" from standard input.
  void expect_layouts(const std::string& name, const std::vector<LayoutCase>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      kerf::testing::RunOptions options;
      options.working_dir = m_dir.path().string();
      std::vector<std::string> args{name};
      if (std::ranges::find(c.options, "-pipe") != c.options.end()) {
        options.input = "./" + name + "\n";
        args.clear();
      }
      args.insert(args.end(), c.options.begin(), c.options.end());
      const auto result = kerf::testing::run_kerf(args, options);
      EXPECT_EQ(result.status, 0) << result.err;
      struct stat status {};
      ASSERT_EQ(::stat(m_dir.file(name).c_str(), &status), 0);
      if (status.st_atim.tv_sec != kAccessed) GTEST_SKIP() << "this file system moves access times on every read";
      const std::time_t changed = status.st_ctim.tv_sec;
      std::string expected = replace_all(c.expected, "{CDATE}", utc_text(changed, "%Y-%m-%d"));
      expected = replace_all(expected, "{CTIME}", utc_text(changed, "%H:%M:%S"));
      expected = replace_all(expected, "{CMDY}", utc_text(changed, "%m/%d/%Y"));
      expected = replace_all(expected, "{CUNIX}", std::to_string(changed));
      EXPECT_EQ(after_header(result.out), replace_all(expected, "{TAB}", "\t"));
    }
  }

  kerf::testing::TempDir m_dir;
};

// Windows 10, version 30 in a MAM container: eight run times, two volumes.
TEST_F(Layouts, Windows10CmdTimelines) {
  copy_from_corpus("Win10/CMD.EXE-D269B812.pf", "W10.pf");
  if (IsSkipped()) return;
  expect_layouts("W10.pf", {
      {"log2timeline", {"-csvl2t"}, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2016-01-12, 20:07:03.981,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.726; 2016-01-04 23:27:28.405; 2016-01-04 18:38:11.344; 2016-01-04 18:38:10.935; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
2020-03-04, 05:06:07.000,UTC,M...,PREFETCH,Win10 Prefetch,Last Modified,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.726; 2016-01-04 23:27:28.405; 2016-01-04 18:38:11.344; 2016-01-04 18:38:10.935; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
{CDATE}, {CTIME}.000,UTC,...B,PREFETCH,Win10 Prefetch,Created,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.726; 2016-01-04 23:27:28.405; 2016-01-04 18:38:11.344; 2016-01-04 18:38:10.935; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
2030-01-02, 03:04:05.000,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.726; 2016-01-04 23:27:28.405; 2016-01-04 18:38:11.344; 2016-01-04 18:38:10.935; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
2016-01-10, 02:29:02.788,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 23:27:28.726,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 23:27:28.405,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 18:38:11.344,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 18:38:10.935,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2015-12-31, 21:42:29.667,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2015-12-17, 22:34:21.579,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
)EXPECTED"},
      {"body file", {"-bodyfile"}, R"EXPECTED(md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time
0|W10.pf (Win10 Prefetch); run count: 55; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1893553445|1583298367|1452629223|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1452392942|1452392942|1452392942|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451950048|1451950048|1451950048|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451950048|1451950048|1451950048|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451932691|1451932691|1451932691|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451932690|1451932690|1451932690|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451598149|1451598149|1451598149|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1450391661|1450391661|1450391661|{CUNIX}
)EXPECTED"},
  });
}

// Delimited layouts mark line breaks in every free-text field ([CRLF] [LFCR]
// [LF], and [CR] in a text without LF) and write every other control
// character as \xNN; the long form writes them all as \xNN.
TEST_F(Layouts, HostileNamesInEveryLayout) {
  place(kHostileName, hostile_image());
  expect_layouts(kHostileName, {
      {"long form", {}, R"EXPECTED(Analyzing file: a,b|c"d\x0d\x0ae\x0a\x0df\x0ag\x0dh\x01.pf
modified:       2020-03-04 05:06:07
accessed:       2030-01-02 03:04:05
stats changed   {CDATE} {CTIME}

target file:    SAY"HI"\x1b.EXE, run 2 times
Last run:       2021-03-04 10:11:05.123
Prev run:       2021-03-01 08:00:00.500
path:           \VOLUME{1}\APP\SAY"HI"\x1b.EXE

 --------- files mapped --------- 

001 : \VOLUME{1}\WINDOWS\NTDLL.DLL
002 : \VOLUME{1}\A\x0d\x0aB\ntdll.dll
003 : \VOLUME{1}\APP\SAY"HI"\x1b.EXE

 --------- directories mapped --------- 

vol path:     \VOLUME{1}\x0d
time created: 2019-07-01 12:00:00.000
serial num:   0012-abcd

001 : \VOLUME{1}\A\x0d\x0aB

)EXPECTED"},
      {"csv verbose", {"-csv", "-verbose"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,Num Vols,volume(s),volume serial(s),volume date/time(s) (UTC),Num modules,Module list,previous dates run
a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,SAY"HI"\x1b.EXE,2,2021-03-04, 10:11:05.123,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,\VOLUME{1}\APP\SAY"HI"\x1b.EXE,1,\VOLUME{1}[CR],0012-abcd,2019-07-01 12:00:00.000,3,\VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY"HI"\x1b.EXE,2021-03-01 08:00:00.500
)EXPECTED"},
      {"csv quoted", {"-csv", "-enable_quoted_csv_fields"}, R"EXPECTED(prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,time-UTC,cdate,time-UTC,path/appname,previous dates run
"a,b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf","SAY""HI""\x1b.EXE",2,2021-03-04,10:11:05.123,2020-03-04,05:06:07.000,2030-01-02,03:04:05.000,{CDATE},{CTIME}.000,"\VOLUME{1}\APP\SAY""HI""\x1b.EXE","2021-03-01 08:00:00.500"
)EXPECTED"},
      {"csv paired", {"-csv", "-pair_datetime"}, R"EXPECTED(prefetch file name                        ,app name                      ,times ran,last run [UTC]         ,modify date [UTC]      ,access date [UTC]      ,changed date [UTC]     ,path/appname                                                                              ,previous dates run     
a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf    ,SAY"HI"\x1b.EXE               ,        2, 2021-03-04 10:11:05.123, 2020-03-04 05:06:07.000, 2030-01-02 03:04:05.000, {CDATE} {CTIME}.000,\VOLUME{1}\APP\SAY"HI"\x1b.EXE                                                            ,2021-03-01 08:00:00.500
)EXPECTED"},
      {"csv no whitespace", {"-csv", "-no_whitespace"}, R"EXPECTED(prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,time-UTC,cdate,time-UTC,path/appname,previous dates run
a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,SAY"HI"\x1b.EXE,2,2021-03-04,10:11:05.123,2020-03-04,05:06:07.000,2030-01-02,03:04:05.000,{CDATE},{CTIME}.000,\VOLUME{1}\APP\SAY"HI"\x1b.EXE,2021-03-01 08:00:00.500
)EXPECTED"},
      {"csv tab, user and host", {"-csv", "-csv_separator", "tab", "-username", "U", "-hostname", "H"}, R"EXPECTED(prefetch file name{TAB}app name{TAB}times ran{TAB}last run{TAB} time-UTC{TAB}mdate{TAB} time-UTC{TAB}adate{TAB} time-UTC{TAB}cdate{TAB} time-UTC{TAB}path/appname{TAB}previous dates run{TAB}user acct{TAB}host name
a,b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf{TAB}SAY"HI"\x1b.EXE{TAB}2{TAB}2021-03-04{TAB} 10:11:05.123{TAB}2020-03-04{TAB} 05:06:07.000{TAB}2030-01-02{TAB} 03:04:05.000{TAB}{CDATE}{TAB} {CTIME}.000{TAB}\VOLUME{1}\APP\SAY"HI"\x1b.EXE{TAB}2021-03-01 08:00:00.500{TAB}U{TAB}H
)EXPECTED"},
      {"csv own date and time", {"-csv", "-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss.xxxxxx"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run
a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,SAY"HI"\x1b.EXE,2,03/04/2021, 10:11:05.123456,03/04/2020, 05:06:07.000000,01/02/2030, 03:04:05.000000,{CMDY}, {CTIME}.000000,\VOLUME{1}\APP\SAY"HI"\x1b.EXE,03/01/2021 08:00:00.500000
)EXPECTED"},
      {"log2timeline, user and host", {"-csvl2t", "-username", "U", "-hostname", "H"}, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2020-03-04, 05:06:07.000,UTC,M...,PREFETCH,Win10 Prefetch,Last Modified,U,H,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: NTDLL.DLL; SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2021-03-04, 10:11:05.123,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,U,H,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: NTDLL.DLL; SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
{CDATE}, {CTIME}.000,UTC,...B,PREFETCH,Win10 Prefetch,Created,U,H,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: NTDLL.DLL; SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2030-01-02, 03:04:05.000,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,U,H,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: NTDLL.DLL; SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2021-03-01, 08:00:00.500,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,U,H,a b|c"d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf [SAY"HI"\x1b.EXE executed],Modules for last run are at record w/ same name at time: 2021-03-04 10:11:05.123,2,a b|c"d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf,,Not last time run  but a previous time run.,kerf (quorvex),
)EXPECTED"},
      {"log2timeline verbose paired", {"-csvl2t", "-verbose", "-pair_datetime", "-no_whitespace"}, R"EXPECTED(date/time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2020-03-04 05:06:07.000,UTC,M...,PREFETCH,Win10 Prefetch,Last Modified,,,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2021-03-04 10:11:05.123,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,,,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
{CDATE} {CTIME}.000,UTC,...B,PREFETCH,Win10 Prefetch,Created,,,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2030-01-02 03:04:05.000,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,,,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY"HI"\x1b.EXE executed],Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY"HI"\x1b.EXE,2,a b|c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2021-03-01 08:00:00.500,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,a b|c"d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf [SAY"HI"\x1b.EXE executed],Modules for last run are at record w/ same name at time: 2021-03-04 10:11:05.123,2,a b|c"d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf,,Not last time run  but a previous time run.,kerf (quorvex),
)EXPECTED"},
      {"body file", {"-bodyfile"}, R"EXPECTED(md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time
0|a,b;c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf (Win10 Prefetch); run count: 2; app run: \VOLUME{1}\APP\SAY"HI"\x1b.EXE|0||0|0|722|1893553445|1583298367|1614852665|{CUNIX}
0|a,b;c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{1}\APP\SAY"HI"\x1b.EXE|0||0|0|722|1614585600|1614585600|1614585600|{CUNIX}
)EXPECTED"},
  });
  // The table of a run over piped names and a directory, with the path.
  place("T|1.pf", hostile_image());
  expect_layouts("T|1.pf", {{"table", {"-pipe", "-enumdir", "x", "-pf_path"}, R"EXPECTED(prefetch file name                           | app name                       | times ran | last run   |  time-UTC     | mdate      |  time-UTC     | adate      |  time-UTC     | cdate      |  time-UTC     | path/appname                                                                               | previous dates run     
./T;1.pf                                     | SAY"HI"\x1b.EXE                |         2 | 2021-03-04 |  10:11:05.123 | 2020-03-04 |  05:06:07.000 | 2030-01-02 |  03:04:05.000 | {CDATE} |  {CTIME}.000 | \VOLUME{1}\APP\SAY"HI"\x1b.EXE                                                             | 2021-03-01 08:00:00.500
)EXPECTED"}});
}

// Windows 10 lists the program under its volume's GUID-style name; the
// stored hash is that of the same path on volume 2 (77FDF17F), or one no
// path gives.
std::vector<std::uint8_t> calc_image(std::uint32_t stored_hash) {
  const std::wstring volume = L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}";
  return kerf::testing::PrefetchImageBuilder(30)
      .exe_name(L"CALC.EXE")
      .path_hash(stored_hash)
      .run_times({132593262651234567ull})
      .run_count(1)
      .file_names({volume + L"\\WINDOWS\\SYSTEM32\\NTDLL.DLL", volume + L"\\WINDOWS\\SYSTEM32\\CALC.EXE"})
      .add_volume({volume, 0x8c9f49ec, 0x01d1217a9c4c6779, {volume + L"\\WINDOWS"}})
      .build();
}

// -verify adds the "hash:" line to the long form and four columns to the
// tables; a file name whose hash is not the stored one brings a warning.
TEST_F(Layouts, VerifyShowsWhatTheStoredHashProves) {
  place("CALC.EXE-12345678.pf", calc_image(0x77FDF17F));
  expect_layouts("CALC.EXE-12345678.pf", {
      {"long form, renamed", {"-verify"}, R"EXPECTED(Analyzing file: CALC.EXE-12345678.pf
modified:       2020-03-04 05:06:07
accessed:       2030-01-02 03:04:05
stats changed   {CDATE} {CTIME}

target file:    CALC.EXE, run 1 times
Last run:       2021-03-04 10:11:05.123
path:           \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE
hash:           77FDF17F verified \DEVICE\HARDDISKVOLUME2\WINDOWS\SYSTEM32\CALC.EXE (volume 2)
warning:        the file name carries hash 12345678, not the stored hash: the file was renamed

 --------- files mapped --------- 

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\NTDLL.DLL
002 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE

 --------- directories mapped --------- 

vol path:     \VOLUME{01d1217a9c4c6779-8c9f49ec}
time created: 2015-11-17 20:57:46.243
serial num:   8c9f-49ec

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS

)EXPECTED"},
      {"csv, renamed", {"-verify", "-csv"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run,hash,name hash,hash check,verified path
CALC.EXE-12345678.pf,CALC.EXE,1,2021-03-04, 10:11:05.123,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,\VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE,,77FDF17F,12345678,verified,\DEVICE\HARDDISKVOLUME2\WINDOWS\SYSTEM32\CALC.EXE
)EXPECTED"},
  });
  place("CALC.EXE-0BADF00D.pf", calc_image(0x0BADF00D));
  expect_layouts("CALC.EXE-0BADF00D.pf", {
      {"long form, unverified", {"-verify"}, R"EXPECTED(Analyzing file: CALC.EXE-0BADF00D.pf
modified:       2020-03-04 05:06:07
accessed:       2030-01-02 03:04:05
stats changed   {CDATE} {CTIME}

target file:    CALC.EXE, run 1 times
Last run:       2021-03-04 10:11:05.123
path:           \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE
hash:           0BADF00D unverified

 --------- files mapped --------- 

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\NTDLL.DLL
002 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE

 --------- directories mapped --------- 

vol path:     \VOLUME{01d1217a9c4c6779-8c9f49ec}
time created: 2015-11-17 20:57:46.243
serial num:   8c9f-49ec

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS

)EXPECTED"},
      {"table, unverified", {"-verify", "-pipe", "-enumdir", "x", "-username", "U"}, R"EXPECTED(prefetch file name                         | app name                       | times ran | last run   |  time-UTC     | mdate      |  time-UTC     | adate      |  time-UTC     | cdate      |  time-UTC     | path/appname                                                                               | previous dates run      | user acct | hash     | name hash | hash check | verified path                                                                             
CALC.EXE-0BADF00D.pf                       | CALC.EXE                       |         1 | 2021-03-04 |  10:11:05.123 | 2020-03-04 |  05:06:07.000 | 2030-01-02 |  03:04:05.000 | {CDATE} |  {CTIME}.000 | \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE                               |                         | U         | 0BADF00D | 0BADF00D  | unverified |                                                                                           
)EXPECTED"},
  });
  place("calc.pf", calc_image(0x77FDF17F));
  expect_layouts("calc.pf", {
      {"csv, no hash in the name", {"-verify", "-csv", "-no_whitespace"}, R"EXPECTED(prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,time-UTC,cdate,time-UTC,path/appname,previous dates run,hash,name hash,hash check,verified path
calc.pf,CALC.EXE,1,2021-03-04,10:11:05.123,2020-03-04,05:06:07.000,2030-01-02,03:04:05.000,{CDATE},{CTIME}.000,\VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE,,77FDF17F,,verified,\DEVICE\HARDDISKVOLUME2\WINDOWS\SYSTEM32\CALC.EXE
)EXPECTED"},
  });
}

// The Sleuth Kit reads kerf's body file as it comes, run header included.
TEST_F(Layouts, MactimeReadsTheBodyFile) {
  const std::string mactime = "/usr/bin/mactime";
  if (::access(mactime.c_str(), X_OK) != 0) GTEST_SKIP() << "mactime (sleuthkit) is not installed";
  place(kHostileName, hostile_image());
  kerf::testing::RunOptions options;
  options.working_dir = m_dir.path().string();
  options.stdout_path = m_dir.file("body.txt");
  ASSERT_EQ(kerf::testing::run_kerf({kHostileName, "-bodyfile"}, options).status, 0);
  const auto timeline =
      kerf::testing::run_program(mactime, {"-b", m_dir.file("body.txt"), "-d", "-y", "-z", "UTC"});
  ASSERT_EQ(timeline.status, 0) << timeline.err;
  const std::string name = R"(,722,{MACB},,0,0,0,"a,b;c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf (Win10 Prefetch); )";
  const std::string app = R"(; app run: \VOLUME{1}\APP\SAY""HI""\x1b.EXE")";
  for (const auto& [when, macb, what] : {
           std::tuple{"2020-03-04T05:06:07Z", "m...", "run count: 2"},
           std::tuple{"2021-03-01T08:00:00Z", "mac.", "not last time run - but prevtime"},
           std::tuple{"2021-03-04T10:11:05Z", "..c.", "run count: 2"},
           std::tuple{"2030-01-02T03:04:05Z", ".a..", "run count: 2"},
       }) {
    const std::string line = when + replace_all(name, "{MACB}", macb) + what + app + "\n";
    EXPECT_NE(timeline.out.find(line), std::string::npos) << line << timeline.out;
  }
}

}  // namespace
