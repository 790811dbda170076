#include <gtest/gtest.h>

#include "render/AppPaths.h"
#include "tests/platform/PlatformTestSupport.h"

namespace lumbrook {
namespace {

using test::TEnvGuard;
using test::TTempDir;

TEST(AppPaths, ABuildTreeKeepsEverythingBesideTheProgram) {
    TTempDir dir;
    const TAppPaths paths = TAppPaths::ForProgram(dir.Str());
    EXPECT_EQ(paths.ProgramDir, dir.Str() + "/");
    EXPECT_EQ(paths.OptionsFile, dir / "options.dat");
    EXPECT_EQ(paths.WorkDir, dir / "Message/");
    EXPECT_EQ(paths.TemplateDirs, (std::vector<std::string>{dir / "template/"}));

    dir.MakeDirs("template/sub.htm");  // listed whatever it is; reading it gives the bare content
    for (const char* name : {"z.htm", "a.HTM", "m.htm", "notes.txt", "x.html"})
        dir.Write(std::string("template/") + name, "%%INHALT%%\n");
    EXPECT_EQ(ListDesignTemplates(paths), (std::vector<std::string>{"a.HTM", "m.htm", "sub.htm", "z.htm"}));
    EXPECT_EQ(DesignTemplatePath(paths, "m.htm"), dir / "template/m.htm");
    EXPECT_EQ(DesignTemplatePath(paths, "gone.htm"), "");
    EXPECT_EQ(DesignTemplatePath(paths, ""), "");
}

TEST(AppPaths, AnInstalledCopyUsesTheUsersDirectoriesAndTheDataDirectory) {
    TTempDir home;
    TEnvGuard config("XDG_CONFIG_HOME", home / "config");
    TEnvGuard cache("XDG_CACHE_HOME", home / "cache");
    const TAppPaths paths = TAppPaths::ForProgram(LUMBROOK_INSTALL_BIN_DIR);
    EXPECT_EQ(paths.OptionsFile, home / "config/lumbrook/options.dat");
    EXPECT_EQ(paths.WorkDir, home / "cache/lumbrook/Message/");
    ASSERT_EQ(paths.TemplateDirs.size(), 2u);
    EXPECT_EQ(paths.TemplateDirs[1], std::string(LUMBROOK_DATA_DIR) + "/template/");
}

}  // namespace
}  // namespace lumbrook
