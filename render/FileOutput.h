#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumbrook {

// Writers for every file the program produces. A file that cannot be created, or
// whose bytes cannot all be written (a full disk, a lost mount), throws
// FileCreateError naming the full path: a half-written file is never reported as done.

// Creates or replaces the file. A symbolic link in its place is not followed.
void writeFileReplacing(const std::string& path, std::string_view bytes);

// Creates a new file; an existing one (even one that appeared a moment ago) is
// never touched and makes this throw. A file that cannot be written whole is
// removed again.
void writeFileNew(const std::string& path, std::string_view bytes);

// A file written in pieces, for outputs too large to build in memory first. The
// same guarantees: New never touches an existing file, and a New file that is not
// finished whole (a failed write, an exception before finish) is removed again.
class FileWriter {
  public:
    enum class Mode { Replace, New };
    FileWriter(const std::string& path, Mode mode);
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    // Buffered; throws FileCreateError when the bytes cannot be written.
    void write(std::string_view bytes);
    // Writes what is buffered and closes the file; throws FileCreateError.
    void finish();

  private:
    void flush();
    void fail();

    std::string path;
    Mode mode;
    int fd = -1;
    std::string buffer;
};

// A page or text file: every line followed by CR LF.
std::string joinLinesCrlf(const std::vector<std::string>& lines);

}  // namespace lumbrook
