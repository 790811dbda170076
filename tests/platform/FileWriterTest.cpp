#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PlatformTestSupport.h"
#include "platform/FileWriter.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// While it lives, files of this process cannot grow past limit bytes: writes past
// it fail (EFBIG) as on a full disk, instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit lower{limit, old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }

private:
    rlimit old{};
    void (*oldHandler)(int);
};

// Both ways of putting a finished file in place, the usual one and the copy for
// file systems that can neither rename without replacing nor link: the bytes and
// the time arrive, nothing under the name is ever replaced, and a copy that fails
// leaves no cut-off file under the final name.
TEST(FileWriter, PlacingANewFileNeverReplacesAnythingAlsoByCopy) {
    const std::string bytes = std::string(200000, 'x') + "end";
    constexpr time_t Time = 1063555325;  // 2003-09-14
    for (const auto place : {&placeNewFile, &copyIntoNewFile}) {
        SCOPED_TRACE(place == &placeNewFile ? "placeNewFile" : "copyIntoNewFile");
        test::TempDir dir;
        const std::string temp = dir / ".part";
        const auto writeTemp = [&] {
            dir.write(".part", bytes);
            const timespec times[2] = {{Time, 0}, {Time, 0}};
            ::utimensat(AT_FDCWD, temp.c_str(), times, 0);
        };
        writeTemp();
        dir.write("taken", "mine");
        fs::create_symlink(dir / "nowhere", dir / "link");
        fs::create_directory(dir / "folder");
        for (const char* name : {"taken", "link", "folder"}) {
            EXPECT_EQ(place(temp, dir / name), EEXIST) << name;
            EXPECT_EQ(readBytes(temp), bytes);
        }
        EXPECT_EQ(readBytes(dir / "taken"), "mine");
        EXPECT_FALSE(fs::exists(dir / "nowhere"));

        ASSERT_EQ(place(temp, dir / "new"), 0);
        EXPECT_EQ(readBytes(dir / "new"), bytes);
        struct stat st;
        ASSERT_EQ(::stat((dir / "new").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, Time);
        EXPECT_FALSE(fs::exists(temp));

        writeTemp();
        if (place == &copyIntoNewFile) {
            {
                FileSizeLimit limit(4096);
                EXPECT_EQ(place(temp, dir / "cut"), EFBIG);
            }
            EXPECT_FALSE(fs::exists(dir / "cut"));
            EXPECT_EQ(readBytes(temp), bytes);
        }
        // .part, folder, link, new, taken: no claim or copy left over.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.str()), fs::directory_iterator()), 5);
    }
}

}  // namespace
}  // namespace lumbrook
