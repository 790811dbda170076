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

// A page or text file: every line followed by CR LF.
std::string joinLinesCrlf(const std::vector<std::string>& lines);

}  // namespace lumbrook
