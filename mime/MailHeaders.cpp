#include "mime/MailHeaders.h"

#include <fstream>
#include <sstream>
#include <unordered_map>

#include "base/AsciiCase.h"
#include "mime/MailCodecs.h"

namespace lumbrook {

namespace {

// One enclosing pair of double quotes removed (a lone quote counts as a pair).
std::string_view StripDoubleQuotes(std::string_view S) {
    if (!S.empty() && S.front() == '"' && S.back() == '"')
        return S.size() >= 2 ? S.substr(1, S.size() - 2) : std::string_view{};
    return S;
}

// The scan shared by FindParam and ReplaceParam over a line that ends in ";".
// Calls Take(char) for characters that belong to the value of the wanted
// parameter; returns the offset of the first matching "=" (npos when none).
template <typename TTake>
std::size_t ScanParams(std::string_view S, std::string_view ParamName, TTake&& Take) {
    const std::string Wanted = UpperAscii(TrimBlanks(ParamName));
    bool Quote = false, InValue = false, InParams = false, Capture = false;
    std::size_t FirstMatch = std::string_view::npos;
    std::string Name;
    for (std::size_t I = 0; I < S.size(); ++I) {
        const char C = S[I];
        if (C == '"') Quote = !Quote;
        if (!Quote && C == ':' && !InValue && !InParams) {
            InValue = true;
            Capture = false;
        } else if (!Quote && C == ';' && (InValue || InParams)) {
            InParams = true;
            InValue = false;
            Capture = false;
            Name.clear();
        } else if (!Quote && C == '=' && InParams) {
            Capture = UpperAscii(TrimBlanks(Name)) == Wanted;
            if (Capture && FirstMatch == std::string_view::npos) FirstMatch = I;
            Name.clear();
        } else if (Capture) {
            Take(C);
        } else if (InParams) {
            Name += C;
        }
    }
    return FirstMatch;
}

std::string WithFinalSemicolon(std::string_view Line) {
    std::string S(TrimBlanks(Line));
    if (S.empty() || S.back() != ';') S += ';';
    return S;
}

using TMediaTable = std::unordered_map<std::string, std::string>;

// Used only where /etc/mime.types is missing.
TMediaTable BuiltInMediaTypes() {
    return {{"txt", "text/plain"},
            {"htm", "text/html"},
            {"html", "text/html"},
            {"css", "text/css"},
            {"csv", "text/csv"},
            {"xml", "application/xml"},
            {"rtf", "application/rtf"},
            {"pdf", "application/pdf"},
            {"zip", "application/zip"},
            {"doc", "application/msword"},
            {"xls", "application/vnd.ms-excel"},
            {"ppt", "application/vnd.ms-powerpoint"},
            {"gif", "image/gif"},
            {"jpg", "image/jpeg"},
            {"jpeg", "image/jpeg"},
            {"jpe", "image/jpeg"},
            {"png", "image/png"},
            {"bmp", "image/bmp"},
            {"tif", "image/tiff"},
            {"tiff", "image/tiff"},
            {"ico", "image/vnd.microsoft.icon"},
            {"wav", "audio/x-wav"},
            {"mp3", "audio/mpeg"},
            {"mid", "audio/midi"},
            {"avi", "video/x-msvideo"},
            {"mpg", "video/mpeg"},
            {"mpeg", "video/mpeg"},
            {"eml", "message/rfc822"}};
}

TMediaTable LoadMediaTypes() {
    TMediaTable Table;
    std::ifstream In("/etc/mime.types");
    std::string Line;
    while (In && std::getline(In, Line)) {
        if (auto Hash = Line.find('#'); Hash != std::string::npos) Line.resize(Hash);
        std::istringstream Words(Line);
        std::string Type, Ext;
        if (!(Words >> Type)) continue;
        while (Words >> Ext) {
            for (char& C : Ext) C = LowerAscii(C);
            Table.emplace(Ext, Type);  // the first entry of an extension wins
        }
    }
    if (Table.empty()) Table = BuiltInMediaTypes();
    return Table;
}

}  // namespace

std::string NormalizeHeaderLine(std::string_view Line) {
    bool InLabel = true, InQuote = false;
    std::string Label, Value, Quoted;
    for (std::size_t I = 0; I < Line.size(); ++I) {
        const char C = Line[I];
        if (C == '"' && !InLabel) {
            InQuote = !InQuote;
            if (InQuote)
                Quoted.clear();
            else
                Value += Quoted;
        }
        if (InQuote) {
            Quoted += C;
        } else if (InLabel) {
            if (Label.empty() || Label.back() == '-')
                Label += UpperAscii(C);
            else if (Label.size() >= 2 && Label.ends_with("-I") && UpperAscii(C) == 'D' &&
                     I + 1 < Line.size() && Line[I + 1] == ':')
                Label += 'D';
            else
                Label += LowerAscii(C);
            if (C == ':') {
                InLabel = false;
                Value.clear();
            }
        } else if (C == ' ') {
            Value.resize(TrimRightBlanks(Value).size());
            Value += ' ';
        } else {
            Value += C;
        }
    }
    std::string Out(TrimBlanks(Label));
    Out += ' ';
    Out += TrimBlanks(Value);
    return Out;
}

int FindHeaderLine(const TStringList& Lines, std::string_view Prefix, int Occurrence) {
    int Seen = 0;
    for (std::size_t I = 0; I < Lines.size(); ++I) {
        const std::string& L = Lines[I];
        if (L.size() < Prefix.size()) continue;
        bool Match = true;
        for (std::size_t J = 0; J < Prefix.size() && Match; ++J)
            Match = UpperAscii(L[J]) == UpperAscii(Prefix[J]);
        if (Match && Seen++ == Occurrence) return static_cast<int>(I);
    }
    return -1;
}

std::string ValueBeforeParams(std::string_view Line) {
    bool Quote = false, Collect = false;
    std::string Value;
    for (char C : Line) {
        if (C == '"') Quote = !Quote;
        if (!Quote && !Collect && C == ':') {
            Collect = true;
            continue;
        }
        if (!Collect) continue;
        if (!Quote && C == ';') break;
        Value += C;
    }
    return std::string(StripDoubleQuotes(TrimBlanks(Value)));
}

std::string FindParam(std::string_view Line, std::string_view ParamName) {
    std::string Result;
    ScanParams(WithFinalSemicolon(Line), ParamName, [&Result](char C) { Result += C; });
    return std::string(StripDoubleQuotes(TrimBlanks(Result)));
}

std::string ReplaceValue(std::string_view Line, std::string_view Value) {
    bool Quote = false;
    std::size_t Colon = std::string_view::npos, Semicolon = Line.size();
    for (std::size_t I = 0; I < Line.size(); ++I) {
        const char C = Line[I];
        if (C == '"') Quote = !Quote;
        if (Quote) continue;
        if (Colon == std::string_view::npos) {
            if (C == ':') Colon = I;
        } else if (C == ';') {
            Semicolon = I;
            break;
        }
    }
    if (Colon == std::string_view::npos) return std::string(Line);
    std::string Out(Line.substr(0, Colon + 1));
    Out += ' ';
    Out += TrimBlanks(Value);
    Out += Line.substr(Semicolon);
    return Out;
}

std::string ReplaceParam(std::string_view Line, std::string_view ParamName,
                         std::string_view Value) {
    std::string S = WithFinalSemicolon(Line);
    const std::size_t Equals = ScanParams(S, ParamName, [](char) {});
    S.pop_back();
    if (Equals == std::string_view::npos) {
        std::string Out(TrimBlanks(S));
        Out += "; ";
        Out += TrimBlanks(ParamName);
        Out += '=';
        Out += TrimBlanks(Value);
        return Out;
    }
    // The "=" stands outside quotes, so the quote state restarts clear after it.
    bool Quote = false;
    std::size_t End = S.size();
    for (std::size_t I = Equals + 1; I < S.size(); ++I) {
        if (S[I] == '"') Quote = !Quote;
        if (!Quote && S[I] == ';') {
            End = I;
            break;
        }
    }
    std::string Out = S.substr(0, Equals + 1);
    Out += TrimBlanks(Value);
    Out += std::string_view(S).substr(End);
    return Out;
}

std::string EncodeWordQ(std::string_view Text, std::string_view Charset) {
    std::string Encoded = QPEncode(Text, true);
    if (Encoded == Text) return std::string(Text);
    std::string Out = "=?";
    Out += Charset;
    Out += "?Q?";
    Out += Encoded;
    Out += "?=";
    return Out;
}

std::string MimeTypeForFile(std::string_view FileName) {
    static const TMediaTable Table = LoadMediaTypes();
    const std::size_t Separator = FileName.find_last_of("\\:");
    const std::size_t Dot = FileName.rfind('.');
    std::string Ext;
    if (Dot != std::string_view::npos && (Separator == std::string_view::npos || Dot > Separator))
        Ext = FileName.substr(Dot + 1);
    for (char& C : Ext) C = LowerAscii(C);
    if (!Ext.empty())
        if (auto It = Table.find(Ext); It != Table.end() && !It->second.empty()) return It->second;
    return "application/octet-stream";
}

}  // namespace lumbrook
