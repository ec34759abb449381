#include "driver/env_expand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Sets one environment variable for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* variable, const char* value) : name(variable) { ::setenv(name, value, 1); }
  ~ScopedEnv() { ::unsetenv(name); }
  const char* name;
};

TEST(ExpandEnvVars, ReplacesSetVariablesAndKeepsTheRest) {
  const ScopedEnv dir("KERF_T_DIR", "/cases/42");
  const ScopedEnv nested("KERF_T_NESTED", "%KERF_T_DIR%/pf");
  for (const char* unset : {"KERF_T_NOPE", "vss", "VSS", "VsS"}) ::unsetenv(unset);
  const ScopedEnv one("KQ", "x");
  const std::string vss_prefix = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += "%KQ%";
  struct Case {
    std::string text;
    std::string out;
  };
  const Case cases[] = {
      {"%KERF_T_NESTED%/%KERF_T_DIR%", "/cases/42/pf//cases/42"},
      {"%KERF_T_NOPE%%KERF_T_DIR%", "%KERF_T_NOPE%/cases/42"},
      {"%VsS%1\\%KERF_T_DIR%", vss_prefix + "1\\/cases/42"},
      {hundred, std::string(100, 'x')},
      {std::string(500, 'p') + "%KERF_T_DIR%", std::string(500, 'p') + "/cases/42"},
      {std::string(501, 'p') + "%KERF_T_DIR%", std::string(501, 'p') + "%KERF_T_DIR%"},  // 513 long
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kerf::expand_env_vars(c.text), c.out) << c.text;
  }
  const ScopedEnv named_vss("vss", "/mnt/shadow");  // a variable of that name wins over the prefix
  EXPECT_EQ(kerf::expand_env_vars("%vss%1"), "/mnt/shadow1");
}

TEST(ExpandEnvVars, SelfReferencesAndCyclesEnd) {
  const ScopedEnv self("KERF_T_SELF", "%KERF_T_SELF%");
  const ScopedEnv ping("KERF_T_PING", "%KERF_T_PONG%");
  const ScopedEnv pong("KERF_T_PONG", "%KERF_T_PING%");
  const ScopedEnv dir("KERF_T_DIR", "/d");
  // The runaway reference stays; expansion goes on after it.
  EXPECT_EQ(kerf::expand_env_vars("%KERF_T_SELF%%KERF_T_DIR%"), "%KERF_T_SELF%/d");
  EXPECT_EQ(kerf::expand_env_vars("%KERF_T_PING%/%KERF_T_DIR%"), "%KERF_T_PING%//d");

  const ScopedEnv grow("KERF_T_GROW", "ab%KERF_T_GROW%");
  const std::string out = kerf::expand_env_vars("%KERF_T_GROW%");
  EXPECT_GE(out.size(), 513u);
  EXPECT_LT(out.size(), 513u + 16);
  EXPECT_EQ(out.substr(out.size() - 13), "%KERF_T_GROW%");
}

}  // namespace
