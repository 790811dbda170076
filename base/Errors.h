#pragma once

#include <cerrno>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace lumbrook {

// What went wrong, without words: the layer that talks to the person words it
// (cli/ErrorText for the command line, mainwindow/ErrorReport for the window), so
// that a front end can say it in the person's language. Each kind names the
// argument it carries.
enum class ErrorKind {
    FileOpen,               // path, the system's error number (0 when it gave none)
    FileCreate,             // path, the system's error number (0 when it gave none)
    InvalidRegistryType,    // name of a registry value that should be text and is not
    PartWithoutOwner,       // name of a part used without the message that owns it
    StoppedBeforeComplete,  // -: a stop was asked for while a file was being written
    PrinterBusy,            // -
    NoPrinter,              // -
    PrintFailed,            // name of the printer
    SaveFailed,             // path of the message file, without its extension
    OutsideStore,           // path of a store file named outside its store directory
};

// The kind as it is spelled in the code: for logs and test names, never for a person.
constexpr std::string_view errorKindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::FileOpen:
            return "FileOpen";
        case ErrorKind::FileCreate:
            return "FileCreate";
        case ErrorKind::InvalidRegistryType:
            return "InvalidRegistryType";
        case ErrorKind::PartWithoutOwner:
            return "PartWithoutOwner";
        case ErrorKind::StoppedBeforeComplete:
            return "StoppedBeforeComplete";
        case ErrorKind::PrinterBusy:
            return "PrinterBusy";
        case ErrorKind::NoPrinter:
            return "NoPrinter";
        case ErrorKind::PrintFailed:
            return "PrintFailed";
        case ErrorKind::SaveFailed:
            return "SaveFailed";
        case ErrorKind::OutsideStore:
            return "OutsideStore";
    }
    return "Unknown";
}

// Every failure the user may see travels as one of these. what() is only the kind
// and its arguments ("FileOpen: /x/Inbox.dbx (errno 2)"), for logs.
class LumbrookError : public std::runtime_error {
public:
    explicit LumbrookError(ErrorKind kind, std::string argument = {}, int errorNumber = 0)
        : std::runtime_error(logText(kind, argument, errorNumber)),
          errorKind(kind),
          arg(std::move(argument)),
          error(errorNumber) {}
    ErrorKind kind() const { return errorKind; }
    // The path or name the kind names; empty for a kind without one.
    const std::string& argument() const { return arg; }
    // The system's error number behind the failure, 0 when there is none.
    int errorNumber() const { return error; }

private:
    static std::string logText(ErrorKind kind, const std::string& argument, int errorNumber) {
        std::string text(errorKindName(kind));
        if (!argument.empty()) text.append(": ").append(argument);
        if (errorNumber != 0) text.append(" (errno ").append(std::to_string(errorNumber)) += ')';
        return text;
    }

    ErrorKind errorKind;
    std::string arg;
    int error = 0;
};

class FileOpenError : public LumbrookError {
public:
    explicit FileOpenError(std::string path, int errorNumber = 0)
        : LumbrookError(ErrorKind::FileOpen, std::move(path), errorNumber) {}
    const std::string& path() const { return argument(); }
};

class FileCreateError : public LumbrookError {
public:
    explicit FileCreateError(std::string path, int errorNumber = 0)
        : LumbrookError(ErrorKind::FileCreate, std::move(path), errorNumber) {}
    const std::string& path() const { return argument(); }
};

// Called right after the system call that failed: its errno is the reason.
inline FileCreateError makeCreateError(std::string_view path) {
    return FileCreateError(std::string(path), errno);
}

}  // namespace lumbrook
