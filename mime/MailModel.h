#pragma once

// The parsed Internet message: a tree of parts with canonical header lines, raw
// and lazily decoded bodies, old-style uuencoded messages turned into the same
// multipart shape, and the choice of text body, HTML body and attachments.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mime/MailCodecs.h"
#include "mime/MailHeaders.h"

namespace lumbrook {

class TMailPart;
class TMailMessage;

inline constexpr std::string_view SPartWithoutOwner =
    "%s: TMailPart must be owned by a TMailMessage";

// Parts nested this deep hold their whole body instead of being split further,
// so hostile nesting cannot exhaust the stack or the time of a parse.
inline constexpr int MaxPartDepth = 64;

// A list of parts that owns none of them.
class TMailPartList {
  public:
    TMailPart* PartAt(std::size_t Index) const { return Items.at(Index); }
    std::size_t Count() const { return Items.size(); }
    bool Empty() const { return Items.empty(); }
    void Add(TMailPart* Part) { Items.push_back(Part); }
    void Clear() { Items.clear(); }
    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }

  private:
    std::vector<TMailPart*> Items;
};

// The child parts of a part, owned by it.
class TMailSubParts {
  public:
    TMailSubParts() = default;
    TMailSubParts(TMailSubParts&&) = default;
    TMailSubParts& operator=(TMailSubParts&&) = default;
    ~TMailSubParts() { Clear(); }

    TMailPart* PartAt(std::size_t Index) const { return Items.at(Index).get(); }
    std::size_t Count() const { return Items.size(); }
    bool Empty() const { return Items.empty(); }
    TMailPart* Add(std::unique_ptr<TMailPart> Part);
    // Destroys the parts in list order.
    void Clear();

  private:
    std::vector<std::unique_ptr<TMailPart>> Items;
};

// Kept for the message's recipient lists; addresses are not parsed here.
class TMailRecipients {
  public:
    TMailRecipients(TMailMessage* Owner, std::string HeaderLabel)
        : Owner(Owner), HeaderLabel(std::move(HeaderLabel)) {}

    TMailMessage* Owner;
    std::string HeaderLabel;  // "To", "Cc" or "Bcc"
    TStringList Names;
    TStringList Addresses;
    int ItemIndex = -1;
};

class TMailPart {
  public:
    // A part made for a message can parse on its own; one without refuses to.
    explicit TMailPart(TMailMessage* Owner = nullptr) : OwnerMessage(Owner) {}
    TMailPart(const TMailPart&) = delete;
    TMailPart& operator=(const TMailPart&) = delete;
    virtual ~TMailPart();

    // Shown in the error of a part that is not part of a message.
    std::string Name;
    TStringList HeaderLines;
    std::string RawBody;      // still transfer-encoded
    std::string DecodedBody;  // filled by DecodeBody
    std::string ParentBoundary;
    TMailMessage* OwnerMessage = nullptr;
    TMailSubParts SubParts;
    TMailPart* ParentPart = nullptr;
    bool IsDecoded = false;
    bool IsEmbedded = false;

    void LoadText(std::string_view Text) { ParseText(Text, true); }
    // Rebuilds header, raw body and sub-parts from Text (up to its first zero
    // byte). Throws ELumbrookError when the part has no owner message.
    void ParseText(std::string_view Text, bool WithHeader);

    std::string HeaderValue(std::string_view FieldName) const;
    std::string HeaderParam(std::string_view FieldName, std::string_view ParamName) const;
    void SetHeaderValue(std::string_view FieldName, std::string_view Value);
    void SetHeaderParam(std::string_view FieldName, std::string_view ParamName,
                        std::string_view Value);
    bool HasHeader(std::string_view FieldName) const;
    std::string MediaType() const;
    std::string BoundaryParam() const;

    // Fills DecodedBody from RawBody once per parse; always true.
    bool DecodeBody();
    void EncodeBodyBase64();

  private:
    // Text is the part's own text; Tail the bytes right after it (the CR LF before
    // the next delimiter line) that still belong to a body running to its end.
    void Parse(std::string_view Text, std::string_view Tail, bool WithHeader);
    int Depth() const;
    struct TParseCursor;
    void ParseMultipart(TParseCursor& Cursor, std::string_view Boundary);
    void ParseUUEncoded(TParseCursor& Cursor);
    void ConvertToMultipart(std::string& Boundary);
    void AddUUAttachment(std::string_view Block, std::string_view FileName,
                         std::string_view Boundary);
    std::unique_ptr<TMailPart> NewChild();
};

enum TEncodingType : std::uint8_t { etBase64 = 0, etQuotedPrintable = 1, etNoEncoding = 2 };
enum TEmbedMethod : std::uint8_t { emContentID = 0, emContentLocation = 1 };

using TProgressEvent = std::function<void(TMailMessage* Sender, int Total, int Current)>;

class TMailMessage : public TMailPart {
  public:
    TMailMessage();
    ~TMailMessage() override;

    TMailPartList Attachments;
    TStringList TextLines;
    TStringList HtmlLines;
    TMailPart* TextPart = nullptr;
    TMailPart* HtmlPart = nullptr;
    TMailPart* MixedPart = nullptr;
    TMailPart* RelatedPart = nullptr;
    TMailPart* AlternativePart = nullptr;
    std::string Charset = "iso-8859-1";
    TProgressEvent OnProgress;
    // Run after each progress report; a user interface lets its pending events
    // run here. Unset, nothing happens.
    std::function<void()> OnProcessMessages;
    TMailRecipients ToList{this, "To"};
    TMailRecipients CcList{this, "Cc"};
    TMailRecipients BccList{this, "Bcc"};
    TEncodingType TextEncoding = etQuotedPrintable;
    TEncodingType AttachEncoding = etBase64;
    TEmbedMethod EmbedMethod = emContentLocation;
    std::string ContentLocationBase = "http://localhost/";
    bool NeedsLocate = false;

    void LocateBodies();

  private:
    friend class TMailPart;
    // Every parse in the tree drops the references into the old tree.
    void ForgetParts();
    bool TakeAsBody(TMailPart* Part, std::string_view Type);
};

}  // namespace lumbrook
