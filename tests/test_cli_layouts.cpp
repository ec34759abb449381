// Whole runs of the built kerf over real Prefetch files, in every layout,
// compared byte for byte after the run header with the output written out
// here. The files are copied and given fixed modification and access times;
// the change time can't be set, so it is read back and put into the text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/corpus.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::TempDir;

struct LayoutCase {
  const char* name;
  std::vector<std::string> options;
  const char* expected;  // {CDATE} {CTIME} {CUNIX}: the copy's change time
};

constexpr std::time_t kModified = 1583298367;  // 2020-03-04 05:06:07 UTC
constexpr std::time_t kAccessed = 1893553445;  // 2030-01-02 03:04:05 UTC

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string after_header(const std::string& output) {
  std::size_t at = 0;
  for (int line = 0; line < 4 && at != std::string::npos; ++line) {
    at = output.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  return at == std::string::npos ? std::string() : output.substr(at);
}

class CorpusLayouts : public ::testing::Test {
 protected:
  // Copies a corpus file into the temporary folder with fixed times.
  void copy(const std::string& relative, const std::string& name) {
    const auto corpus = kerf::testing::corpus_dir();
    if (!corpus) GTEST_SKIP() << "no corpus folder";
    const std::string target = m_dir.file(name);
    std::filesystem::copy_file(*corpus + "/" + relative, target);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const timespec times[2] = {{kAccessed, 0}, {kModified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
  }

  void expect_layouts(const std::string& name, const std::vector<LayoutCase>& cases) {
    kerf::testing::RunOptions options;
    options.working_dir = m_dir.path().string();
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      std::vector<std::string> args{name};
      args.insert(args.end(), c.options.begin(), c.options.end());
      const auto result = kerf::testing::run_kerf(args, options);
      EXPECT_EQ(result.status, 0) << result.err;
      struct stat status {};
      ASSERT_EQ(::stat(m_dir.file(name).c_str(), &status), 0);
      if (status.st_atim.tv_sec != kAccessed) GTEST_SKIP() << "this file system moves access times on every read";
      char date[16], time[16];
      std::tm parts{};
      ::gmtime_r(&status.st_ctim.tv_sec, &parts);
      std::strftime(date, sizeof date, "%Y-%m-%d", &parts);
      std::strftime(time, sizeof time, "%H:%M:%S", &parts);
      std::string expected = replace_all(c.expected, "{CDATE}", date);
      expected = replace_all(expected, "{CTIME}", time);
      expected = replace_all(expected, "{CUNIX}", std::to_string(status.st_ctim.tv_sec));
      EXPECT_EQ(after_header(result.out), expected);
    }
  }

  TempDir m_dir;
};

// Windows Vista, version 23: one run time, one volume.
TEST_F(CorpusLayouts, VistaCmdInEveryLayout) {
  copy("Vista/CMD.EXE-89305D47.pf", "CMD.EXE-89305D47.pf");
  if (IsSkipped()) return;
  expect_layouts("CMD.EXE-89305D47.pf", {
      {"long form", {}, R"EXPECTED(Analyzing file: CMD.EXE-89305D47.pf
modified:       2020-03-04 05:06:07
accessed:       2030-01-02 03:04:05
stats changed   {CDATE} {CTIME}

target file:    CMD.EXE, run 3 times
Last run:       2016-01-16 20:03:15.551
path:           \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE

 --------- files mapped --------- 

001 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\NTDLL.DLL
002 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\KERNEL32.DLL
003 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\LOCALE.NLS
004 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\ADVAPI32.DLL
005 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\RPCRT4.DLL
006 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE
007 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\MSVCRT.DLL

 --------- directories mapped --------- 

vol path:     \DEVICE\HARDDISKVOLUME1
time created: 2016-01-16 20:53:13.109
serial num:   e8ea-b8b5

001 : \DEVICE\HARDDISKVOLUME1\WINDOWS
002 : \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32

)EXPECTED"},
      {"csv", {"-csv"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run
CMD.EXE-89305D47.pf,CMD.EXE,3,2016-01-16, 20:03:15.551,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,\DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE,
)EXPECTED"},
      {"csv verbose", {"-csv", "-verbose"}, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,Num Vols,volume(s),volume serial(s),volume date/time(s) (UTC),Num modules,Module list,previous dates run
CMD.EXE-89305D47.pf,CMD.EXE,3,2016-01-16, 20:03:15.551,2020-03-04, 05:06:07.000,2030-01-02, 03:04:05.000,{CDATE}, {CTIME}.000,\DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE,1,\DEVICE\HARDDISKVOLUME1,e8ea-b8b5,2016-01-16 20:53:13.109,7,\DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\NTDLL.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\KERNEL32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\LOCALE.NLS; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\ADVAPI32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\RPCRT4.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\MSVCRT.DLL,
)EXPECTED"},
      {"csv paired", {"-csv", "-pair_datetime"}, R"EXPECTED(prefetch file name                        ,app name                      ,times ran,last run [UTC]         ,modify date [UTC]      ,access date [UTC]      ,changed date [UTC]     ,path/appname                                                                              ,previous dates run     
CMD.EXE-89305D47.pf                       ,CMD.EXE                       ,        3, 2016-01-16 20:03:15.551, 2020-03-04 05:06:07.000, 2030-01-02 03:04:05.000, {CDATE} {CTIME}.000,\DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE                                          ,                       
)EXPECTED"},
      {"csv no whitespace", {"-csv", "-no_whitespace"}, R"EXPECTED(prefetch file name,app name,times ran,last run,time-UTC,mdate,time-UTC,adate,time-UTC,cdate,time-UTC,path/appname,previous dates run
CMD.EXE-89305D47.pf,CMD.EXE,3,2016-01-16,20:03:15.551,2020-03-04,05:06:07.000,2030-01-02,03:04:05.000,{CDATE},{CTIME}.000,\DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE,
)EXPECTED"},
      {"log2timeline", {"-csvl2t"}, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2016-01-16, 20:03:15.551,UTC,..C.,PREFETCH,Vista/Win7 Prefetch,Last Run,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: ADVAPI32.DLL; CMD.EXE; KERNEL32.DLL; LOCALE.NLS; MSVCRT.DLL; NTDLL.DLL; RPCRT4.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
2020-03-04, 05:06:07.000,UTC,M...,PREFETCH,Vista/Win7 Prefetch,Last Modified,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: ADVAPI32.DLL; CMD.EXE; KERNEL32.DLL; LOCALE.NLS; MSVCRT.DLL; NTDLL.DLL; RPCRT4.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
{CDATE}, {CTIME}.000,UTC,...B,PREFETCH,Vista/Win7 Prefetch,Created,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: ADVAPI32.DLL; CMD.EXE; KERNEL32.DLL; LOCALE.NLS; MSVCRT.DLL; NTDLL.DLL; RPCRT4.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
2030-01-02, 03:04:05.000,UTC,.A..,PREFETCH,Vista/Win7 Prefetch,Last Access,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: ADVAPI32.DLL; CMD.EXE; KERNEL32.DLL; LOCALE.NLS; MSVCRT.DLL; NTDLL.DLL; RPCRT4.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
)EXPECTED"},
      {"log2timeline verbose", {"-csvl2t", "-verbose"}, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2016-01-16, 20:03:15.551,UTC,..C.,PREFETCH,Vista/Win7 Prefetch,Last Run,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\NTDLL.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\KERNEL32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\LOCALE.NLS; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\ADVAPI32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\RPCRT4.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\MSVCRT.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
2020-03-04, 05:06:07.000,UTC,M...,PREFETCH,Vista/Win7 Prefetch,Last Modified,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\NTDLL.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\KERNEL32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\LOCALE.NLS; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\ADVAPI32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\RPCRT4.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\MSVCRT.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
{CDATE}, {CTIME}.000,UTC,...B,PREFETCH,Vista/Win7 Prefetch,Created,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\NTDLL.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\KERNEL32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\LOCALE.NLS; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\ADVAPI32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\RPCRT4.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\MSVCRT.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
2030-01-02, 03:04:05.000,UTC,.A..,PREFETCH,Vista/Win7 Prefetch,Last Access,,,CMD.EXE-89305D47.pf [CMD.EXE executed],Module list: \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\NTDLL.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\KERNEL32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\LOCALE.NLS; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\ADVAPI32.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\RPCRT4.DLL; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE; \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\MSVCRT.DLL,2,CMD.EXE-89305D47.pf,,Run count: 3,kerf (quorvex),Volume name; serial#; date: [\DEVICE\HARDDISKVOLUME1; e8ea-b8b5; 2016-01-16 20:53:13.109]
)EXPECTED"},
      {"body file", {"-bodyfile"}, R"EXPECTED(md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time
0|CMD.EXE-89305D47.pf (Vista/Win7 Prefetch); run count: 3; app run: \DEVICE\HARDDISKVOLUME1\WINDOWS\SYSTEM32\CMD.EXE|0||0|0|6026|1893553445|1583298367|1452974595|{CUNIX}
)EXPECTED"},
  });
}

// Windows 10, version 30 in a MAM container: eight run times, two volumes.
TEST_F(CorpusLayouts, Windows10CmdTimelines) {
  copy("Win10/CMD.EXE-D269B812.pf", "W10.pf");
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

// The Sleuth Kit reads kerf's body file as it comes, run header included.
TEST_F(CorpusLayouts, SleuthKitReadsTheBodyFile) {
  const std::string mactime = "/usr/bin/mactime";
  if (::access(mactime.c_str(), X_OK) != 0) GTEST_SKIP() << "mactime (sleuthkit) is not installed";
  copy("Win10/CMD.EXE-D269B812.pf", "W10.pf");
  if (IsSkipped()) return;
  kerf::testing::RunOptions options;
  options.working_dir = m_dir.path().string();
  options.stdout_path = m_dir.file("body.txt");
  ASSERT_EQ(kerf::testing::run_kerf({"W10.pf", "-bodyfile"}, options).status, 0);
  const auto timeline =
      kerf::testing::run_program(mactime, {"-b", m_dir.file("body.txt"), "-d", "-y", "-z", "UTC"});
  ASSERT_EQ(timeline.status, 0) << timeline.err;
  const std::string prefix = "W10.pf (Win10 Prefetch); ";
  const std::string app = "; app run: \\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\CMD.EXE";
  for (const std::string& line : {
           "2015-12-17T22:34:21Z,6298,mac.,,0,0,0,\"" + prefix + "not last time run - but prevtime" + app + "\"",
           "2016-01-10T02:29:02Z,6298,mac.,,0,0,0,\"" + prefix + "not last time run - but prevtime" + app + "\"",
           "2016-01-12T20:07:03Z,6298,..c.,,0,0,0,\"" + prefix + "run count: 55" + app + "\"",
           "2020-03-04T05:06:07Z,6298,m...,,0,0,0,\"" + prefix + "run count: 55" + app + "\"",
           "2030-01-02T03:04:05Z,6298,.a..,,0,0,0,\"" + prefix + "run count: 55" + app + "\"",
       }) {
    EXPECT_NE(timeline.out.find(line + "\n"), std::string::npos) << line << "\n" << timeline.out;
  }
}

}  // namespace
