#include "mime/MailCodecs.h"

#include <array>
#include <cstring>
#include <mutex>
#include <random>

#include "base/Errors.h"

namespace lumbrook {

namespace {

constexpr std::string_view SUUFormatError = "UUCODE message format error";
constexpr char HexDigits[] = "0123456789ABCDEF";

inline bool IsBlank(char C) {
    return C == ' ' || C == '\t';
}

inline bool IsUpperHex(char C) {
    return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F');
}

inline int UpperHexValue(char C) {
    return C <= '9' ? C - '0' : C - 'A' + 10;
}

// Offset of the next CR LF at or after From, or npos.
inline std::size_t FindCrLf(std::string_view Text, std::size_t From) {
    const char* Data = Text.data();
    const std::size_t Size = Text.size();
    while (From < Size) {
        const void* Cr = std::memchr(Data + From, '\r', Size - From);
        if (!Cr) return std::string_view::npos;
        std::size_t At = static_cast<std::size_t>(static_cast<const char*>(Cr) - Data);
        if (At + 1 < Size && Data[At + 1] == '\n') return At;
        From = At + 1;
    }
    return std::string_view::npos;
}

// Alphabet values 0..63, PadCode for "=", Skip for everything else.
constexpr std::uint8_t PadCode = 64;
constexpr std::uint8_t Skip = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeBase64Table() {
    std::array<std::uint8_t, 256> T{};
    for (auto& V : T) V = Skip;
    const char* Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int I = 0; I < 64; ++I) T[static_cast<unsigned char>(Alphabet[I])] = std::uint8_t(I);
    T['='] = PadCode;
    return T;
}
constexpr auto Base64Table = MakeBase64Table();
constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Writes the decoded bytes of one line at Out, which has room for 3 * (size / 4)
// bytes; returns the number written.
std::size_t DecodeBase64Line(const unsigned char* P, const unsigned char* End, char* Out) {
    char* const Start = Out;
    while (P < End) {
        if (End - P >= 4) {
            const std::uint32_t A = Base64Table[P[0]], B = Base64Table[P[1]], C = Base64Table[P[2]],
                                D = Base64Table[P[3]];
            if ((A | B | C | D) < 64) {
                const std::uint32_t V = A << 18 | B << 12 | C << 6 | D;
                Out[0] = static_cast<char>(V >> 16);
                Out[1] = static_cast<char>(V >> 8);
                Out[2] = static_cast<char>(V);
                Out += 3;
                P += 4;
                continue;
            }
        }
        // Slow path: one group gathered across skipped characters and padding.
        std::uint32_t Group[4];
        int Have = 0;
        while (P < End && Have < 4) {
            const std::uint8_t V = Base64Table[*P++];
            if (V != Skip) Group[Have++] = V;
        }
        if (Have < 4) break;  // incomplete group at the end of the line
        int Bytes = 3;
        if (Group[3] == PadCode) Bytes = Group[2] == PadCode ? 1 : 2;
        std::uint32_t V = 0;
        for (std::uint32_t G : Group) V = V << 6 | (G == PadCode ? 0 : G);
        Out[0] = static_cast<char>(V >> 16);
        if (Bytes > 1) Out[1] = static_cast<char>(V >> 8);
        if (Bytes > 2) Out[2] = static_cast<char>(V);
        Out += Bytes;
    }
    return static_cast<std::size_t>(Out - Start);
}

// -1 for characters outside the uuencode alphabet.
inline int UUValue(char C) {
    const unsigned char U = static_cast<unsigned char>(C);
    if (U == '`' || U == ' ') return 0;
    if (U >= 33 && U <= 95) return U - 32;
    return -1;
}

}  // namespace

std::string_view TrimLeftBlanks(std::string_view Text) {
    std::size_t I = 0;
    while (I < Text.size() && IsBlank(Text[I])) ++I;
    return Text.substr(I);
}

std::string_view TrimRightBlanks(std::string_view Text) {
    std::size_t N = Text.size();
    while (N > 0 && IsBlank(Text[N - 1])) --N;
    return Text.substr(0, N);
}

std::string_view TrimBlanks(std::string_view Text) {
    Text = TrimLeftBlanks(Text);
    std::size_t N = Text.size();
    while (N > 0 && Text[N - 1] == ' ') --N;
    return Text.substr(0, N);
}

bool TLineScanner::Next(std::size_t& Start, std::size_t& Length) {
    if (Pos >= Text.size()) {
        Start = Text.size();
        Length = 0;
        return false;
    }
    Start = Pos;
    const std::size_t Break = FindCrLf(Text, Pos);
    if (Break == std::string_view::npos) {
        Length = Text.size() - Pos;
        Pos = Text.size();
    } else {
        Length = Break - Pos;
        Pos = Break + 2;
    }
    return true;
}

bool TLineScanner::Next(std::string_view& Line) {
    std::size_t Start, Length;
    if (!Next(Start, Length)) {
        Line = {};
        return false;
    }
    Line = Text.substr(Start, Length);
    return true;
}

std::string_view NextLineWithBreak(std::string_view Text, std::ptrdiff_t& Position) {
    if (Position < 1 || static_cast<std::size_t>(Position) > Text.size()) {
        Position = -1;
        return {};
    }
    const std::size_t From = static_cast<std::size_t>(Position) - 1;
    const std::size_t Break = FindCrLf(Text, From);
    const std::size_t End = Break == std::string_view::npos ? Text.size() : Break + 2;
    Position = End >= Text.size() ? -1 : static_cast<std::ptrdiff_t>(End) + 1;
    return Text.substr(From, End - From);
}

std::string PadLeft(std::string_view Text, int Width, std::string_view Pad) {
    std::string S(TrimLeftBlanks(Text));
    const std::size_t W = Width > 0 ? static_cast<std::size_t>(Width) : 0;
    if (S.size() > W) return S.substr(S.size() - W);
    if (Pad.empty()) return S;
    while (S.size() < W) S.insert(0, Pad);
    return S;
}

std::string QPEncode(std::string_view Text, bool HeaderMode) {
    const std::size_t N = Text.size();
    std::string Out;
    Out.reserve(N + N / 8 + 16);
    for (std::size_t I = 0; I < N; ++I) {
        const unsigned char C = static_cast<unsigned char>(Text[I]);
        bool Escape = C > 127 || C == '=' || (C < 32 && C != '\t' && C != '\n' && C != '\r');
        if (C == '\r' && (I + 1 == N || Text[I + 1] != '\n')) Escape = true;
        if (C == '\n' && (I == 0 || Text[I - 1] != '\r')) Escape = true;
        if (HeaderMode && ((C >= 9 && C <= 32) || C == '"' || C == '\'' || C == '(' || C == ')' ||
                           C == '<' || C == '>' || C == '?' || C == '_'))
            Escape = true;
        if (Escape) {
            Out += '=';
            Out += HexDigits[C >> 4];
            Out += HexDigits[C & 15];
            continue;
        }
        Out += static_cast<char>(C);
        // Blanks before a line break would be lost in transport: escape the run.
        if (!HeaderMode && C == '\n' && Out.size() >= 3 && IsBlank(Out[Out.size() - 3])) {
            std::size_t RunStart = Out.size() - 2;
            while (RunStart > 0 && IsBlank(Out[RunStart - 1])) --RunStart;
            std::string Run = Out.substr(RunStart, Out.size() - 2 - RunStart);
            Out.resize(RunStart);
            for (char B : Run) Out += B == '\t' ? "=09" : "=20";
            Out += "\r\n";
        }
    }
    if (HeaderMode || Out.empty()) return Out;

    std::string Result;
    Result.reserve(Out.size() + Out.size() / 64 + 8);
    TLineScanner Lines(Out);
    std::string_view Line;
    while (Lines.Next(Line)) {
        while (Line.size() >= 72) {
            std::size_t Cut = Line.size();
            while (Cut >= 72) {
                if (Line[Cut - 3] == '=' && IsUpperHex(Line[Cut - 2]) && IsUpperHex(Line[Cut - 1]))
                    Cut -= 3;
                else
                    Cut -= 1;
            }
            Result.append(Line.substr(0, Cut));
            Result += "=\r\n";
            Line.remove_prefix(Cut);
        }
        Result.append(Line);
        Result += "\r\n";
    }
    return Result;
}

std::string QPDecode(std::string_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    const std::size_t N = Text.size();
    std::size_t I = 0;
    while (I < N) {
        const std::size_t Eq = Text.find('=', I);
        if (Eq == std::string_view::npos) {
            Out.append(Text.substr(I));
            break;
        }
        Out.append(Text.substr(I, Eq - I));
        if (N - Eq - 1 < 2) break;
        const char A = Text[Eq + 1], B = Text[Eq + 2];
        if (IsUpperHex(A) && IsUpperHex(B))
            Out += static_cast<char>(UpperHexValue(A) << 4 | UpperHexValue(B));
        // A soft break (= CR LF) and anything else not an escape are dropped alike.
        I = Eq + 3;
    }
    return Out;
}

std::size_t Base64EncodeStream(std::string_view Src, std::string& Dst) {
    Dst.clear();
    const std::size_t N = Src.size();
    if (N == 0) return 0;
    const std::size_t Lines = (N + 56) / 57;
    Dst.resize((N + 2) / 3 * 4 + Lines * 2);
    const unsigned char* P = reinterpret_cast<const unsigned char*>(Src.data());
    char* Out = Dst.data();
    std::size_t Left = N;
    while (Left > 0) {
        const std::size_t Take = Left < 57 ? Left : 57;
        std::size_t I = 0;
        for (; I + 3 <= Take; I += 3) {
            const std::uint32_t V =
                std::uint32_t(P[I]) << 16 | std::uint32_t(P[I + 1]) << 8 | P[I + 2];
            Out[0] = Base64Alphabet[V >> 18];
            Out[1] = Base64Alphabet[V >> 12 & 63];
            Out[2] = Base64Alphabet[V >> 6 & 63];
            Out[3] = Base64Alphabet[V & 63];
            Out += 4;
        }
        if (I < Take) {
            const std::uint32_t V =
                std::uint32_t(P[I]) << 16 | (I + 1 < Take ? std::uint32_t(P[I + 1]) << 8 : 0);
            Out[0] = Base64Alphabet[V >> 18];
            Out[1] = Base64Alphabet[V >> 12 & 63];
            Out[2] = I + 1 < Take ? Base64Alphabet[V >> 6 & 63] : '=';
            Out[3] = '=';
            Out += 4;
        }
        *Out++ = '\r';
        *Out++ = '\n';
        P += Take;
        Left -= Take;
    }
    return Dst.size();
}

void Base64DecodeLine(std::string_view Line, std::string& Out) {
    const std::size_t Old = Out.size();
    Out.resize(Old + Line.size() / 4 * 3);
    const auto* P = reinterpret_cast<const unsigned char*>(Line.data());
    const std::size_t Written = DecodeBase64Line(P, P + Line.size(), Out.data() + Old);
    Out.resize(Old + Written);
}

std::string Base64DecodeLine(std::string_view Line) {
    std::string Out;
    Base64DecodeLine(Line, Out);
    return Out;
}

void Base64DecodeText(std::string_view Text, std::string& Out) {
    const std::size_t Old = Out.size();
    // Every line yields at most three bytes per four characters, so the whole
    // text fits in three quarters of its size.
    Out.resize(Old + Text.size() / 4 * 3 + 3);
    char* Dst = Out.data() + Old;
    const auto* Base = reinterpret_cast<const unsigned char*>(Text.data());
    std::size_t From = 0;
    while (From < Text.size()) {
        const std::size_t Break = FindCrLf(Text, From);
        const std::size_t End = Break == std::string_view::npos ? Text.size() : Break;
        Dst += DecodeBase64Line(Base + From, Base + End, Dst);
        From = Break == std::string_view::npos ? Text.size() : Break + 2;
    }
    Out.resize(static_cast<std::size_t>(Dst - Out.data()));
}

int UUCharValue(char C) {
    const int V = UUValue(C);
    if (V < 0) throw ELumbrookError(std::string(SUUFormatError));
    return V;
}

void UUDecodeLine(std::string_view Line, std::string& Out) {
    if (Line.empty()) return;
    const int Count = UUValue(Line[0]);
    if (Count < 0) return;
    const std::string_view Data = Line.substr(1, Count == 45 ? 60 : std::string_view::npos);
    for (char C : Data)
        if (UUValue(C) < 0) return;
    std::uint32_t Acc = 0;
    int Bits = 0, Made = 0;
    for (char C : Data) {
        if (Made >= Count) break;
        Acc = (Acc << 6 | static_cast<std::uint32_t>(UUValue(C))) & 0xFFFF;
        Bits += 6;
        if (Bits >= 8) {
            Bits -= 8;
            Out += static_cast<char>(Acc >> Bits);
            ++Made;
        }
    }
    if (Made < Count && Bits > 0) {
        Out += static_cast<char>(Acc << (8 - Bits));
        ++Made;
    }
    if (Made < Count) Out.append(static_cast<std::size_t>(Count - Made), '\0');
}

std::string UUDecodeLine(std::string_view Line) {
    std::string Out;
    UUDecodeLine(Line, Out);
    return Out;
}

void UUDecodeText(std::string_view Block, std::string& Stream) {
    Stream.clear();
    TLineScanner Lines(Block);
    std::string_view Line;
    while (Lines.Next(Line))
        if (!Line.empty()) UUDecodeLine(Line, Stream);
}

std::string NewBoundary() {
    static std::mutex Lock;
    static std::mt19937 Generator{std::random_device{}()};
    std::uint32_t Value;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Value = static_cast<std::uint32_t>(Generator());
    }
    std::string Out = "boundary";
    for (int Shift = 28; Shift >= 0; Shift -= 4) Out += HexDigits[Value >> Shift & 15];
    return Out;
}

}  // namespace lumbrook
