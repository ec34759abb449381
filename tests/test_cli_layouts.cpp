// Whole runs of the built kerf in every layout, compared byte for byte after
// the run header (whole, for the layouts without one): a real Prefetch file,
// and a made one whose names carry line breaks, control characters, quotes
// and separators. The files get fixed modification and access times; the
// change time can't be set, so it is read back and put into the expected
// text.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "testkit/corpus.h"
#include "tests/support/hostile_prefetch.h"
#include "testkit/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::testing::after_header;

struct LayoutCase {
  const char* name;
  std::vector<std::string> options;
  // {CDATE} {CTIME} {CMDY} {CUNIX} {CISO}: the file's change time; {TAB}: a tab.
  std::string expected;
};

constexpr std::time_t kModified = 1583298367;  // 2020-03-04 05:06:07 UTC
constexpr std::time_t kAccessed = 1893553445;  // 2030-01-02 03:04:05 UTC

// Every kind of line break, a control character, a quote and both separators.
const std::string kHostileName = "a,b|c\"d\r\ne\n\rf\ng\rh\x01.pf";

// Ran twice (2021-03-04 10:11:05.123, 2021-03-01 08:00:00.5); the program's
// name has a quote, an escape and three characters no one sees (a line
// separator, a direction mark, a zero-width no-break space), a loaded file
// and a directory a CR LF, the
// device path a lone CR; NTDLL.DLL is loaded under two spellings.
std::vector<std::uint8_t> hostile_image() {
  return kerf::testing::PrefetchImageBuilder(30)
      .exe_name(L"SAY\"HI\"\x1b\x2028\x200f\xfeff.EXE")
      .run_times({132593262651234567ull, 132590592005000000ull})
      .run_count(2)
      .file_names({L"\\VOLUME{1}\\WINDOWS\\NTDLL.DLL", L"\\VOLUME{1}\\A\r\nB\\ntdll.dll",
                   L"\\VOLUME{1}\\APP\\SAY\"HI\"\x1b\x2028\x200f\xfeff.EXE"})
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

// The file's birth time as the JSON layouts write it: null where the file
// system keeps none.
std::string born_json(const std::string& path) {
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info) != 0 || (info.stx_mask & STATX_BTIME) == 0) {
    return "null";
  }
  std::string text(1, '"');
  text.append(utc_text(info.stx_btime.tv_sec, "%Y-%m-%dT%H:%M:%S")).append(".0000000Z\"");
  return text;
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
      expected = replace_all(expected, "{CISO}", utc_text(changed, "%Y-%m-%dT%H:%M:%S"));
      expected = replace_all(expected, "{BORN}", born_json(m_dir.file(name)));
      EXPECT_EQ(after_header(result.out), replace_all(expected, "{TAB}", "\t"));
    }
  }

  kerf::testing::TempDir m_dir;
};

// Windows 10, version 30 in a MAM container: eight run times, two volumes.
// Its older runs stand as stored: two pairs of runs overlapped, and each
// pair's later run was recorded first.
TEST_F(Layouts, Windows10CmdTimelines) {
  copy_from_corpus("Win10/CMD.EXE-D269B812.pf", "W10.pf");
  if (IsSkipped()) return;
  expect_layouts("W10.pf", {
      {"log2timeline", {"-csvl2t"}, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2016-01-12, 20:07:03.981,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.405; 2016-01-04 23:27:28.726; 2016-01-04 18:38:10.935; 2016-01-04 18:38:11.344; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
2020-03-04, 05:06:07.000,UTC,M...,PREFETCH,Win10 Prefetch,Last Modified,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.405; 2016-01-04 23:27:28.726; 2016-01-04 18:38:10.935; 2016-01-04 18:38:11.344; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
{CDATE}, {CTIME}.000,UTC,...B,PREFETCH,Win10 Prefetch,Created,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.405; 2016-01-04 23:27:28.726; 2016-01-04 18:38:10.935; 2016-01-04 18:38:11.344; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
2030-01-02, 03:04:05.000,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,,,W10.pf [CMD.EXE executed],Module list: $MFT; .HISTORY; .INIT.LUA; ADVAPI32.DLL; BASEBRD.DLL; BASEBRD.DLL.MUI; BCRYPTPRIMITIVES.DLL; CFGMGR32.DLL; CHOCOLATEY.LUA; CLINK.LOG; CLINK.LUA; CLINK_DLL_X64.DLL; CLINK_INPUTRC_BASE; CLINK_X64.EXE; CMD.EXE; CMD.EXE.MUI; CMDER.LUA; CMDEXT.DLL; COHO.LUA; COLOR.LUA; COMBASE.DLL; CONEMUHK64.DLL; CORDOVA.LUA; DBGCORE.DLL; DBGHELP.DLL; DISKPART.EXE; DOSKEY.EXE; FUNCLIB.LUA; GDI32.DLL; GIT.LUA; IMM32.DLL; INIT.BAT; KERNEL.APPCORE.DLL; KERNEL32.DLL; KERNELBASE.DLL; LOCALE.NLS; MATCHERS.LUA; MSVCRT.DLL; NET.LUA; NPM.LUA; NPM_PROMPT.LUA; NTDLL.DLL; PATH.LUA; POWRPROF.DLL; PROFAPI.DLL; RPCRT4.DLL; SECHOST.DLL; SETTINGS; SHCORE.DLL; SHELL32.DLL; SHLWAPI.DLL; SORTDEFAULT.NLS; SYSMAIN.SDB; TABLES.LUA; TZRES.DLL; TZRES.DLL.MUI; USER-STARTUP.CMD; USER32.DLL; VAGRANT.LUA; WINBRAND.DLL; WINDOWS.STORAGE.DLL,2,W10.pf,,Run count: 55 [Previous times run: 2016-01-10 02:29:02.788; 2016-01-04 23:27:28.405; 2016-01-04 23:27:28.726; 2016-01-04 18:38:10.935; 2016-01-04 18:38:11.344; 2015-12-31 21:42:29.667; 2015-12-17 22:34:21.579],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d12173f395296c-66f451bc}; 66f4-51bc; 2015-11-17 20:10:06.204]; [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]
2016-01-10, 02:29:02.788,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 23:27:28.405,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 23:27:28.726,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 18:38:10.935,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2016-01-04, 18:38:11.344,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2015-12-31, 21:42:29.667,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
2015-12-17, 22:34:21.579,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,W10.pf [CMD.EXE executed],Modules for last run are at record w/ same name at time: 2016-01-12 20:07:03.981,2,W10.pf,,Not last time run  but a previous time run.,kerf (quorvex),
)EXPECTED"},
      {"body file", {"-bodyfile"}, R"EXPECTED(md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time
0|W10.pf (Win10 Prefetch); run count: 55; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1893553445|1583298367|1452629223|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1452392942|1452392942|1452392942|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451950048|1451950048|1451950048|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451950048|1451950048|1451950048|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451932690|1451932690|1451932690|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451932691|1451932691|1451932691|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1451598149|1451598149|1451598149|{CUNIX}
0|W10.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6298|1450391661|1450391661|1450391661|{CUNIX}
)EXPECTED"},
      {"timesketch", {"-timesketch", "-hostname", "H"}, R"EXPECTED({"message":"CMD.EXE ran (55 runs; last 2016-01-12 20:07:03)","datetime":"2016-01-12T20:07:03.9810694Z","timestamp_desc":"Last Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2016-01-10T02:29:02.7887265Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2016-01-04T23:27:28.4058698Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2016-01-04T23:27:28.7268912Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2016-01-04T18:38:10.9356554Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2016-01-04T18:38:11.3441634Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2015-12-31T21:42:29.6670183Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"CMD.EXE ran before its last run (55 runs; last 2016-01-12 20:07:03)","datetime":"2015-12-17T22:34:21.5798615Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","hostname":"H"}
{"message":"Volume \\VOLUME{01d12173f395296c-66f451bc} (serial 66F451BC) created; used by CMD.EXE","datetime":"2015-11-17T20:10:06.2049644Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","volume_device_path":"\\VOLUME{01d12173f395296c-66f451bc}","volume_serial":"66F451BC","hostname":"H"}
{"message":"Volume \\VOLUME{01d1217a9c4c6779-8c9f49ec} (serial 8C9F49EC) created; used by CMD.EXE","datetime":"2015-11-17T20:57:46.2434681Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"CMD.EXE","path":"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE","run_count":55,"hash":"D269B812","prefetch_file":"W10.pf","volume_device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","volume_serial":"8C9F49EC","hostname":"H"}
)EXPECTED"},
  });
}

// Windows XP, version 17: no file references (null), no older run times.
TEST_F(Layouts, WindowsXpNotepadJson) {
  copy_from_corpus("XPPro/NOTEPAD.EXE-336351A9.pf", "XP.pf");
  if (IsSkipped()) return;
  expect_layouts("XP.pf", {{"json", {"-json"}, R"EXPECTED({"source":{"path":"XP.pf","name":"XP.pf","size":11142,"modified":"2020-03-04T05:06:07.0000000Z","accessed":"2030-01-02T03:04:05.0000000Z","changed":"{CISO}.0000000Z","born":{BORN}},"format_version":17,"format":"WinXP Prefetch","container":"none","checksum":null,"executable":"NOTEPAD.EXE","run_count":1,"last_run":"2016-01-13T22:04:53.8281250Z","previous_runs":[],"run_times_in_order":true,"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE","hash":"336351A9","name_hash":null,"hash_check":{"verdict":"verified","device_path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE","volume_number":1,"name_matches":null},"embedded_path":null,"volumes":[{"device_path":"\\DEVICE\\HARDDISKVOLUME1","serial":"E0F7E847","created":"2016-01-13T11:17:18.7187500Z","name_matches":null,"directories":["\\DEVICE\\HARDDISKVOLUME1\\","\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\","\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\APPPATCH\\","\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\","\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINSXS\\","\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINSXS\\X86_MICROSOFT.WINDOWS.COMMON-CONTROLS_6595B64144CCF1DF_6.0.2600.5512_X-WW_35D4CE83\\"]}],"files":[{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\KERNEL32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\UNICODE.NLS","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\LOCALE.NLS","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\SORTTBLS.NLS","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\COMDLG32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\ADVAPI32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\RPCRT4.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\SECUR32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINSXS\\X86_MICROSOFT.WINDOWS.COMMON-CONTROLS_6595B64144CCF1DF_6.0.2600.5512_X-WW_35D4CE83\\COMCTL32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\MSVCRT.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\GDI32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\USER32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\SHLWAPI.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\SHELL32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\WINSPOOL.DRV","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\SHIMENG.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\APPPATCH\\SYSMAIN.SDB","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\APPPATCH\\ACGENRAL.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\WINMM.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\OLE32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\OLEAUT32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\MSACM32.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\VERSION.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\USERENV.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\UXTHEME.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CTYPE.NLS","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\WINDOWSSHELL.MANIFEST","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\SORTKEY.NLS","mft_entry":null,"mft_sequence":null}]}
)EXPECTED"}});
}

// Delimited layouts mark line breaks in every free-text field ([CRLF] [LFCR]
// [LF], and [CR] in a text without LF), write every other control
// character as \xNN, and quote a field that holds a quote; the long form
// writes them all as \xNN.
TEST_F(Layouts, HostileNamesInEveryLayout) {
  place(kHostileName, hostile_image());
  expect_layouts(kHostileName, {
      {"long form", {}, R"EXPECTED(Analyzing file: a,b|c"d\x0d\x0ae\x0a\x0df\x0ag\x0dh\x01.pf
modified:       2020-03-04 05:06:07
accessed:       2030-01-02 03:04:05
stats changed:  {CDATE} {CTIME}

target file:    SAY"HI"\x1b\u2028\u200f\ufeff.EXE, run 2 times
Last run:       2021-03-04 10:11:05.123
Prev run:       2021-03-01 08:00:00.500
path:           \VOLUME{1}\APP\SAY"HI"\x1b\u2028\u200f\ufeff.EXE

 --------- files mapped --------- 

001 : \VOLUME{1}\WINDOWS\NTDLL.DLL
002 : \VOLUME{1}\A\x0d\x0aB\ntdll.dll
003 : \VOLUME{1}\APP\SAY"HI"\x1b\u2028\u200f\ufeff.EXE

 --------- directories mapped --------- 

vol path:     \VOLUME{1}\x0d
time created: 2019-07-01 12:00:00.000
serial num:   0012-abcd

001 : \VOLUME{1}\A\x0d\x0aB

)EXPECTED"},
      {"csv verbose", {"-csv", "-verbose"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,Num Vols,volume(s),volume serial(s),volume date/time(s) (UTC),Num modules,Module list,previous dates run
"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf","SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,2021-03-04, 10:11:05.123,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,"\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",1,\VOLUME{1}[CR],0012-abcd,2019-07-01 12:00:00.000,3,"\VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2021-03-01 08:00:00.500
)EXPECTED"},
      {"csv quoted", {"-csv", "-enable_quoted_csv_fields"}, R"EXPECTED(prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,time-UTC,cdate,time-UTC,path/appname,previous dates run
"a,b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf","SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,2021-03-04,10:11:05.123,2020-03-04,05:06:07.000,2030-01-02,03:04:05.000,{CDATE},{CTIME}.000,"\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE","2021-03-01 08:00:00.500"
)EXPECTED"},
      {"csv paired", {"-csv", "-pair_datetime"}, R"EXPECTED(prefetch file name                        ,app name                      ,times ran,last run [UTC]         ,modify date [UTC]      ,access date [UTC]      ,changed date [UTC]     ,path/appname                                                                              ,previous dates run     
"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf" ,"SAY""HI""\x1b\u2028\u200f\ufeff.EXE",        2, 2021-03-04 10:11:05.123, 2020-03-04 05:06:07.000, 2030-01-02 03:04:05.000, {CDATE} {CTIME}.000,"\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE"                                      ,2021-03-01 08:00:00.500
)EXPECTED"},
      {"csv no whitespace", {"-csv", "-no_whitespace"}, R"EXPECTED(prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,time-UTC,cdate,time-UTC,path/appname,previous dates run
"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf","SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,2021-03-04,10:11:05.123,2020-03-04,05:06:07.000,2030-01-02,03:04:05.000,{CDATE},{CTIME}.000,"\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2021-03-01 08:00:00.500
)EXPECTED"},
      {"csv tab, user and host", {"-csv", "-csv_separator", "tab", "-username", "U", "-hostname", "H"}, R"EXPECTED(prefetch file name{TAB}app name{TAB}times ran{TAB}last run{TAB} time-UTC{TAB}mdate{TAB} time-UTC{TAB}adate{TAB} time-UTC{TAB}cdate{TAB} time-UTC{TAB}path/appname{TAB}previous dates run{TAB}user acct{TAB}host name
"a,b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf"{TAB}"SAY""HI""\x1b\u2028\u200f\ufeff.EXE"{TAB}2{TAB}2021-03-04{TAB} 10:11:05.123{TAB}2020-03-04{TAB} 05:06:07.000{TAB}2030-01-02{TAB} 03:04:05.000{TAB}{CDATE}{TAB} {CTIME}.000{TAB}"\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE"{TAB}2021-03-01 08:00:00.500{TAB}U{TAB}H
)EXPECTED"},
      {"csv own date and time", {"-csv", "-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss.xxxxxx"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run
"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf","SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,03/04/2021, 10:11:05.123456,03/04/2020, 05:06:07.000000,01/02/2030, 03:04:05.000000,{CMDY}, {CTIME}.000000,"\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",03/01/2021 08:00:00.500000
)EXPECTED"},
      {"log2timeline, user and host", {"-csvl2t", "-username", "U", "-hostname", "H"}, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2020-03-04, 05:06:07.000,UTC,M...,PREFETCH,Win10 Prefetch,Last Modified,U,H,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: NTDLL.DLL; SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2021-03-04, 10:11:05.123,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,U,H,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: NTDLL.DLL; SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
{CDATE}, {CTIME}.000,UTC,...B,PREFETCH,Win10 Prefetch,Created,U,H,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: NTDLL.DLL; SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2030-01-02, 03:04:05.000,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,U,H,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: NTDLL.DLL; SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 2019-07-01 12:00:00.000]
2021-03-01, 08:00:00.500,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,U,H,"a b|c""d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]",Modules for last run are at record w/ same name at time: 2021-03-04 10:11:05.123,2,"a b|c""d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf",,Not last time run  but a previous time run.,kerf (quorvex),
)EXPECTED"},
      {"log2timeline verbose paired, own date and time", {"-csvl2t", "-verbose", "-pair_datetime", "-no_whitespace", "-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss.xxxxxxx"}, R"EXPECTED(date/time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
03/04/2020 05:06:07.0000000,UTC,M...,PREFETCH,Win10 Prefetch,Last Modified,,,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 03/01/2021 08:00:00.5000000],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 07/01/2019 12:00:00.0000000]
03/04/2021 10:11:05.1234567,UTC,..C.,PREFETCH,Win10 Prefetch,Last Run,,,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 03/01/2021 08:00:00.5000000],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 07/01/2019 12:00:00.0000000]
{CMDY} {CTIME}.0000000,UTC,...B,PREFETCH,Win10 Prefetch,Created,,,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 03/01/2021 08:00:00.5000000],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 07/01/2019 12:00:00.0000000]
01/02/2030 03:04:05.0000000,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,,,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]","Module list: \VOLUME{1}\WINDOWS\NTDLL.DLL; \VOLUME{1}\A[CRLF]B\ntdll.dll; \VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE",2,"a b|c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf",,Run count: 2 [Previous time run: 03/01/2021 08:00:00.5000000],kerf (quorvex),Volume name; serial#; date: [\VOLUME{1}[CR]; 0012-abcd; 07/01/2019 12:00:00.0000000]
03/01/2021 08:00:00.5000000,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,"a b|c""d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf [SAY""HI""\x1b\u2028\u200f\ufeff.EXE executed]",Modules for last run are at record w/ same name at time: 03/04/2021 10:11:05.1234567,2,"a b|c""d[CRLF]e[LFCR]f[LF]g[CR]h\x01.pf",,Not last time run  but a previous time run.,kerf (quorvex),
)EXPECTED"},
      {"body file", {"-bodyfile"}, R"EXPECTED(md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time
0|a,b;c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf (Win10 Prefetch); run count: 2; app run: \VOLUME{1}\APP\SAY"HI"\x1b\u2028\u200f\ufeff.EXE|0||0|0|730|1893553445|1583298367|1614852665|{CUNIX}
0|a,b;c"d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf (Win10 Prefetch); not last time run - but prevtime; app run: \VOLUME{1}\APP\SAY"HI"\x1b\u2028\u200f\ufeff.EXE|0||0|0|730|1614585600|1614585600|1614585600|{CUNIX}
)EXPECTED"},
  });
  // The table of a run over piped names and a directory, with the path.
  place("T|1.pf", hostile_image());
  expect_layouts("T|1.pf", {{"table", {"-pipe", "-enumdir", "x", "-pf_path"}, R"EXPECTED(prefetch file name                           | app name                       | times ran | last run   |  time-UTC     | mdate      |  time-UTC     | adate      |  time-UTC     | cdate      |  time-UTC     | path/appname                                                                               | previous dates run     
./T;1.pf                                     | "SAY""HI""\x1b\u2028\u200f\ufeff.EXE" |         2 | 2021-03-04 |  10:11:05.123 | 2020-03-04 |  05:06:07.000 | 2030-01-02 |  03:04:05.000 | {CDATE} |  {CTIME}.000 | "\VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE"                                       | 2021-03-01 08:00:00.500
)EXPECTED"}});
}

// Whatever the names hold (quotes, every separator, line breaks, control
// and bidirectional characters, bytes that are not UTF-8), every row of every
// delimited layout reads back, in an independent CSV reader (Python's), as
// exactly as many fields as its header has.
TEST_F(Layouts, EveryDelimitedRowParsesIntoItsColumns) {
  if (::access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3 to read the tables";
  // Prints the row count and each different field count.
  const std::string script =
      "import csv, sys\n"
      "quoting = csv.QUOTE_NONE if sys.argv[2] == 'none' else csv.QUOTE_MINIMAL\n"
      "rows = list(csv.reader(sys.stdin, delimiter=sys.argv[1], quoting=quoting))\n"
      "print(len(rows), sorted({len(row) for row in rows}))\n";
  const std::vector<std::string> names = {kHostileName, "\"lead;x.pf", "semi;colon \xe2\x80\xae\xff.pf"};
  for (const std::string& name : names) place(name, hostile_image());
  struct Look {
    std::vector<std::string> options;
    std::string separator;
    std::string rows_and_fields;
    std::string quoting = "minimal";
  };
  const std::vector<Look> looks = {
      {{"-csv"}, ",", "4 [13]"},
      {{"-csv", "-verbose"}, ",", "4 [19]"},
      {{"-csv", "-enable_quoted_csv_fields"}, ",", "4 [13]"},
      {{"-csv", "-csv_separator", ";"}, ";", "4 [13]"},
      {{"-csv", "-csv_separator", "|", "-no_whitespace"}, "|", "4 [13]"},
      {{"-csvl2t", "-csv_separator", ";", "-hostname", "a;b\"c"}, ";", "16 [17]"},
      // Every date, time, header name or number holding the separator is
      // quoted like a name; a blank separator fills no cell.
      {{"-csv", "-csv_separator", ":"}, ":", "4 [13]"},
      {{"-csv", "-csv_separator", "-", "-pair_datetime"}, "-", "4 [9]"},
      {{"-csv", "-csv_separator", ".", "-timeformat", "hh:mm:ss.xxxxxxx"}, ".", "4 [13]"},
      {{"-csv", "-csv_separator", "/", "-dateformat", "mm/dd/yyyy"}, "/", "4 [13]"},
      {{"-csv", "-csv_separator", " ", "-dateformat", "dd mmm yyyy"}, " ", "4 [13]"},
      {{"-csv", "-csv_separator", " ", "-pair_datetime"}, " ", "4 [9]"},
      {{"-csv", "-csv_separator", "2"}, "2", "4 [13]"},
      {{"-csv", "-csv_separator", "x"}, "x", "4 [13]"},  // as written: "\x01" holds it
      {{"-csvl2t", "-csv_separator", ":"}, ":", "16 [17]"},
      {{"-csvl2t", "-csv_separator", " "}, " ", "16 [17]"},
      {{"-csvl2t", "-csv_separator", "/", "-pair_datetime"}, "/", "16 [16]"},
      {{"-bodyfile"}, "|", "7 [11]", "none"},
  };
  for (const Look& look : looks) {
    std::vector<std::string> args = names;  // several names: one bulk run over them
    args.insert(args.end(), look.options.begin(), look.options.end());
    kerf::testing::RunOptions options;
    options.working_dir = m_dir.path().string();
    const auto result = kerf::testing::run_kerf(args, options);
    ASSERT_EQ(result.status, 0) << look.options.back() << result.err;
    options = {};
    options.input = after_header(result.out);
    const auto parsed = kerf::testing::run_program("/usr/bin/python3", {"-c", script, look.separator, look.quoting}, options);
    EXPECT_EQ(parsed.out, look.rows_and_fields + "\n") << look.options.back() << parsed.err;
  }
}

// The JSON layouts escape what JSON requires and turn what is not UTF-8 into
// U+FFFD: in the file's name (a backslash, a line feed, ESC, an overlong
// form, a surrogate stored as three bytes) and inside the image (see
// tests/support/hostile_prefetch.h); a time that is no time is null, and a
// volume without a creation time gives no event. No run header, with
// -no_run_header neither in the text layouts.
TEST_F(Layouts, JsonLayoutsAndNoRunHeader) {
  const std::string name = "q\"\\n\n\x1b\xe2\x80\xa8\xef\xbb\xbf\xc0\xaf\xed\xa0\x80-0A1B2C3D.pf";
  place(name, kerf::testing::hostile_prefetch_image(30));
  expect_layouts(name, {
      {"json", {"-json", "-hostname", "WS\"01", "-username", "\xff\x1b"}, R"EXPECTED({"source":{"path":"q\"\\n\n\u001b\u2028\ufeff���-0A1B2C3D.pf","name":"q\"\\n\n\u001b\u2028\ufeff���-0A1B2C3D.pf","size":888,"modified":"2020-03-04T05:06:07.0000000Z","accessed":"2030-01-02T03:04:05.0000000Z","changed":"{CISO}.0000000Z","born":{BORN}},"format_version":30,"format":"Win10 Prefetch","container":"none","checksum":null,"executable":"Q\"B\\E\u001b\nS�.EXE","run_count":3,"last_run":"2016-01-11T22:08:20.9851234Z","previous_runs":["2016-01-09T07:00:01.0000001Z",null],"run_times_in_order":true,"path":"Q\"B\\E\u001b\nS�.EXE","hash":"0A1B2C3D","name_hash":"0A1B2C3D","hash_check":{"verdict":"unverified","device_path":null,"volume_number":null,"name_matches":true},"embedded_path":null,"volumes":[{"device_path":"\\VOLUME{1}�","serial":"0012ABCD","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"directories":["\\VOLUME{1}\\��"]},{"device_path":"\\VOLUME{2}","serial":"FFFFFFFF","created":null,"name_matches":null,"directories":[]}],"files":[{"path":"\\VOLUME{1}\\A�B\\X.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\VOLUME{1}\\😀.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\VOLUME{1}\\T\tN\r\n.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\VOLUME{1}\\APP\\Q\"B\\E\u001b\nS�.EXE","mft_entry":null,"mft_sequence":null}],"hostname":"WS\"01","username":"�\u001b"}
)EXPECTED"},
      {"timesketch", {"-timesketch"}, R"EXPECTED({"message":"Q\"B\\E\u001b\nS�.EXE ran (3 runs; last 2016-01-11 22:08:20)","datetime":"2016-01-11T22:08:20.9851234Z","timestamp_desc":"Last Time Executed","data_type":"windows:prefetch:execution","executable":"Q\"B\\E\u001b\nS�.EXE","path":"Q\"B\\E\u001b\nS�.EXE","run_count":3,"hash":"0A1B2C3D","prefetch_file":"q\"\\n\n\u001b\u2028\ufeff���-0A1B2C3D.pf"}
{"message":"Q\"B\\E\u001b\nS�.EXE ran before its last run (3 runs; last 2016-01-11 22:08:20)","datetime":"2016-01-09T07:00:01.0000001Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"Q\"B\\E\u001b\nS�.EXE","path":"Q\"B\\E\u001b\nS�.EXE","run_count":3,"hash":"0A1B2C3D","prefetch_file":"q\"\\n\n\u001b\u2028\ufeff���-0A1B2C3D.pf"}
{"message":"Volume \\VOLUME{1}� (serial 0012ABCD) created; used by Q\"B\\E\u001b\nS�.EXE","datetime":"2019-07-01T12:00:00.0000000Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"Q\"B\\E\u001b\nS�.EXE","path":"Q\"B\\E\u001b\nS�.EXE","run_count":3,"hash":"0A1B2C3D","prefetch_file":"q\"\\n\n\u001b\u2028\ufeff���-0A1B2C3D.pf","volume_device_path":"\\VOLUME{1}�","volume_serial":"0012ABCD"}
)EXPECTED"},
  });
  place("NH.pf", kerf::testing::PrefetchImageBuilder(23)
                     .exe_name(L"A.EXE")
                     .run_times({130970237009851234ull})
                     .run_count(1)
                     .file_names({L"\\DEVICE\\HARDDISKVOLUME1\\A.EXE"})
                     .build());
  expect_layouts("NH.pf", {
      {"csv without the run header", {"-csv", "-no_run_header"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run
NH.pf,A.EXE,1,2016-01-11, 22:08:20.985,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,\DEVICE\HARDDISKVOLUME1\A.EXE,
)EXPECTED"},
      {"long form without the run header, own date and time", {"-no_run_header", "-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss.xxxxxxx"}, R"EXPECTED(Analyzing file: NH.pf
modified:       03/04/2020 05:06:07
accessed:       01/02/2030 03:04:05
stats changed:  {CMDY} {CTIME}

target file:    A.EXE, run 1 time
Last run:       01/11/2016 22:08:20.9851234
path:           \DEVICE\HARDDISKVOLUME1\A.EXE

 --------- files mapped --------- 

001 : \DEVICE\HARDDISKVOLUME1\A.EXE

 --------- directories mapped --------- 

)EXPECTED"},
  });
}

// A JSON time does not depend on the machine's time zone: 3001-01-01 02:00
// UTC, still 3000 west of Greenwich, is null everywhere.
TEST_F(Layouts, JsonTimesIgnoreTheTimeZone) {
  place("ZONE.pf", kerf::testing::PrefetchImageBuilder(26).exe_name(L"Z.EXE").run_times({441796968000000000ull}).build());
  for (const char* zone : {"UTC0", "EST5", "JST-9"}) {
    kerf::testing::RunOptions options;
    options.env = {{"TZ", zone}};
    const auto result = kerf::testing::run_kerf({m_dir.file("ZONE.pf"), "-timesketch"}, options);
    EXPECT_EQ(result.status, 0) << zone;
    EXPECT_EQ(result.out, "") << zone;  // no run time, so no event
  }
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

// The long form of a CALC.EXE image in the file `name`, with `hash_lines`
// (what -verify adds) after the path.
std::string calc_long_form(const std::string& name, const std::string& hash_lines) {
  return "Analyzing file: " + name + R"EXPECTED(
modified:       2020-03-04 05:06:07
accessed:       2030-01-02 03:04:05
stats changed:  {CDATE} {CTIME}

target file:    CALC.EXE, run 1 time
Last run:       2021-03-04 10:11:05.123
path:           \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE
)EXPECTED" + hash_lines + R"EXPECTED(
 --------- files mapped --------- 

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\NTDLL.DLL
002 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE

 --------- directories mapped --------- 

vol path:     \VOLUME{01d1217a9c4c6779-8c9f49ec}
time created: 2015-11-17 20:57:46.243
serial num:   8c9f-49ec

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS

)EXPECTED";
}

// -verify adds the "hash:" line to the long form and four columns to the
// tables; a file name whose hash is not the stored one brings a warning.
TEST_F(Layouts, VerifyShowsWhatTheStoredHashProves) {
  place("CALC.EXE-12345678.pf", calc_image(0x77FDF17F));
  expect_layouts("CALC.EXE-12345678.pf", {
      {"long form, renamed", {"-verify"},
       calc_long_form("CALC.EXE-12345678.pf",
                      "hash:           77FDF17F verified \\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE (volume 2)\n"
                      "warning:        the file name carries hash 12345678, not the stored hash: the file was renamed\n")},
      {"csv, renamed", {"-verify", "-csv"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run,hash,name hash,hash check,verified path
CALC.EXE-12345678.pf,CALC.EXE,1,2021-03-04, 10:11:05.123,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,\VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\CALC.EXE,,77FDF17F,12345678,verified,\DEVICE\HARDDISKVOLUME2\WINDOWS\SYSTEM32\CALC.EXE
)EXPECTED"},
  });
  place("CALC.EXE-0BADF00D.pf", calc_image(0x0BADF00D));
  expect_layouts("CALC.EXE-0BADF00D.pf", {
      {"long form, unverified", {"-verify"},
       calc_long_form("CALC.EXE-0BADF00D.pf", "hash:           0BADF00D unverified\n")},
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

// A container's checksum verdict is a fact of the record: a mismatch is
// decoded and reported, and says so there also under -quiet, which only
// silences the message on standard error. A plain image has no such line.
TEST_F(Layouts, ChecksumVerdictStaysWithTheRecord) {
  std::vector<std::uint8_t> summed = kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(calc_image(0)));
  place("sum.pf", summed);
  summed[8] ^= 0x01;  // the stored CRC-32
  place("bad.pf", summed);
  expect_layouts("sum.pf", {{"long form, checksum matches", {"-quiet"},
                             calc_long_form("sum.pf", "checksum:       container CRC-32 matches\n")}});
  expect_layouts("bad.pf", {
      {"long form, checksum mismatch", {"-quiet"},
       calc_long_form("bad.pf", "checksum:       container CRC-32 does not match; decoded all the same\n")},
      {"json, checksum mismatch", {"-json", "-quiet"}, R"EXPECTED({"source":{"path":"bad.pf","name":"bad.pf","size":518,"modified":"2020-03-04T05:06:07.0000000Z","accessed":"2030-01-02T03:04:05.0000000Z","changed":"{CISO}.0000000Z","born":{BORN}},"format_version":30,"format":"Win10 Prefetch","container":"MAM","checksum":"mismatch","executable":"CALC.EXE","run_count":1,"last_run":"2021-03-04T10:11:05.1234567Z","previous_runs":[],"run_times_in_order":true,"path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\CALC.EXE","hash":"00000000","name_hash":null,"hash_check":{"verdict":"unverified","device_path":null,"volume_number":null,"name_matches":null},"embedded_path":null,"volumes":[{"device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","serial":"8C9F49EC","created":"2015-11-17T20:57:46.2434681Z","name_matches":true,"directories":["\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS"]}],"files":[{"path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\CALC.EXE","mft_entry":null,"mft_sequence":null}]}
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
  const std::string name = R"(,730,{MACB},,0,0,0,"a,b;c""d[CRLF]e[LFCR]f[LF]g\x0dh\x01.pf (Win10 Prefetch); )";
  const std::string app = R"(; app run: \VOLUME{1}\APP\SAY""HI""\x1b\u2028\u200f\ufeff.EXE")";
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

// -history over loose copies of one Prefetch file in three folders, named
// in two cases: the newest (c) was reset and holds one run, so together they
// know eleven times; NOTEPAD's one copy stores one time twice. Copies are
// ordered by their own modification times, whatever order the walk meets
// them in; a file that fails is a failure as without -history.
TEST_F(Layouts, HistoryAcrossLooseCopies) {
  const auto day = [](std::uint64_t n) { return 132500000000000000ull + n * 864000000000ull + n * 1234567ull; };
  const auto calc = [&](std::uint32_t runs, std::vector<std::uint64_t> days) {
    std::vector<std::uint64_t> times;
    for (const std::uint64_t n : days) times.push_back(day(n));
    return kerf::testing::PrefetchImageBuilder(30)
        .exe_name(L"CALC.EXE")
        .path_hash(0x3FBEF7FD)
        .run_times(times)
        .run_count(runs)
        .file_names({L"\\VOLUME{1}\\WINDOWS\\CALC.EXE"})
        .build();
  };
  const auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes, std::time_t modified) {
    const std::string target = m_dir.write(name, bytes);
    const timespec times[2] = {{kAccessed, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
  };
  write("c/CALC.EXE-3FBEF7FD.pf", calc(1, {11}), 1640995200);  // 2022-01-01
  write("a/CALC.EXE-3FBEF7FD.pf", calc(8, {8, 7, 6, 5, 4, 3, 2, 1}), 1577836800);  // 2020-01-01
  write("b/calc.exe-3fbef7fd.pf", calc(10, {10, 9, 8, 7, 6, 5, 4, 3}), 1609459200);  // 2021-01-01
  write("b/NOTEPAD.EXE-0A0B0C0D.pf",
        kerf::testing::PrefetchImageBuilder(23).exe_name(L"NOTEPAD.EXE").path_hash(0x0A0B0C0D)
            .run_times({day(5), day(5)}).run_count(2).build(),
        1609459200);
  write("a/JUNK.pf", {'n', 'o'}, 1609459200);

  const struct {
    const char* name;
    std::vector<std::string> options;
    std::string expected;
  } cases[] = {
      {"json", {"-json"}, R"EXPECTED({"name":"CALC.EXE-3FBEF7FD.pf","executable":"CALC.EXE","hash":"3FBEF7FD","run_times":[{"time":"2020-11-27T11:33:21.3580237Z","copies":[3]},{"time":"2020-11-26T11:33:21.2345670Z","copies":[2]},{"time":"2020-11-25T11:33:21.1111103Z","copies":[2]},{"time":"2020-11-24T11:33:20.9876536Z","copies":[1,2]},{"time":"2020-11-23T11:33:20.8641969Z","copies":[1,2]},{"time":"2020-11-22T11:33:20.7407402Z","copies":[1,2]},{"time":"2020-11-21T11:33:20.6172835Z","copies":[1,2]},{"time":"2020-11-20T11:33:20.4938268Z","copies":[1,2]},{"time":"2020-11-19T11:33:20.3703701Z","copies":[1,2]},{"time":"2020-11-18T11:33:20.2469134Z","copies":[1]},{"time":"2020-11-17T11:33:20.1234567Z","copies":[1]}],"copies":[{"store":null,"store_created":null,"run_count":8,"deleted":false,"path":"./a/CALC.EXE-3FBEF7FD.pf","modified":"2020-01-01T00:00:00.0000000Z"},{"store":null,"store_created":null,"run_count":10,"deleted":false,"path":"./b/calc.exe-3fbef7fd.pf","modified":"2021-01-01T00:00:00.0000000Z"},{"store":null,"store_created":null,"run_count":1,"deleted":false,"path":"./c/CALC.EXE-3FBEF7FD.pf","modified":"2022-01-01T00:00:00.0000000Z"}],"count_went_down":true,"runs_beyond_eight":true,"last_copy_deleted":false}
{"name":"NOTEPAD.EXE-0A0B0C0D.pf","executable":"NOTEPAD.EXE","hash":"0A0B0C0D","run_times":[{"time":"2020-11-21T11:33:20.6172835Z","copies":[1]}],"copies":[{"store":null,"store_created":null,"run_count":2,"deleted":false,"path":"./b/NOTEPAD.EXE-0A0B0C0D.pf","modified":"2021-01-01T00:00:00.0000000Z"}],"count_went_down":false,"runs_beyond_eight":false,"last_copy_deleted":false}
)EXPECTED"},
      {"long form", {}, R"EXPECTED(Prefetch file:  CALC.EXE-3FBEF7FD.pf
executable:     CALC.EXE
hash:           3FBEF7FD
copies:         3, oldest first
copy 1:         ./a/CALC.EXE-3FBEF7FD.pf, modified 2020-01-01 00:00:00, run 8 times
copy 2:         ./b/calc.exe-3fbef7fd.pf, modified 2021-01-01 00:00:00, run 10 times
copy 3:         ./c/CALC.EXE-3FBEF7FD.pf, modified 2022-01-01 00:00:00, run 1 time
run times:      11 known, newest first
                2020-11-27 11:33:21.358  copy 3
                2020-11-26 11:33:21.234  copy 2
                2020-11-25 11:33:21.111  copy 2
                2020-11-24 11:33:20.987  copies 1, 2
                2020-11-23 11:33:20.864  copies 1, 2
                2020-11-22 11:33:20.740  copies 1, 2
                2020-11-21 11:33:20.617  copies 1, 2
                2020-11-20 11:33:20.493  copies 1, 2
                2020-11-19 11:33:20.370  copies 1, 2
                2020-11-18 11:33:20.246  copy 1
                2020-11-17 11:33:20.123  copy 1
flags:          count went down: a newer copy counts fewer runs (deleted and made again, or reset)
                runs beyond eight: more run times are known than one file holds

Prefetch file:  NOTEPAD.EXE-0A0B0C0D.pf
executable:     NOTEPAD.EXE
hash:           0A0B0C0D
copies:         1, oldest first
copy 1:         ./b/NOTEPAD.EXE-0A0B0C0D.pf, modified 2021-01-01 00:00:00, run 2 times
run times:      1 known, newest first
                2020-11-21 11:33:20.617  copy 1
flags:          none

)EXPECTED"},
      {"csv", {"-csv", "-hostname", "H,1"}, R"EXPECTED(prefetch file name,app name,hash,copies,run counts,last run,time-UTC,earlier runs,count went down,runs beyond eight,last copy deleted,host name
CALC.EXE-3FBEF7FD.pf,CALC.EXE,3FBEF7FD,3,8; 10; 1,2020-11-27, 11:33:21.358,2020-11-26 11:33:21.234; 2020-11-25 11:33:21.111; 2020-11-24 11:33:20.987; 2020-11-23 11:33:20.864; 2020-11-22 11:33:20.740; 2020-11-21 11:33:20.617; 2020-11-20 11:33:20.493; 2020-11-19 11:33:20.370; 2020-11-18 11:33:20.246; 2020-11-17 11:33:20.123,yes,yes,no,H 1
NOTEPAD.EXE-0A0B0C0D.pf,NOTEPAD.EXE,0A0B0C0D,1,2,2020-11-21, 11:33:20.617,,no,no,no,H 1
)EXPECTED"},
      {"timesketch", {"-timesketch"}, R"EXPECTED({"message":"CALC.EXE ran (held by 1 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-27T11:33:21.3580237Z","timestamp_desc":"Last Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./c/CALC.EXE-3FBEF7FD.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 1 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-26T11:33:21.2345670Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 1 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-25T11:33:21.1111103Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 2 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-24T11:33:20.9876536Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"},{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 2 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-23T11:33:20.8641969Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"},{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 2 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-22T11:33:20.7407402Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"},{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 2 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-21T11:33:20.6172835Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"},{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 2 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-20T11:33:20.4938268Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"},{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 2 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-19T11:33:20.3703701Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"},{"store":null,"store_created":null,"path":"./b/calc.exe-3fbef7fd.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 1 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-18T11:33:20.2469134Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"}],"copy_count":3}
{"message":"CALC.EXE ran (held by 1 of 3 copies of CALC.EXE-3FBEF7FD.pf)","datetime":"2020-11-17T11:33:20.1234567Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"CALC.EXE","hash":"3FBEF7FD","name":"CALC.EXE-3FBEF7FD.pf","copies":[{"store":null,"store_created":null,"path":"./a/CALC.EXE-3FBEF7FD.pf"}],"copy_count":3}
{"message":"NOTEPAD.EXE ran (held by 1 of 1 copy of NOTEPAD.EXE-0A0B0C0D.pf)","datetime":"2020-11-21T11:33:20.6172835Z","timestamp_desc":"Last Time Executed","data_type":"windows:prefetch:execution","executable":"NOTEPAD.EXE","hash":"0A0B0C0D","name":"NOTEPAD.EXE-0A0B0C0D.pf","copies":[{"store":null,"store_created":null,"path":"./b/NOTEPAD.EXE-0A0B0C0D.pf"}],"copy_count":1}
)EXPECTED"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    kerf::testing::RunOptions options;
    options.working_dir = m_dir.path().string();
    std::vector<std::string> args{"-enumdir", "./", "-num_subdirs", "1", "-history"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = kerf::testing::run_kerf(args, options);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, "prob reading file ./a/JUNK.pf: not a Prefetch file\nkerf: 5 files: 4 reported, 1 failed\n");
    EXPECT_EQ(after_header(result.out), c.expected);
    // The JSON layouts' lines match their schemas in docs/.
    if (c.options.size() == 1) {
      kerf::testing::RunOptions lines;
      lines.input = result.out;
      const auto checked = kerf::testing::run_program(
          "/usr/bin/python3",
          {KERF_SOURCE_DIR "/tests/json_lines/check_json_lines.py", "lines", KERF_SOURCE_DIR "/docs", "-history " + c.options[0]},
          lines);
      if (checked.status != 77) {
        EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
      }
    }
  }
}
