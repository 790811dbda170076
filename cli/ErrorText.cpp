#include "cli/ErrorText.h"

#include <cstring>
#include <ostream>

namespace lumbrook::cli {

namespace {
// Said as other tools say it, with the system's reason when there is one.
std::string withReason(std::string text, int errorNumber) {
    if (errorNumber == 0) return text;
    return text + ": " + std::strerror(errorNumber);
}
}  // namespace

std::string errorText(const LumbrookError& error) {
    const std::string& arg = error.argument();
    switch (error.kind()) {
        case ErrorKind::FileOpen:
            return withReason("cannot open " + arg, error.errorNumber());
        case ErrorKind::FileCreate:
            return withReason("cannot create " + arg, error.errorNumber());
        case ErrorKind::InvalidRegistryType:
            return "the registry value '" + arg + "' is not text";
        case ErrorKind::PartWithoutOwner:
            return arg + ": a message part without its message";
        case ErrorKind::StoppedBeforeComplete:
            return "stopped before the file was complete";
        case ErrorKind::PrinterBusy:
            return "the printer is still busy with the previous page";
        case ErrorKind::NoPrinter:
            return "no printer is installed";
        case ErrorKind::PrintFailed:
            return "cannot print on the printer " + arg;
        case ErrorKind::SaveFailed:
            // The window names the file without its extension; here it is the file.
            return withReason("cannot create " + arg + ".eml", error.errorNumber());
        case ErrorKind::OutsideStore:
            return arg + " lies outside the store directory and is not read";
    }
    return error.what();
}

std::string errorText(const std::exception& error) {
    if (const auto* known = dynamic_cast<const LumbrookError*>(&error)) return errorText(*known);
    return error.what();
}

void FailureList::add(const LumbrookError& error) {
    const bool creating = error.kind() == ErrorKind::FileCreate || error.kind() == ErrorKind::SaveFailed;
    const std::string text = creating ? std::string() : errorText(error);
    for (auto& g : groups) {
        if (g.creating == creating && g.errorNumber == error.errorNumber() && g.text == text) {
            ++g.count;
            return;
        }
    }
    groups.push_back({creating, error.errorNumber(), text,
                      error.kind() == ErrorKind::SaveFailed ? error.argument() + ".eml" : error.argument(), 1});
}

std::size_t FailureList::count() const {
    std::size_t n = 0;
    for (const auto& g : groups) n += g.count;
    return n;
}

void FailureList::print(std::ostream& out) const {
    for (const auto& g : groups) {
        out << "lumbrook-cli: ";
        if (!g.creating) {
            out << g.text;
            if (g.count > 1) out << " (" << g.count << " times)";
        } else {
            std::string text = "cannot create " + g.firstPath;
            if (g.count == 2) text += " and 1 other file";
            else if (g.count > 2) text += " and " + std::to_string(g.count - 1) + " other files";
            out << withReason(text, g.errorNumber);
        }
        out << '\n';
    }
}

std::string folderListProblemText(const FolderListProblem& problem) {
    switch (problem.kind) {
        case FolderListProblem::Kind::Missing:
            return "no folder list " + problem.path +
                   "; every .dbx folder file of the directory is listed by its file name";
        case FolderListProblem::Kind::Unreadable:
            return "the folder list " + problem.path +
                   " is damaged; every .dbx folder file of the directory is listed by its file name";
    }
    return {};
}

}  // namespace lumbrook::cli
