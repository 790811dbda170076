#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace lumbrook {

// Every failure the user may see travels as one of these; what() is the text shown,
// in the program's own wording (German run-time texts included).
class LumbrookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class FileOpenError : public LumbrookError {
public:
    using LumbrookError::LumbrookError;
    // The full path tried and the system's error number (0 when the system gave
    // none), for front ends that word the failure themselves.
    FileOpenError(const std::string& message, std::string path, int errorNumber)
        : LumbrookError(message), filePath(std::move(path)), error(errorNumber) {}
    const std::string& path() const { return filePath; }
    int errorNumber() const { return error; }

private:
    std::string filePath;
    int error = 0;
};

class FileCreateError : public LumbrookError {
public:
    using LumbrookError::LumbrookError;
};

// Replaces the first "%s" of a message template; the argument is inserted verbatim.
inline std::string formatMessage(std::string_view pattern, std::string_view arg) {
    const auto pos = pattern.find("%s");
    if (pos == std::string_view::npos) return std::string(pattern);
    std::string out;
    out.reserve(pattern.size() + arg.size());
    out.append(pattern.substr(0, pos)).append(arg).append(pattern.substr(pos + 2));
    return out;
}

inline constexpr std::string_view SFOpenError = "Datei %s kann nicht geöffnet werden";
inline constexpr std::string_view SFCreateError = "Datei %s kann nicht erstellt werden";
inline constexpr std::string_view SInvalidRegType = "Ungültiger Datentyp für '%s'";

inline FileOpenError makeOpenError(std::string_view path) {
    return FileOpenError(formatMessage(SFOpenError, path));
}
inline FileCreateError makeCreateError(std::string_view path) {
    return FileCreateError(formatMessage(SFCreateError, path));
}

}  // namespace lumbrook
