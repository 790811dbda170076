#pragma once

// The parsed Internet message: a tree of parts with canonical header lines, raw
// and lazily decoded bodies, old-style uuencoded messages turned into the same
// multipart shape, and the choice of text body, HTML body and attachments.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mime/LineList.h"
#include "mime/MailCodecs.h"
#include "mime/MailHeaders.h"

namespace lumbrook {

class MailPart;
class MailMessage;

// Parts nested this deep hold their whole body instead of being split further,
// so hostile nesting cannot exhaust the stack or the time of a parse.
inline constexpr int MaxPartDepth = 64;

// A list of parts that owns none of them.
class MailPartList {
  public:
    MailPart* partAt(std::size_t index) const { return items.at(index); }
    std::size_t count() const { return items.size(); }
    bool empty() const { return items.empty(); }
    void add(MailPart* part) { items.push_back(part); }
    void clear() { items.clear(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

  private:
    std::vector<MailPart*> items;
};

// The child parts of a part, owned by it.
class MailSubParts {
  public:
    MailSubParts() = default;
    MailSubParts(MailSubParts&&) = default;
    MailSubParts& operator=(MailSubParts&&) = default;
    ~MailSubParts() { clear(); }

    MailPart* partAt(std::size_t index) const { return items.at(index).get(); }
    std::size_t count() const { return items.size(); }
    bool empty() const { return items.empty(); }
    MailPart* add(std::unique_ptr<MailPart> part);
    // Destroys the parts in list order.
    void clear();

  private:
    std::vector<std::unique_ptr<MailPart>> items;
};

class MailPart {
  public:
    // A part made for a message can parse on its own; one without refuses to.
    explicit MailPart(MailMessage* owner = nullptr) : ownerMessage(owner) {}
    MailPart(const MailPart&) = delete;
    MailPart& operator=(const MailPart&) = delete;
    virtual ~MailPart();

    // Shown in the error of a part that is not part of a message.
    std::string name;
    StringList headerLines;
    std::string rawBody;      // still transfer-encoded
    std::string decodedBody;  // filled by decodeBody
    std::string parentBoundary;
    // The file name on the begin line of a uuencoded block this part was made from,
    // as written there; empty for every other part.
    std::string beginLineName;
    MailMessage* ownerMessage = nullptr;
    MailSubParts subParts;
    MailPart* parentPart = nullptr;
    bool isDecoded = false;
    bool isEmbedded = false;

    void loadText(std::string_view text) { parseText(text, true); }
    // Rebuilds header, raw body and sub-parts from Text (up to its first zero
    // byte). Throws LumbrookError when the part has no owner message.
    void parseText(std::string_view text, bool withHeader);

    std::string headerValue(std::string_view fieldName) const;
    std::string headerParam(std::string_view fieldName, std::string_view paramName) const;
    void setHeaderValue(std::string_view fieldName, std::string_view value);
    void setHeaderParam(std::string_view fieldName, std::string_view paramName,
                        std::string_view value);
    bool hasHeader(std::string_view fieldName) const;
    std::string mediaType() const;
    std::string boundaryParam() const;

    // Fills decodedBody from rawBody once per parse; always true.
    bool decodeBody();
    void encodeBodyBase64();

  private:
    // Text is the part's own text; Tail the bytes right after it (the CR LF before
    // the next delimiter line) that still belong to a body running to its end.
    void parse(std::string_view text, std::string_view tail, bool withHeader);
    int depth() const;
    struct ParseCursor;
    void parseMultipart(ParseCursor& cursor, std::string_view boundary);
    void parseUuEncoded(ParseCursor& cursor);
    void convertToMultipart(std::string& boundary);
    void addUuAttachment(std::string_view block, std::string_view fileName,
                         std::string_view boundary);
    std::unique_ptr<MailPart> newChild();
};

using ProgressEvent = std::function<void(MailMessage* sender, int total, int current)>;

class MailMessage : public MailPart {
  public:
    MailMessage();
    ~MailMessage() override;

    MailPartList attachments;
    // The lines of the text and HTML bodies: views of textPart's and htmlPart's
    // decoded bodies (up to a zero byte), dropped whenever the tree is parsed again.
    LineList textLines;
    LineList htmlLines;
    MailPart* textPart = nullptr;
    MailPart* htmlPart = nullptr;
    MailPart* mixedPart = nullptr;
    MailPart* relatedPart = nullptr;
    MailPart* alternativePart = nullptr;
    std::string charset = "iso-8859-1";
    ProgressEvent onProgress;
    // Run after each progress report; a user interface lets its pending events
    // run here. Unset, nothing happens.
    std::function<void()> onProcessMessages;
    bool needsLocate = false;

    void locateBodies();

  private:
    friend class MailPart;
    // Every parse in the tree drops the references into the old tree.
    void forgetParts();
    bool takeAsBody(MailPart* part, std::string_view type);
};

}  // namespace lumbrook
