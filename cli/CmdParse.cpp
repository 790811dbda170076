// parse: what the message model makes of one raw message, as one JSON document.
#include <openssl/evp.h>

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

std::string ReadAll(std::istream& In) {
    std::ostringstream Out;
    Out << In.rdbuf();
    return std::move(Out).str();
}

std::string Sha256Hex(std::string_view Bytes) {
    unsigned char Digest[EVP_MAX_MD_SIZE];
    unsigned int Size = 0;
    if (!EVP_Digest(Bytes.data(), Bytes.size(), Digest, &Size, EVP_sha256(), nullptr))
        throw std::runtime_error("SHA-256 digest failed");
    static constexpr char Hex[] = "0123456789abcdef";
    std::string Out;
    for (unsigned int I = 0; I < Size; ++I) {
        Out += Hex[Digest[I] >> 4];
        Out += Hex[Digest[I] & 15];
    }
    return Out;
}

nlohmann::ordered_json TextArray(const TStringList& Lines) {
    nlohmann::ordered_json Out = nlohmann::ordered_json::array();
    for (const std::string& Line : Lines) Out.push_back(JsonText(Line));
    return Out;
}

}  // namespace

int CmdParse(TArgs& Args) {
    const auto Rest = Args.Positionals();
    if (Rest.size() > 1) throw EUsageError("parse takes at most one FILE");
    std::string Raw;
    if (Rest.empty() || Rest[0] == "-") {
        Raw = ReadAll(std::cin);
    } else {
        std::ifstream In(Rest[0], std::ios::binary);
        if (!In) throw MakeOpenError(Rest[0]);
        Raw = ReadAll(In);
    }

    TMailMessage Message;
    Message.LoadText(Raw);
    Message.LocateBodies();

    // Parts in pre-order, before any attachment is decoded: decoding a uuencoded
    // part rewrites its raw body.
    nlohmann::ordered_json Parts = nlohmann::ordered_json::array();
    std::unordered_map<const TMailPart*, std::string> Paths;
    std::vector<std::pair<const TMailPart*, std::string>> Pending{{&Message, "0"}};
    while (!Pending.empty()) {
        auto [Part, Path] = std::move(Pending.back());
        Pending.pop_back();
        for (std::size_t I = Part->SubParts.Count(); I-- > 0;)
            Pending.emplace_back(Part->SubParts.PartAt(I), Path + "." + std::to_string(I));
        Parts.push_back({{"Path", Path},
                         {"HeaderLines", TextArray(Part->HeaderLines)},
                         {"MediaType", JsonText(Part->MediaType())},
                         {"ParentBoundary", JsonText(Part->ParentBoundary)},
                         {"RawBodySize", Part->RawBody.size()},
                         {"IsEmbedded", Part->IsEmbedded}});
        Paths.emplace(Part, std::move(Path));
    }

    nlohmann::ordered_json Attachments = nlohmann::ordered_json::array();
    for (TMailPart* Part : Message.Attachments) {
        Part->DecodeBody();
        Attachments.push_back({{"Path", Paths.at(Part)},
                               {"MediaType", JsonText(Part->MediaType())},
                               {"ContentID", JsonText(Part->HeaderValue("Content-ID"))},
                               {"IsEmbedded", Part->IsEmbedded},
                               {"DecodedBodySize", Part->DecodedBody.size()},
                               {"DecodedBodySHA256", Sha256Hex(Part->DecodedBody)}});
    }

    PrintJsonLine({{"Parts", std::move(Parts)},
                   {"TextLines", TextArray(Message.TextLines)},
                   {"HtmlLines", TextArray(Message.HtmlLines)},
                   {"Attachments", std::move(Attachments)}});
    return 0;
}

}  // namespace lumbrook::cli
