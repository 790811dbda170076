#include <gtest/gtest.h>

#include "platform/AppPaths.h"
#include "tests/platform/PlatformTestSupport.h"

namespace lumbrook {
namespace {

using test::EnvGuard;
using test::TempDir;

TEST(AppPaths, ABuildTreeKeepsEverythingBesideTheProgram) {
    TempDir dir;
    const AppPaths paths = AppPaths::forProgram(dir.str());
    EXPECT_EQ(paths.programDir, dir.str() + "/");
    EXPECT_EQ(paths.optionsFile, dir / "options.dat");
    EXPECT_EQ(paths.workDir, dir / "Message/");
    EXPECT_EQ(paths.templateDirs, (std::vector<std::string>{dir / "template/"}));

    dir.makeDirs("template/sub.htm");  // listed whatever it is; reading it gives the bare content
    for (const char* name : {"z.htm", "a.HTM", "m.htm", "notes.txt", "x.html"})
        dir.write(std::string("template/") + name, "%%INHALT%%\n");
    EXPECT_EQ(listDesignTemplates(paths), (std::vector<std::string>{"a.HTM", "m.htm", "sub.htm", "z.htm"}));
    EXPECT_EQ(designTemplatePath(paths, "m.htm"), dir / "template/m.htm");
    EXPECT_EQ(designTemplatePath(paths, "gone.htm"), "");
    EXPECT_EQ(designTemplatePath(paths, ""), "");
}

TEST(AppPaths, AnInstalledCopyUsesTheUsersDirectoriesAndTheDataDirectory) {
    TempDir home;
    EnvGuard config("XDG_CONFIG_HOME", home / "config");
    EnvGuard cache("XDG_CACHE_HOME", home / "cache");
    const AppPaths paths = AppPaths::forProgram(LUMBROOK_INSTALL_BIN_DIR);
    EXPECT_EQ(paths.optionsFile, home / "config/lumbrook/options.dat");
    EXPECT_EQ(paths.workDir, home / "cache/lumbrook/Message/");
    ASSERT_EQ(paths.templateDirs.size(), 2u);
    EXPECT_EQ(paths.templateDirs[1], std::string(LUMBROOK_DATA_DIR) + "/template/");

    // Installed under another prefix (a package in /usr, a copy in /opt/x), and
    // writable: the data beside it says it is installed.
    TempDir prefix;
    prefix.makeDirs("bin/lumbrook");
    prefix.makeDirs("share/lumbrook/template/x.htm");
    const AppPaths packaged = AppPaths::forProgram(prefix / "bin");
    EXPECT_EQ(packaged.optionsFile, home / "config/lumbrook/options.dat");
    EXPECT_EQ(packaged.workDir, home / "cache/lumbrook/Message/");
    EXPECT_EQ(packaged.templateDirs[1], prefix / "bin/../share/lumbrook/template/");
}

}  // namespace
}  // namespace lumbrook
