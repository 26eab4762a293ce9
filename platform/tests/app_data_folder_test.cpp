#include "platform/app_data_folder.h"

#include <gtest/gtest.h>

#include "support/test_env.h"

namespace {

using platform::LocalAppDataFolder;
using test_env::ScopedEnv;

TEST(LocalAppDataFolder, PrefersAbsoluteXdgDataHome) {
  ScopedEnv xdg("XDG_DATA_HOME", "/srv/data//");
  ScopedEnv home("HOME", "/home/pupil");
  EXPECT_EQ(LocalAppDataFolder(), "/srv/data");
}

TEST(LocalAppDataFolder, FallsBackToHomeWhenXdgIsMissingEmptyOrRelative) {
  ScopedEnv home("HOME", "/home/pupil/");
  for (std::optional<std::string> xdg : {std::optional<std::string>(), std::optional<std::string>(""),
                                         std::optional<std::string>("relative/data")}) {
    ScopedEnv scoped("XDG_DATA_HOME", xdg);
    EXPECT_EQ(LocalAppDataFolder(), "/home/pupil/.local/share") << xdg.value_or("(unset)");
  }
  ScopedEnv rootHome("HOME", "/");
  ScopedEnv noXdg("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(LocalAppDataFolder(), "/.local/share");
}

TEST(LocalAppDataFolder, NotResolvableWithoutUsableVariables) {
  ScopedEnv noXdg("XDG_DATA_HOME", std::nullopt);
  {
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_FALSE(LocalAppDataFolder());
  }
  {
    ScopedEnv relativeHome("HOME", "pupil");
    EXPECT_FALSE(LocalAppDataFolder());
  }
  {
    ScopedEnv hugeHome("HOME", "/" + std::string(5000, 'h'));
    EXPECT_FALSE(LocalAppDataFolder());
  }
}

}  // namespace
