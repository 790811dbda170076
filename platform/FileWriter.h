#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"
#include "platform/FileNames.h"

namespace lumbrook {

// Writers for every file the program produces. A file that cannot be created, or
// whose bytes cannot all be written (a full disk, a lost mount), throws
// FileCreateError naming the full path: a half-written file is never reported as done.

// Creates a new file; an existing one (even one that appeared a moment ago) is
// never touched and makes this throw. The bytes are written under a temporary name
// in the same directory and the file is put in place only when whole, so that an
// interrupted run never leaves a cut-off file under the final name.
void writeFileNew(const std::string& path, std::string_view bytes);

// The one way a finished file gets its final name: the whole file, written under a
// temporary name in the same directory (on the same file system), is put in place
// as path unless something (a file, a directory, a link, even a dangling one) is
// there. Returns 0, or the errno value: EEXIST when the name is taken. On success
// the temporary name is gone; on failure the temporary file is left to the caller
// (who may try the next name with it). The file keeps its bytes and its times.
int placeNewFile(const std::string& temporary, const std::string& path);

// Writes all of bytes to fd, in pieces, again after a signal. False with errno set
// when the file takes no more; with watchStop, also (stopped set) when a stop is
// requested before a piece.
bool writeAll(int fd, std::string_view bytes, bool watchStop, bool& stopped);

// placeNewFile's last resort, for file systems that can neither rename without
// replacing nor make hard links (FAT, some network mounts); on its own for tests.
// Same contract as placeNewFile.
int copyIntoNewFile(const std::string& temporary, const std::string& path);

// As writeFileNew, under the next free name names hands out for stem + ext in dir
// (ending with a separator); a name taken by someone else meanwhile makes it take
// the next one. Returns the name the file got (without dir); triedName, when given,
// holds the last name tried, also when this throws.
std::string writeFileUnique(const std::string& dir, OutputNames& names, const std::string& stem,
                            std::string_view ext, std::string_view bytes,
                            std::string* triedName = nullptr);

// A file written in pieces, for outputs too large to build in memory first, with
// the same guarantees: a new file is written under a temporary name in its
// directory and put in place only when finished whole, never over anything; one
// not finished (a failed write, a stop, an exception before finish) leaves nothing.
class FileWriter {
  public:
    enum class Mode { Replace, New };
    FileWriter(const std::string& path, Mode mode);
    // A new file under the next free name names hands out for stem + ext in dir.
    FileWriter(const std::string& dir, OutputNames& names, const std::string& stem,
               std::string_view ext);
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    // Buffered; throws FileCreateError when the bytes cannot be written, and
    // StopRequestedError (removing the file) when a stop was asked for.
    void write(std::string_view bytes);
    // Writes what is buffered, closes the file and puts it in place; returns its
    // full path. Throws FileCreateError.
    std::string finish();

  private:
    void flush();
    [[noreturn]] void fail(bool stopped = false);

    std::string path;       // where the file goes (for unique names: the last tried)
    std::string temporary;  // the name it is written under, empty when replacing
    Mode mode;
    OutputNames* names = nullptr;
    std::string dir, stem, ext, firstName;
    int fd = -1;
    std::string buffer;
};

// A stop asked for from outside: a signal handler (the signal's number) or a
// window's Cancel (any non-zero value). Safe to call from a signal handler. Writers
// check it between their pieces of work: the file in hand is then removed, never
// left cut off, and StopRequestedError is thrown.
void requestStop(int reason) noexcept;
// The reason given, 0 when no stop was asked for.
int stopRequested() noexcept;
void clearStopRequest() noexcept;

class StopRequestedError : public LumbrookError {
public:
    explicit StopRequestedError(int reason)
        : LumbrookError(ErrorKind::StoppedBeforeComplete), reason(reason) {}
    int reason;
};


}  // namespace lumbrook
