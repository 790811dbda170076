#include "mime/MailModel.h"

#include <climits>
#include <functional>

#include "base/AsciiCase.h"
#include "base/Errors.h"

namespace lumbrook {

namespace {

constexpr std::string_view UUBeginMarker = "begin 6";

// Header values that need quotes are handed over with them.
std::string Quoted(std::string_view Text) {
    std::string Out;
    Out.reserve(Text.size() + 2);
    Out += '"';
    Out += Text;
    Out += '"';
    return Out;
}

bool IsQuoteChar(char C) {
    return C == '"' || C == '\'';
}

// Header values given in single or double quotes lose them, but only when
// something stands between the quotes.
std::string StripValueQuotes(std::string Value) {
    if (Value.size() > 2 && IsQuoteChar(Value.front()) && IsQuoteChar(Value.back()))
        return Value.substr(1, Value.size() - 2);
    return Value;
}

// Whether View lies at least partly inside the bytes of Owner.
bool Overlaps(std::string_view View, const std::string& Owner) {
    if (View.empty() || Owner.empty()) return false;
    const std::less<const char*> Before;
    const char* OwnerEnd = Owner.data() + Owner.size();
    const char* ViewEnd = View.data() + View.size();
    return Before(View.data(), OwnerEnd) && Before(Owner.data(), ViewEnd);
}

// Lines split at CR LF, CR or LF up to the first zero byte; a final line break
// adds no empty line.
TStringList SplitLines(std::string_view Bytes) {
    if (auto Zero = Bytes.find('\0'); Zero != std::string_view::npos) Bytes = Bytes.substr(0, Zero);
    TStringList Lines;
    const std::size_t N = Bytes.size();
    std::size_t I = 0;
    while (I < N) {
        std::size_t Break = I;
        while (Break < N && Bytes[Break] != '\r' && Bytes[Break] != '\n') ++Break;
        Lines.emplace_back(Bytes.substr(I, Break - I));
        if (Break == N) break;
        I = Break + 1;
        if (Bytes[Break] == '\r' && I < N && Bytes[I] == '\n') ++I;
    }
    return Lines;
}

}  // namespace

// The line walk of one parse, with the progress reports of the message's own parse.
struct TMailPart::TParseCursor {
    std::string_view Text;
    std::string_view Tail;
    TLineScanner Lines;
    TMailMessage* Reporter;  // set only when the message parses itself and wants reports
    int Total;
    std::size_t Start = 0;
    std::size_t Length = 0;

    TParseCursor(std::string_view Text, std::string_view Tail, TMailMessage* Reporter)
        : Text(Text),
          Tail(Tail),
          Lines(Text),
          Reporter(Reporter),
          Total(static_cast<int>(Text.size() < INT_MAX ? Text.size() : INT_MAX)) {}

    std::string_view Line() const { return Text.substr(Start, Length); }

    bool Next() {
        const bool Found = Lines.Next(Start, Length);
        if (Found && Reporter) Report(Start < INT_MAX ? static_cast<int>(Start) + 1 : INT_MAX);
        return Found;
    }

    void Report(int Current) const {
        Reporter->OnProgress(Reporter, Total, Current);
        if (Reporter->OnProcessMessages) Reporter->OnProcessMessages();
    }
};

TMailPart* TMailSubParts::Add(std::unique_ptr<TMailPart> Part) {
    Items.push_back(std::move(Part));
    return Items.back().get();
}

void TMailSubParts::Clear() {
    for (auto& Part : Items) Part.reset();
    Items.clear();
}

TMailPart::~TMailPart() = default;

void TMailPart::ParseText(std::string_view Text, bool WithHeader) {
    if (!OwnerMessage) throw ELumbrookError(FormatMessage(SPartWithoutOwner, Name));
    if (auto Zero = Text.find('\0'); Zero != std::string_view::npos) Text = Text.substr(0, Zero);
    // The bodies are rewritten below; a text that lies inside them is read from a copy.
    std::string Copy;
    if (Overlaps(Text, RawBody) || Overlaps(Text, DecodedBody)) {
        Copy.assign(Text);
        Text = Copy;
    }
    Parse(Text, {}, WithHeader);
}

int TMailPart::Depth() const {
    int D = 0;
    for (const TMailPart* P = ParentPart; P && D < MaxPartDepth; P = P->ParentPart) ++D;
    return D;
}

std::unique_ptr<TMailPart> TMailPart::NewChild() {
    auto Child = std::make_unique<TMailPart>(OwnerMessage);
    Child->ParentPart = this;
    return Child;
}

void TMailPart::Parse(std::string_view Text, std::string_view Tail, bool WithHeader) {
    // The old tree lives on until the new one is built: the text may lie inside it.
    TMailSubParts OldParts = std::move(SubParts);
    TStringList OldHeader = std::move(HeaderLines);
    SubParts.Clear();
    HeaderLines.clear();
    RawBody.clear();
    DecodedBody.clear();
    IsDecoded = false;
    IsEmbedded = false;
    OwnerMessage->NeedsLocate = true;
    OwnerMessage->ForgetParts();

    TMailMessage* Reporter =
        this == OwnerMessage && OwnerMessage->OnProgress ? OwnerMessage : nullptr;
    TParseCursor Cursor(Text, Tail, Reporter);
    if (Reporter) Cursor.Report(0);

    if (WithHeader) {
        while (Cursor.Next()) {
            const std::string_view Line = Cursor.Line();
            if (Line.empty()) break;
            if ((Line[0] == ' ' || Line[0] == '\t') && !HeaderLines.empty()) {
                std::string& Previous = HeaderLines.back();
                Previous += ' ';
                Previous += TrimLeftBlanks(Line.substr(1));
            } else {
                HeaderLines.emplace_back(Line);
            }
        }
        for (std::string& Line : HeaderLines) Line = NormalizeHeaderLine(Line);
    }

    enum { Single, Multipart, UUCandidate } Kind = Single;
    std::string Delimiter;
    std::string Boundary;
    if (Depth() < MaxPartDepth) {
        if (LowerAscii(HeaderValue("Content-Type").substr(0, 10)) == "multipart/") {
            Kind = Multipart;
            Boundary = BoundaryParam();
            Delimiter = "--" + Boundary;
        } else if (!HasHeader("Content-Type")) {
            Kind = UUCandidate;
        }
    }

    // The preamble: for a single part its whole body.
    bool Taken = false, Stopped = false;
    std::size_t First = 0;
    if (Kind == Single && !Reporter) {
        // Nothing to look for in the lines: take the rest at once.
        First = Cursor.Lines.Position();
        Taken = First < Text.size();
    } else {
        while (Cursor.Next()) {
            const std::string_view Line = Cursor.Line();
            if ((Kind == Multipart && Line.starts_with(Delimiter)) ||
                (Kind == UUCandidate && Line.starts_with(UUBeginMarker))) {
                Stopped = true;
                break;
            }
            if (!Taken) {
                Taken = true;
                First = Cursor.Start;
            }
        }
    }
    if (Taken) {
        if (Stopped) {
            RawBody.assign(Text.substr(First, Cursor.Start - First));
        } else {
            RawBody.reserve(Text.size() - First + Tail.size());
            RawBody.assign(Text.substr(First));
            RawBody.append(Tail);
        }
    }

    if (Stopped && Kind == Multipart) ParseMultipart(Cursor, Boundary);
    if (Stopped && Kind == UUCandidate) ParseUUEncoded(Cursor);
    if (Reporter) Cursor.Report(Cursor.Total);
}

void TMailPart::ParseMultipart(TParseCursor& Cursor, std::string_view Boundary) {
    const std::string Delimiter = "--" + std::string(Boundary);
    const std::string Closing = Delimiter + "--";
    const std::string_view Text = Cursor.Text;
    auto AddChild = [&](std::string_view ChildText, std::string_view ChildTail) {
        auto Child = NewChild();
        Child->Parse(ChildText, ChildTail, true);
        Child->ParentBoundary = Boundary;
        SubParts.Add(std::move(Child));
    };
    // The line that ended the preamble opens the first part, whatever it is.
    bool Collecting = false;
    std::size_t First = 0;
    while (Cursor.Next()) {
        const std::string_view Line = Cursor.Line();
        if (Line.size() >= 2 && Line[0] == '-' && Line[1] == '-') {
            const bool IsClosing = Line.starts_with(Closing);
            if (IsClosing || Line.starts_with(Delimiter)) {
                // Every line but the first follows a CR LF, which ends the part before it.
                if (Collecting)
                    AddChild(Text.substr(First, Cursor.Start - 2 - First),
                             Text.substr(Cursor.Start - 2, 2));
                Collecting = false;
                if (IsClosing) return;
                continue;
            }
        }
        if (!Collecting) {
            Collecting = true;
            First = Cursor.Start;
        }
    }
    // No closing delimiter: the last part still counts, as if one stood at the end.
    if (Collecting) AddChild(Text.substr(First), Cursor.Tail);
}

void TMailPart::ParseUUEncoded(TParseCursor& Cursor) {
    const std::string_view Text = Cursor.Text;
    std::string Boundary, FileName;
    bool HavePending = false, AtBegin = true, AtEnd = false, Armed = true;
    std::size_t PendingStart = 0;
    // The cursor stands on the first begin line.
    while (true) {
        const std::string_view Line = Cursor.Line();
        if (AtBegin) {
            if (Boundary.empty()) ConvertToMultipart(Boundary);
            HavePending = false;
            AtBegin = false;
            FileName = TrimBlanks(Line.size() > 10 ? Line.substr(10, 999) : std::string_view{});
        } else if (AtEnd) {
            const std::string_view Block =
                HavePending ? Text.substr(PendingStart, Cursor.Start - 2 - PendingStart)
                            : std::string_view{};
            AddUUAttachment(Block, FileName, Boundary);
            HavePending = false;
            AtEnd = false;
        } else if (!HavePending) {
            HavePending = true;
            PendingStart = Cursor.Start;
        }
        if (!Cursor.Next()) break;
        const std::string_view Next = Cursor.Line();
        if (Next.starts_with("be")) {
            AtBegin = Next.starts_with(UUBeginMarker);
            Armed = true;
        }
        if (!AtBegin && Armed && Next.starts_with("end")) {
            AtEnd = true;
            Armed = false;
        }
    }
}

void TMailPart::ConvertToMultipart(std::string& Boundary) {
    Boundary = NewBoundary();
    auto Text = NewChild();
    const std::string Encoded = QPEncode(RawBody, false);
    Text->Parse(Encoded, {}, false);
    Text->ParentBoundary = Boundary;
    Text->SetHeaderValue("Content-Type", "text/plain");
    Text->SetHeaderParam("Content-Type", "charset", Quoted(OwnerMessage->Charset));
    Text->SetHeaderValue("Content-Transfer-Encoding", "quoted-printable");
    SubParts.Add(std::move(Text));
    SetHeaderValue("Content-Type", "");
    SetHeaderValue("Content-Type", "multipart/mixed");
    SetHeaderParam("Content-Type", "boundary", Quoted(Boundary));
}

void TMailPart::AddUUAttachment(std::string_view Block, std::string_view FileName,
                                std::string_view Boundary) {
    auto Part = NewChild();
    UUDecodeText(Block, Part->DecodedBody);
    Part->SetHeaderValue("Content-Type", MimeTypeForFile(FileName));
    Part->EncodeBodyBase64();
    Part->ParentBoundary = Boundary;
    Part->SetHeaderValue("Content-Transfer-Encoding", "base64");
    Part->SetHeaderValue("Content-Disposition", "attachment");
    const std::string Name = Quoted(EncodeWordQ(FileName, OwnerMessage->Charset));
    Part->SetHeaderParam("Content-Type", "name", Name);
    Part->SetHeaderParam("Content-Disposition", "filename", Name);
    Part->SetHeaderValue("X-Lumbrook-Attachment", Name);
    Part->SetHeaderParam("X-Lumbrook-Attachment", "embedded", "no");
    SubParts.Add(std::move(Part));
}

std::string TMailPart::HeaderValue(std::string_view FieldName) const {
    const int Index = FindHeaderLine(HeaderLines, std::string(FieldName) + ":", 0);
    if (Index < 0) return {};
    return StripValueQuotes(std::string(TrimBlanks(ValueBeforeParams(HeaderLines[Index]))));
}

std::string TMailPart::HeaderParam(std::string_view FieldName, std::string_view ParamName) const {
    const int Index = FindHeaderLine(HeaderLines, std::string(FieldName) + ":", 0);
    if (Index < 0) return {};
    return StripValueQuotes(std::string(TrimBlanks(FindParam(HeaderLines[Index], ParamName))));
}

void TMailPart::SetHeaderValue(std::string_view FieldName, std::string_view Value) {
    int Index = FindHeaderLine(HeaderLines, std::string(FieldName) + ":", 0);
    if (Value.empty()) {
        if (Index >= 0) HeaderLines.erase(HeaderLines.begin() + Index);
        return;
    }
    if (Index < 0) {
        HeaderLines.push_back(std::string(FieldName) + ": ");
        Index = static_cast<int>(HeaderLines.size()) - 1;
    }
    HeaderLines[Index] = ReplaceValue(HeaderLines[Index], Value);
}

void TMailPart::SetHeaderParam(std::string_view FieldName, std::string_view ParamName,
                               std::string_view Value) {
    int Index = FindHeaderLine(HeaderLines, std::string(FieldName) + ":", 0);
    if (Index < 0) {
        HeaderLines.push_back(std::string(FieldName) + ": ");
        Index = static_cast<int>(HeaderLines.size()) - 1;
    }
    HeaderLines[Index] = ReplaceParam(HeaderLines[Index], ParamName, Value);
}

bool TMailPart::HasHeader(std::string_view FieldName) const {
    return FindHeaderLine(HeaderLines, std::string(FieldName) + ":", 0) >= 0;
}

std::string TMailPart::MediaType() const {
    return LowerAscii(HeaderValue("Content-Type"));
}

std::string TMailPart::BoundaryParam() const {
    return HeaderParam("Content-Type", "boundary");
}

bool TMailPart::DecodeBody() {
    if (IsDecoded) return true;
    IsDecoded = true;
    if (RawBody.empty()) return true;
    DecodedBody.clear();
    const std::string Encoding = LowerAscii(HeaderValue("Content-Transfer-Encoding"));
    if (Encoding == "quoted-printable") {
        DecodedBody = QPDecode(RawBody);
    } else if (Encoding == "base64") {
        Base64DecodeText(RawBody, DecodedBody);
    } else if (Encoding == "uucode" || Encoding == "x-uuencode") {
        TLineScanner Lines(RawBody);
        std::string_view Line;
        while (Lines.Next(Line)) UUDecodeLine(TrimBlanks(Line), DecodedBody);
        EncodeBodyBase64();
    } else {
        DecodedBody = RawBody;
    }
    return true;
}

void TMailPart::EncodeBodyBase64() {
    Base64EncodeStream(DecodedBody, RawBody);
    SetHeaderValue("Content-Transfer-Encoding", "base64");
}

TMailMessage::TMailMessage() : TMailPart(this) {}

TMailMessage::~TMailMessage() = default;

void TMailMessage::ForgetParts() {
    Attachments.Clear();
    TextPart = HtmlPart = MixedPart = RelatedPart = AlternativePart = nullptr;
}

bool TMailMessage::TakeAsBody(TMailPart* Part, std::string_view Type) {
    bool Taken = false;
    if (!TextPart && (Type == "text/plain" || Type == "text")) {
        Part->DecodeBody();
        if (!Part->DecodedBody.empty()) {
            TextPart = Part;
            TextLines = SplitLines(Part->DecodedBody);
            Taken = true;
        }
    }
    if (!HtmlPart && Type == "text/html") {
        Part->DecodeBody();
        if (!Part->DecodedBody.empty()) {
            HtmlPart = Part;
            HtmlLines = SplitLines(Part->DecodedBody);
            Taken = true;
        }
    }
    return Taken;
}

void TMailMessage::LocateBodies() {
    if (!NeedsLocate) return;
    ForgetParts();
    TextLines.clear();
    HtmlLines.clear();
    NeedsLocate = false;

    // Pre-order walk with an explicit stack; the tree's depth is bounded anyway.
    std::vector<TMailPart*> Pending{this};
    while (!Pending.empty()) {
        TMailPart* P = Pending.back();
        Pending.pop_back();
        for (std::size_t I = P->SubParts.Count(); I-- > 0;)
            Pending.push_back(P->SubParts.PartAt(I));

        const std::string T = P->MediaType();
        TMailPart* Parent = P->ParentPart;
        const bool IsMessage = P == this;
        const bool NoSubParts = P->SubParts.Empty();
        if (!MixedPart && T == "multipart/mixed") {
            MixedPart = P;
        } else if (!RelatedPart && T == "multipart/related") {
            RelatedPart = P;
        } else if (!AlternativePart && T == "multipart/alternative") {
            AlternativePart = P;
        } else if (IsMessage && (T.starts_with("text/") || T == "text") && NoSubParts &&
                   TakeAsBody(P, T)) {
        } else if (IsMessage && T.empty() && NoSubParts && TakeAsBody(P, "text/plain")) {
        } else if (Parent && Parent == MixedPart && !AlternativePart && TakeAsBody(P, T)) {
        } else if (Parent && Parent == RelatedPart && TakeAsBody(P, T)) {
        } else if (Parent && Parent == AlternativePart && TakeAsBody(P, T)) {
        } else if (NoSubParts) {
            P->IsEmbedded = Parent && Parent == RelatedPart;
            Attachments.Add(P);
        }
    }
}

}  // namespace lumbrook
