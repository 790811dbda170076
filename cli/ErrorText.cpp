#include "cli/ErrorText.h"

#include <cstring>

namespace lumbrook::cli {

std::string errorText(const LumbrookError& error) {
    const std::string& arg = error.argument();
    switch (error.kind()) {
        case ErrorKind::FileOpen:
            // Said as other tools say it, with the system's reason.
            if (error.errorNumber() == 0) return "cannot open " + arg;
            return "cannot open " + arg + ": " + std::strerror(error.errorNumber());
        case ErrorKind::FileCreate:
            return "Datei " + arg + " kann nicht erstellt werden";
        case ErrorKind::InvalidRegistryType:
            return "Ungültiger Datentyp für '" + arg + "'";
        case ErrorKind::PartWithoutOwner:
            return arg + ": MailPart must be owned by a MailMessage";
        case ErrorKind::StoppedBeforeComplete:
            return "Stopped before the file was complete.";
        case ErrorKind::PrinterBusy:
            return "The printer is still busy with the previous page.";
        case ErrorKind::NoPrinter:
            return "No printer is installed, so nothing can be printed.";
        case ErrorKind::PrintFailed:
            return "The page could not be printed on the printer \"" + arg + "\".";
        case ErrorKind::SaveFailed:
            return "The file \"" + arg + "\" could not be created!";
        case ErrorKind::OutsideStore:
            return arg + " lies outside the store directory and is not read";
    }
    return error.what();
}

std::string errorText(const std::exception& error) {
    if (const auto* known = dynamic_cast<const LumbrookError*>(&error)) return errorText(*known);
    return error.what();
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
