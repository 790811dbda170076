// The page pipeline fed with a parsed message: the preview page with and without
// the design, and export, all into a scratch directory. Whatever the message says
// (Content-IDs with separators or "..", subjects with "/"), nothing may appear
// outside the output directory, and nothing below it but plain files (and the
// attachments' "<page>_files" directories of plain files).
//
// Input: 8 bytes of the record's date (little-endian file time), one byte of
// switches, then the record's subject, from and to, each ended by a line feed,
// then the raw message text.
#include <cstring>
#include <string>

#include "base/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Files.h"
#include "output/Output.h"
#include "page/Page.h"

using namespace lumbrook;

namespace {

struct Scene {
    std::string root;      // holds only the design and the path down to Out
    std::string out;       // the user's chosen directory
    std::string design;  // a design with every placeholder
    std::string expected;  // listTree(Root) with Out empty
};

const Scene& sharedScene() {
    static const Scene scene = [] {
        Scene s;
        s.root = fuzz::scratchDir() + "render/";
        s.out = s.root + "a/b/out/";
        s.design = s.root + "design.htm";
        forceDirectories(s.out);
        fuzz::writeScratchFile(
            s.design,
            "<html><head><title>\r\n%%UEBERSCHRIFT%%\r\n</title></head><body>\r\n"
            "%%INHALT%%\r\n<p>\r\n%%UNTERSCHRIFT%%\r\n</body></html>\r\n");
        s.expected = fuzz::listTree(s.root);
        return s;
    }();
    return scene;
}

std::string_view takeLine(std::string_view& rest) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    return line;
}

// Everything written must sit directly in Out, as a plain file.
void checkOnlyOut(const Scene& s) {
    const std::string tree = fuzz::listTree(s.root);
    std::string_view rest = tree;
    std::string_view expected = s.expected;
    std::string outside;
    for (std::string_view line = takeLine(rest); !line.empty() || !rest.empty();
         line = takeLine(rest)) {
        if (line.empty()) continue;
        if (expected.find(std::string(line) + "\n") != std::string_view::npos) continue;
        const std::string_view inOut = "a/b/out/";
        if (line.starts_with(inOut) &&
            line.substr(inOut.size()).find('/') == std::string_view::npos &&
            line.size() > inOut.size())
            continue;
        // Export's attachments: a "<page>_files" directory of plain files.
        if (line.starts_with(inOut)) {
            const std::string_view inside = line.substr(inOut.size());
            const std::size_t slash = inside.find('/');
            if (slash != std::string_view::npos && inside.substr(0, slash).ends_with("_files") &&
                inside.find('/', slash + 1) == std::string_view::npos &&
                (slash + 1 == inside.size() || !inside.ends_with("/")))
                continue;
        }
        outside += std::string(line) + " ";
    }
    if (!outside.empty()) fuzz::broken("written outside the output directory: " + outside);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    const Scene& scene = sharedScene();
    MessageInfo record;
    std::memcpy(&record.date, data, 8);
    const std::uint8_t switches = data[8];
    std::string_view rest = fuzz::asText(data + 9, size - 9);
    record.subject = takeLine(rest);
    record.from = takeLine(rest);
    record.to = takeLine(rest);
    record.dataOffset = 0x24BC;

    Design design;
    design.fields = HeaderFields{(switches & 2) != 0, (switches & 4) != 0, (switches & 8) != 0,
                                  (switches & 16) != 0};
    design.templatePath = (switches & 32) ? scene.design : std::string();

    TempFiles temp;
    for (bool apply : {false, true}) {
        design.apply = apply;
        try {
            renderMessagePage(rest, record, design, scene.out, "mail.htm", &temp);
        } catch (const FileCreateError&) {
            // A Content-ID that names no file of the directory is refused: expected.
        }
        checkOnlyOut(scene);
    }

    ExportSettings settings;
    settings.dir = scene.out;
    settings.dateInName = (switches & 1) != 0;
    settings.format = static_cast<ExportFormat>((switches >> 6) % 3);
    settings.design = design;
    // The same message twice, the second time with its attachments beside it: the
    // second file must get a name of its own.
    std::string first;
    for (int i = 0; i < 2; ++i) {
        settings.attachments = i == 1;
        try {
            const std::string path = exportMessage(settings, record, rest);
            if (!path.starts_with(scene.out))
                fuzz::broken("export named a file outside its directory");
            if (path == first) fuzz::broken("export wrote over its own earlier file");
            first = path;
        } catch (const FileCreateError&) {
        }
    }
    first.clear();
    for (int i = 0; i < 2; ++i) {
        try {
            const std::string path = saveMessageAsEml(scene.out, record, rest, settings.dateInName);
            if (path == first) fuzz::broken("saving wrote over its own earlier file");
            first = path;
        } catch (const SaveFailedError&) {
        }
    }
    checkOnlyOut(scene);
    fuzz::clearDirectory(scene.out);
    return 0;
}
