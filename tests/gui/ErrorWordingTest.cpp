// The words a person reads for each kind of failure: the command line's and the
// window's, each with the failure's path or name put in. No window needed.

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <stdexcept>
#include <string>

#include "base/Errors.h"
#include "cli/ErrorText.h"
#include "mainwindow/ErrorReport.h"

namespace lumbrook {
namespace {

TEST(ErrorWording, EveryKindIsWordedForTheCommandLineAndTheWindow) {
    const std::string noPrinter =
        "No printer is installed, so nothing can be printed.\n\n"
        "Install a printer, or name a directory for PDF files in the environment variable "
        "LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF file there.";
    struct Case {
        LumbrookError error;
        std::string commandLine;
        std::string window;
    };
    const Case cases[] = {
        {FileOpenError("/s/Inbox.dbx", ENOENT),
         "cannot open /s/Inbox.dbx: No such file or directory",
         "Datei /s/Inbox.dbx kann nicht geöffnet werden"},
        {FileOpenError("/s/page.htm"), "cannot open /s/page.htm",
         "Datei /s/page.htm kann nicht geöffnet werden"},
        {FileCreateError("/out/a%1b.txt", EACCES), "cannot create /out/a%1b.txt: Permission denied",
         "Datei /out/a%1b.txt kann nicht erstellt werden"},
        // A name from a store in its code page reaches the window decoded.
        {FileCreateError("/out/Gr\xFC\xDF" "e.eml"),
         "cannot create /out/Gr\xFC\xDF" "e.eml",
         "Datei /out/Grüße.eml kann nicht erstellt werden"},
        {LumbrookError(ErrorKind::InvalidRegistryType, "Store Root"),
         "the registry value 'Store Root' is not text", "Ungültiger Datentyp für 'Store Root'"},
        {LumbrookError(ErrorKind::PartWithoutOwner, "Part7"),
         "Part7: a message part without its message", "Part7: MailPart must be owned by a MailMessage"},
        {LumbrookError(ErrorKind::StoppedBeforeComplete), "stopped before the file was complete",
         "Stopped before the file was complete."},
        {LumbrookError(ErrorKind::PrinterBusy), "the printer is still busy with the previous page",
         "The printer is still busy with the previous page."},
        {LumbrookError(ErrorKind::NoPrinter),
         "no printer is installed", noPrinter},
        {LumbrookError(ErrorKind::PrintFailed, "Büro"),
         "cannot print on the printer Büro",
         "The page could not be printed on the printer \"Büro\"."},
        {LumbrookError(ErrorKind::SaveFailed, "/out/Hi", ENOSPC),
         "cannot create /out/Hi.eml: No space left on device",
         "The file \"/out/Hi\" could not be created!"},
        {LumbrookError(ErrorKind::OutsideStore, "/s/../private/Inbox.dbx"),
         "/s/../private/Inbox.dbx lies outside the store directory and is not read",
         "/s/../private/Inbox.dbx lies outside the store directory and is not read."},
    };
    std::set<ErrorKind> worded;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error.what());
        worded.insert(c.error.kind());
        EXPECT_EQ(cli::errorText(c.error), c.commandLine);
        EXPECT_EQ(errorText(c.error).toStdString(), c.window);
        // Thrown and caught as any failure, the error keeps its words.
        try {
            throw c.error;
        } catch (const std::exception& e) {
            EXPECT_EQ(cli::errorText(e), c.commandLine);
            EXPECT_EQ(errorText(e).toStdString(), c.window);
        }
    }
    EXPECT_EQ(worded.size(), static_cast<std::size_t>(ErrorKind::OutsideStore) + 1);

    // A failure from outside the program is said as it says itself.
    const std::runtime_error other("disk on fire");
    EXPECT_EQ(cli::errorText(other), "disk on fire");
    EXPECT_EQ(errorText(other).toStdString(), "disk on fire");
}

}  // namespace
}  // namespace lumbrook
