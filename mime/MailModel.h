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
    TMailPart* partAt(std::size_t index) const { return items.at(index); }
    std::size_t count() const { return items.size(); }
    bool empty() const { return items.empty(); }
    void add(TMailPart* part) { items.push_back(part); }
    void clear() { items.clear(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

  private:
    std::vector<TMailPart*> items;
};

// The child parts of a part, owned by it.
class TMailSubParts {
  public:
    TMailSubParts() = default;
    TMailSubParts(TMailSubParts&&) = default;
    TMailSubParts& operator=(TMailSubParts&&) = default;
    ~TMailSubParts() { clear(); }

    TMailPart* partAt(std::size_t index) const { return items.at(index).get(); }
    std::size_t count() const { return items.size(); }
    bool empty() const { return items.empty(); }
    TMailPart* add(std::unique_ptr<TMailPart> part);
    // Destroys the parts in list order.
    void clear();

  private:
    std::vector<std::unique_ptr<TMailPart>> items;
};

// Kept for the message's recipient lists; addresses are not parsed here.
class TMailRecipients {
  public:
    TMailRecipients(TMailMessage* owner, std::string headerLabel)
        : owner(owner), headerLabel(std::move(headerLabel)) {}

    TMailMessage* owner;
    std::string headerLabel;  // "To", "Cc" or "Bcc"
    TStringList names;
    TStringList addresses;
    int itemIndex = -1;
};

class TMailPart {
  public:
    // A part made for a message can parse on its own; one without refuses to.
    explicit TMailPart(TMailMessage* owner = nullptr) : ownerMessage(owner) {}
    TMailPart(const TMailPart&) = delete;
    TMailPart& operator=(const TMailPart&) = delete;
    virtual ~TMailPart();

    // Shown in the error of a part that is not part of a message.
    std::string name;
    TStringList headerLines;
    std::string rawBody;      // still transfer-encoded
    std::string decodedBody;  // filled by DecodeBody
    std::string parentBoundary;
    TMailMessage* ownerMessage = nullptr;
    TMailSubParts subParts;
    TMailPart* parentPart = nullptr;
    bool isDecoded = false;
    bool isEmbedded = false;

    void loadText(std::string_view text) { parseText(text, true); }
    // Rebuilds header, raw body and sub-parts from Text (up to its first zero
    // byte). Throws ELumbrookError when the part has no owner message.
    void parseText(std::string_view text, bool withHeader);

    std::string headerValue(std::string_view fieldName) const;
    std::string headerParam(std::string_view fieldName, std::string_view paramName) const;
    void setHeaderValue(std::string_view fieldName, std::string_view value);
    void setHeaderParam(std::string_view fieldName, std::string_view paramName,
                        std::string_view value);
    bool hasHeader(std::string_view fieldName) const;
    std::string mediaType() const;
    std::string boundaryParam() const;

    // Fills DecodedBody from RawBody once per parse; always true.
    bool decodeBody();
    void encodeBodyBase64();

  private:
    // Text is the part's own text; Tail the bytes right after it (the CR LF before
    // the next delimiter line) that still belong to a body running to its end.
    void parse(std::string_view text, std::string_view tail, bool withHeader);
    int depth() const;
    struct TParseCursor;
    void parseMultipart(TParseCursor& cursor, std::string_view boundary);
    void parseUuEncoded(TParseCursor& cursor);
    void convertToMultipart(std::string& boundary);
    void addUuAttachment(std::string_view block, std::string_view fileName,
                         std::string_view boundary);
    std::unique_ptr<TMailPart> newChild();
};

enum TEncodingType : std::uint8_t { etBase64 = 0, etQuotedPrintable = 1, etNoEncoding = 2 };
enum TEmbedMethod : std::uint8_t { emContentID = 0, emContentLocation = 1 };

using TProgressEvent = std::function<void(TMailMessage* sender, int total, int current)>;

class TMailMessage : public TMailPart {
  public:
    TMailMessage();
    ~TMailMessage() override;

    TMailPartList attachments;
    TStringList textLines;
    TStringList htmlLines;
    TMailPart* textPart = nullptr;
    TMailPart* htmlPart = nullptr;
    TMailPart* mixedPart = nullptr;
    TMailPart* relatedPart = nullptr;
    TMailPart* alternativePart = nullptr;
    std::string charset = "iso-8859-1";
    TProgressEvent onProgress;
    // Run after each progress report; a user interface lets its pending events
    // run here. Unset, nothing happens.
    std::function<void()> onProcessMessages;
    TMailRecipients toList{this, "To"};
    TMailRecipients ccList{this, "Cc"};
    TMailRecipients bccList{this, "Bcc"};
    TEncodingType textEncoding = etQuotedPrintable;
    TEncodingType attachEncoding = etBase64;
    TEmbedMethod embedMethod = emContentLocation;
    std::string contentLocationBase = "http://localhost/";
    bool needsLocate = false;

    void locateBodies();

  private:
    friend class TMailPart;
    // Every parse in the tree drops the references into the old tree.
    void forgetParts();
    bool takeAsBody(TMailPart* part, std::string_view type);
};

}  // namespace lumbrook
