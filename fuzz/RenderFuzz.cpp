// The page pipeline fed with a parsed message: the preview page with and without
// the design, and export, all into a scratch directory. Whatever the message says
// (Content-IDs with separators or "..", subjects with "/"), nothing may appear
// outside the output directory, and nothing below it but plain files.
//
// Input: 8 bytes of the record's date (little-endian file time), one byte of
// switches, then the record's subject, from and to, each ended by a line feed,
// then the raw message text.
#include <cstring>
#include <string>

#include "base/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Files.h"
#include "render/Output.h"
#include "render/Render.h"

using namespace lumbrook;

namespace {

struct TScene {
    std::string Root;      // holds only Template and the path down to Out
    std::string Out;       // the user's chosen directory
    std::string Template;  // a design with every placeholder
    std::string Expected;  // ListTree(Root) with Out empty
};

const TScene& Scene() {
    static const TScene scene = [] {
        TScene s;
        s.Root = fuzz::ScratchDir() + "render/";
        s.Out = s.Root + "a/b/out/";
        s.Template = s.Root + "design.htm";
        ForceDirectories(s.Out);
        fuzz::WriteScratchFile(
            s.Template,
            "<html><head><title>\r\n%%UEBERSCHRIFT%%\r\n</title></head><body>\r\n"
            "%%INHALT%%\r\n<p>\r\n%%UNTERSCHRIFT%%\r\n</body></html>\r\n");
        s.Expected = fuzz::ListTree(s.Root);
        return s;
    }();
    return scene;
}

std::string_view TakeLine(std::string_view& Rest) {
    const std::size_t lf = Rest.find('\n');
    const std::string_view line = Rest.substr(0, lf);
    Rest = lf == std::string_view::npos ? std::string_view() : Rest.substr(lf + 1);
    return line;
}

// Everything written must sit directly in Out, as a plain file.
void CheckOnlyOut(const TScene& S) {
    const std::string tree = fuzz::ListTree(S.Root);
    std::string_view rest = tree;
    std::string_view expected = S.Expected;
    std::string outside;
    for (std::string_view line = TakeLine(rest); !line.empty() || !rest.empty();
         line = TakeLine(rest)) {
        if (line.empty()) continue;
        if (expected.find(std::string(line) + "\n") != std::string_view::npos) continue;
        const std::string_view inOut = "a/b/out/";
        if (line.starts_with(inOut) &&
            line.substr(inOut.size()).find('/') == std::string_view::npos &&
            line.size() > inOut.size())
            continue;
        outside += std::string(line) + " ";
    }
    if (!outside.empty()) fuzz::Broken("written outside the output directory: " + outside);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 9) return 0;
    const TScene& scene = Scene();
    Toe5_MessageInfo record;
    std::memcpy(&record.Date, Data, 8);
    const std::uint8_t switches = Data[8];
    std::string_view rest = fuzz::AsText(Data + 9, Size - 9);
    record.Subject = TakeLine(rest);
    record.From = TakeLine(rest);
    record.To = TakeLine(rest);
    record.DataOffset = 0x24BC;

    TDesign design;
    design.Fields = THeaderFields{(switches & 2) != 0, (switches & 4) != 0, (switches & 8) != 0,
                                  (switches & 16) != 0};
    design.TemplatePath = (switches & 32) ? scene.Template : std::string();

    TTempFiles temp;
    for (bool apply : {false, true}) {
        design.Apply = apply;
        try {
            RenderMessagePage(rest, record, design, scene.Out, "mail.htm", &temp);
        } catch (const EFCreateError&) {
            // A Content-ID that names no file of the directory is refused: expected.
        }
        CheckOnlyOut(scene);
    }

    TExportSettings settings;
    settings.Dir = scene.Out;
    settings.DateInName = (switches & 1) != 0;
    settings.Format = static_cast<TExportFormat>((switches >> 6) % 3);
    settings.Design = design;
    // The same message twice: the second file must get a name of its own.
    std::string first;
    for (int i = 0; i < 2; ++i) {
        try {
            const std::string path = ExportMessage(settings, record, rest);
            if (!path.starts_with(scene.Out))
                fuzz::Broken("export named a file outside its directory");
            if (path == first) fuzz::Broken("export wrote over its own earlier file");
            first = path;
        } catch (const EFCreateError&) {
        }
    }
    first.clear();
    for (int i = 0; i < 2; ++i) {
        try {
            const std::string path = SaveMessageAsEml(scene.Out, record, rest, settings.DateInName);
            if (path == first) fuzz::Broken("saving wrote over its own earlier file");
            first = path;
        } catch (const ESaveFailed&) {
        }
    }
    CheckOnlyOut(scene);
    fuzz::ClearDirectory(scene.Out);
    return 0;
}
