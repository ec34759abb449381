#include "lib/path_ops.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets (or unsets) one environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (m_old) {
      ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

const std::string kLongVss = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";

TEST(PathOps, SplitPath) {
  struct Case {
    std::string path, directory, name;
  };
  const Case cases[] = {
      {"C:\\Windows\\Temp\\notes.txt", "C:\\Windows\\Temp", "notes.txt"},
      {"a/b/..", "a/b//..", "."},
      {"a\\b\\..", "a\\b\\..", "."},
      {"notes.txt", ".", "notes.txt"},
      {"/x", ".", "/x"},
      {"\\x", ".", "\\x"},
      {"/home/u/NOTEPAD.EXE-1A2B3C4D.pf", "/home/u", "NOTEPAD.EXE-1A2B3C4D.pf"},
      {"d\\e/f", "d", "e/f"},  // a backslash wins over later slashes
      {"dir/", "dir", ""},
      {".", ".", "."},
      {"..", ".", ".."},
  };
  for (const Case& c : cases) {
    std::string directory = "stale", name = "stale";
    EXPECT_TRUE(qv::split_path(c.path, directory, name)) << c.path;
    EXPECT_EQ(directory, c.directory) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }

  std::string directory = "stale", name = "stale";
  EXPECT_FALSE(qv::split_path(std::string(), directory, name));
  EXPECT_EQ(directory, "");
  EXPECT_EQ(name, "");

  std::wstring wide_directory, wide_name;
  EXPECT_TRUE(qv::split_path(std::wstring(L"a/b/.."), wide_directory, wide_name));
  EXPECT_EQ(wide_directory, L"a/b//..");
  EXPECT_EQ(wide_name, L".");
}

TEST(ExpandEnvVars, ReplacesSetVariablesAndKeepsTheRest) {
  ScopedEnv dir("KERF_T_DIR", "/cases/42");
  ScopedEnv nested("KERF_T_NESTED", "%KERF_T_DIR%/pf");
  ScopedEnv empty("KERF_T_EMPTY", "");
  ScopedEnv unset("KERF_T_NOPE", nullptr);
  ScopedEnv vss("vss", nullptr);
  ScopedEnv vss_upper("VSS", nullptr);
  ScopedEnv vss_mixed("VsS", nullptr);

  struct Case {
    std::string text;
    bool vss;
    std::string out;
  };
  const Case cases[] = {
      {"%KERF_T_DIR%/a.pf", false, "/cases/42/a.pf"},
      {"%KERF_T_NESTED%/%KERF_T_DIR%", false, "/cases/42/pf//cases/42"},
      {"x%KERF_T_EMPTY%y", false, "xy"},
      {"%KERF_T_NOPE%/a.pf", false, "%KERF_T_NOPE%/a.pf"},
      {"%KERF_T_NOPE%%KERF_T_DIR%", false, "%KERF_T_NOPE%/cases/42"},
      {"100% done", false, "100% done"},
      {"%vss%1\\Windows", true, kLongVss + "1\\Windows"},
      {"%VsS%1\\%KERF_T_DIR%", true, kLongVss + "1\\/cases/42"},
      {"%vss%1\\Windows", false, "%vss%1\\Windows"},
      {"", true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qv::expand_env_vars(c.text, c.vss), c.out) << c.text;
  }
}

TEST(ExpandEnvVars, VariableNamedVssWinsOverThePrefix) {
  ScopedEnv vss("vss", "/mnt/shadow");
  EXPECT_EQ(qv::expand_env_vars("%vss%1", true), "/mnt/shadow1");
}

TEST(ExpandEnvVars, SelfReferenceAndCyclesEnd) {
  ScopedEnv self("KERF_T_SELF", "%KERF_T_SELF%");
  ScopedEnv ping("KERF_T_PING", "%KERF_T_PONG%");
  ScopedEnv pong("KERF_T_PONG", "%KERF_T_PING%");
  ScopedEnv dir("KERF_T_DIR", "/d");

  // The runaway reference stays; expansion goes on after it.
  EXPECT_EQ(qv::expand_env_vars("%KERF_T_SELF%", false), "%KERF_T_SELF%");
  EXPECT_EQ(qv::expand_env_vars("%KERF_T_SELF%%KERF_T_DIR%", false), "%KERF_T_SELF%/d");
  EXPECT_EQ(qv::expand_env_vars("%KERF_T_PING%/%KERF_T_DIR%", false), "%KERF_T_PING%//d");
}

TEST(ExpandEnvVars, GrowingCycleEndsAtTheLengthLimit) {
  ScopedEnv grow("KERF_T_GROW", "ab%KERF_T_GROW%");
  const std::string out = qv::expand_env_vars("%KERF_T_GROW%", false);
  EXPECT_GE(out.size(), 513u);
  EXPECT_LT(out.size(), 513u + 16);
  EXPECT_EQ(out.substr(out.size() - 13), "%KERF_T_GROW%");
}

TEST(ExpandEnvVars, ManyReferencesAreAllExpanded) {
  ScopedEnv one("KQ", "x");
  std::string text;
  for (int i = 0; i < 100; ++i) text += "%KQ%";
  EXPECT_EQ(qv::expand_env_vars(text, false), std::string(100, 'x'));
}

TEST(ExpandEnvVars, NothingIsExpandedFrom513Characters) {
  ScopedEnv dir("KERF_T_DIR", "/d");
  const std::string ref = "%KERF_T_DIR%";
  const std::string just_under = std::string(512 - ref.size(), 'p') + ref;
  const std::string at_limit = std::string(513 - ref.size(), 'p') + ref;
  EXPECT_EQ(qv::expand_env_vars(just_under, false), std::string(500, 'p') + "/d");
  EXPECT_EQ(qv::expand_env_vars(at_limit, false), at_limit);
}

}  // namespace
