// parse: what the message model makes of one raw message, as one JSON document.
#include <openssl/evp.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Errors.h"
#include "cli/Commands.h"
#include "mime/MailModel.h"

namespace lumbrook::cli {

namespace {

std::string readAll(std::istream& in) {
    std::ostringstream out;
    out << in.rdbuf();
    return std::move(out).str();
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr))
        throw std::runtime_error("SHA-256 digest failed");
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += Hex[digest[i] >> 4];
        out += Hex[digest[i] & 15];
    }
    return out;
}

nlohmann::ordered_json textArray(const MailStore& store, const StringList& lines) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const std::string& line : lines) out.push_back(jsonText(store, line));
    return out;
}

std::string dumpJson(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The lines as a JSON array, written one at a time: a body of millions of short
// lines never becomes a JSON value of millions of strings.
void printTextArray(const MailStore& store, const LineList& lines) {
    std::cout << '[';
    bool first = true;
    for (std::string_view line : lines) {
        if (!first) std::cout << ',';
        first = false;
        std::cout << dumpJson(jsonText(store, line));
    }
    std::cout << ']';
}

}  // namespace

int cmdParse(Args& args, const MailStore& store) {
    const auto rest = args.positionals();
    if (rest.size() > 1) throw UsageError("parse takes at most one FILE");
    std::string raw;
    if (rest.empty() || rest[0] == "-") {
        raw = readAll(std::cin);
    } else {
        std::ifstream in(rest[0], std::ios::binary);
        if (!in) throw FileOpenError(rest[0], errno);
        raw = readAll(in);
    }

    MailMessage message;
    message.loadText(raw);
    std::string().swap(raw);  // the model holds what it needs
    message.locateBodies();

    // Parts in pre-order, before any attachment is decoded: decoding a uuencoded
    // part rewrites its raw body.
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    std::unordered_map<const MailPart*, std::string> paths;
    std::vector<std::pair<const MailPart*, std::string>> pending{{&message, "0"}};
    while (!pending.empty()) {
        auto [Part, Path] = std::move(pending.back());
        pending.pop_back();
        for (std::size_t i = Part->subParts.count(); i-- > 0;)
            pending.emplace_back(Part->subParts.partAt(i), Path + "." + std::to_string(i));
        parts.push_back({{"Path", Path},
                         {"HeaderLines", textArray(store, Part->headerLines)},
                         {"MediaType", jsonText(store, Part->mediaType())},
                         {"ParentBoundary", jsonText(store, Part->parentBoundary)},
                         {"RawBodySize", Part->rawBody.size()},
                         {"IsEmbedded", Part->isEmbedded}});
        paths.emplace(Part, std::move(Path));
    }

    nlohmann::ordered_json attachments = nlohmann::ordered_json::array();
    for (MailPart* part : message.attachments) {
        part->decodeBody();
        attachments.push_back({{"Path", paths.at(part)},
                               {"MediaType", jsonText(store, part->mediaType())},
                               {"ContentID", jsonText(store, part->headerValue("Content-ID"))},
                               {"IsEmbedded", part->isEmbedded},
                               {"DecodedBodySize", part->decodedBody.size()},
                               {"DecodedBodySHA256", sha256Hex(part->decodedBody)}});
    }

    // The document printJsonLine would print, with the line arrays streamed.
    std::cout << "{\"Parts\":" << dumpJson(parts) << ",\"TextLines\":";
    printTextArray(store, message.textLines);
    std::cout << ",\"HtmlLines\":";
    printTextArray(store, message.htmlLines);
    std::cout << ",\"Attachments\":" << dumpJson(attachments) << "}\n";
    return 0;
}

}  // namespace lumbrook::cli
