#pragma once

// A directory the program writes into (a conversion's or recovery's output), held
// open so that nothing written below it can be steered elsewhere. Someone with
// write access to the destination may have planted links in it (OUT/Inbox pointing
// at a user's file, OUT/deleted at a directory elsewhere, a dangling link whose
// target would be created): every directory below it is opened relative to its
// parent with O_NOFOLLOW, every file created relative to its directory with
// O_EXCL|O_NOFOLLOW and put in place with renameat2/linkat relative to it, so a
// link is met as an error that names it and never written through.

#include <sys/types.h>

#include <cerrno>
#include <cstddef>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/Errors.h"

namespace lumbrook {

// A link (or something else not a directory or regular file) where the program was
// to write; path() names it. Front ends that know the kind say it is a link; the
// others still name the file that could not be created.
class LinkInDestinationError : public FileCreateError {
public:
    explicit LinkInDestinationError(std::string path) : FileCreateError(std::move(path)) {}
};

// How the command line and the conversion's report say it.
inline std::string linkInDestinationText(const LinkInDestinationError& error) {
    return error.path() + " is a link or not a plain file or directory; nothing was written through it";
}

class DestinationDirectory {
public:
    // The directory the user named, made with its missing parents (as mkdir -p
    // does: a dangling link on the way is refused, not created through). The path
    // the user gave is taken as it is, links in it included: it is theirs.
    static DestinationDirectory openRoot(const std::string& path);

    DestinationDirectory(DestinationDirectory&& other) noexcept;
    DestinationDirectory& operator=(DestinationDirectory&& other) noexcept;
    DestinationDirectory(const DestinationDirectory&) = delete;
    DestinationDirectory& operator=(const DestinationDirectory&) = delete;
    ~DestinationDirectory();

    int fd() const { return descriptor; }
    // The full path, for messages only.
    const std::string& path() const { return fullPath; }
    std::string pathOf(std::string_view name) const;

    // The subdirectory name (one component), made when missing and create is set.
    // Throws LinkInDestinationError for a link or a file in its place, and
    // FileCreateError when it can be neither made nor opened.
    DestinationDirectory subdirectory(const std::string& name, bool create = true) const;

    // openat(name, flags | O_NOFOLLOW | O_CLOEXEC); -1 with errno as open leaves
    // it, except that a link in name's place throws LinkInDestinationError.
    int openFile(const std::string& name, int flags, mode_t mode = 0644) const;
    // Whether something (a link included) is called name.
    bool exists(const std::string& name) const;

    // A new temporary file of this process, ".lumbrook-<pid>-<n>.part": a name no
    // message or folder ever gets (their names never begin with a dot), which the
    // next run recognises and removes once this process is gone. -1 when none can
    // be made (errno set).
    int createTemporary(std::string& name) const;
    // Removes the temporary files of this kind that runs which no longer live left
    // here (killed half-way); returns how many.
    std::size_t removeStaleTemporaries() const;

    // placeNewFile's rule inside this directory: temporary goes to name unless
    // anything at all is there. 0 or the errno value (EEXIST: taken). On failure the
    // temporary file is left to the caller.
    int placeNew(const std::string& temporary, const std::string& name) const;
    // As placeNew, the temporary file living in another destination directory.
    int placeNewFrom(const DestinationDirectory& from, const std::string& temporary,
                     const std::string& name) const;

    void remove(const std::string& name) const;

private:
    DestinationDirectory(int descriptor, std::string fullPath);
    int descriptor = -1;
    std::string fullPath;
};

// For tests of resuming only: when the environment sets LUMBROOK_TEST_KILL_AT=N,
// the N-th call in this process (counted over all writers that call it, at the
// moments where a kill is hardest to recover from) runs lastWords and then kills
// the process with SIGKILL, exactly as a power cut or an OOM kill would end it.
// Without the variable it costs one load of a flag.
void testKillPoint(const std::function<void()>& lastWords = {});

// Writes bytes whole under a temporary name in dir and puts them in place as the
// first of name(0), name(1), ... that is free; a name at which a file already holds
// exactly these bytes counts as done instead (a run that stopped, or whose record
// was lost, after putting it there). Returns the name and whether it was written
// (false: found in place). Throws FileCreateError, and StopRequestedError when a stop
// was asked for, leaving no temporary file behind.
struct PlacedFile {
    std::string name;
    bool written = false;
};
template <typename NameFor>
PlacedFile writeNewOrFindSame(const DestinationDirectory& dir, std::string_view bytes, NameFor nameFor);

// The pieces of the above, for callers with their own naming.
std::string writeTemporaryFile(const DestinationDirectory& dir, std::string_view bytes);
bool holdsExactly(const DestinationDirectory& dir, const std::string& name, std::string_view bytes);

template <typename NameFor>
PlacedFile writeNewOrFindSame(const DestinationDirectory& dir, std::string_view bytes, NameFor nameFor) {
    std::string temporary;
    for (std::size_t k = 0; k < 100000; ++k) {
        const std::string name = nameFor(k);
        if (dir.exists(name)) {
            if (holdsExactly(dir, name, bytes)) {
                if (!temporary.empty()) dir.remove(temporary);
                return {name, false};
            }
            continue;
        }
        if (temporary.empty()) {
            temporary = writeTemporaryFile(dir, bytes);
            testKillPoint();
        }
        const int error = dir.placeNew(temporary, name);
        if (error == 0) return {name, true};
        if (error != EEXIST) {
            dir.remove(temporary);
            throw makeCreateError(dir.pathOf(name));
        }
    }
    if (!temporary.empty()) dir.remove(temporary);
    throw makeCreateError(dir.pathOf(nameFor(0)));
}

}  // namespace lumbrook
