#pragma once

// One connection to a mail account, for uploading: TLS with the certificate checked,
// login, the account's folders and their special uses, folders made, the
// Message-IDs a folder holds, and messages appended with their flags and dates.
//
// The library is vmime (Debian's libvmime, built with GnuTLS and GNU SASL), chosen
// over libetpan because it brings what an upload must get right out of the box:
// STARTTLS and implicit TLS behind one session, SASL including XOAUTH2, LIST with
// the SPECIAL-USE attributes, folder names in modified UTF-7 with the server's
// hierarchy delimiter, and a pluggable certificate check; Debian's libetpan is built
// with GnuTLS but checks no certificate at all, and would need all of that written
// around it. Neither pipelines APPEND: vmime sends one APPEND and waits for the
// server's "+" before the message, a round trip per message that caps an upload to a
// local server far below the speed goal. So the bulk path (APPEND with LITERAL+,
// and the FETCH of a folder's Message-IDs) is written here, on vmime's own socket,
// between two of vmime's complete exchanges. MULTIAPPEND alone would not help: without
// LITERAL+ each message's literal still waits for its "+"; such a server gets one
// APPEND after the other.
//
// Licence: vmime is GPL-3 (libetpan is BSD); a program linked with this library is
// GPL-3 as a whole. vmime stays inside ImapClient.cpp, behind this interface.
//
// Not thread-safe; one object per thread.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "upload/ImapAccount.h"

namespace lumbrook {

// Why the account could not be used or a step failed; the front end words it.
enum class UploadErrorKind {
    Connect,      // the server cannot be reached (detail: the system's or library's reason)
    Certificate,  // the server's certificate is not trusted (detail: why)
    Login,        // the server refused the user name and password or token (detail: its answer)
    Connection,   // the connection broke or timed out during the upload (detail: why)
    Server,       // the server refused a step other than a message (detail: step and its answer)
    Record,       // the upload record cannot be read or written (detail: path and reason)
};

class UploadError : public std::runtime_error {
public:
    UploadError(UploadErrorKind kind, std::string detail)
        : std::runtime_error(detail), errorKind(kind), text(std::move(detail)) {}
    UploadErrorKind kind() const { return errorKind; }
    const std::string& detail() const { return text; }

private:
    UploadErrorKind errorKind;
    std::string text;
};

struct ImapCredentials {
    std::string password;
    std::string accessToken;  // when set: XOAUTH2 with this bearer token, no password
};

enum class SpecialUse { None, Inbox, Sent, Trash, Drafts };

struct ServerMailbox {
    std::vector<std::string> path;  // UTF-8 levels
    SpecialUse use = SpecialUse::None;
    bool selectable = true;
};

struct AppendItem {
    std::string_view text;
    bool seen = false, answered = false, flagged = false, forwarded = false;
    std::int64_t unixTime = 0;  // INTERNALDATE; 0: none given (the server's time)
};

struct AppendResult {
    enum Outcome { Stored, Refused, TryLater } outcome = Refused;
    std::string serverText;  // the tagged answer after OK/NO/BAD
};

class ImapClient {
public:
    // caFile: a PEM file of the certificate authorities to trust instead of the
    // system's; empty: the system's trust store.
    ImapClient(ImapAccount account, ImapCredentials credentials, std::string caFile = {});
    ~ImapClient();
    ImapClient(const ImapClient&) = delete;
    ImapClient& operator=(const ImapClient&) = delete;

    // Throws UploadError (Connect, Certificate, Login). withoutSasl: log in with the
    // LOGIN command alone (for a server that offers no SASL mechanism vmime knows).
    void connect(bool withoutSasl = false);
    void disconnect() noexcept;
    bool isConnected() const;

    char delimiter() const;
    // Where the user's own mailboxes live, as levels: empty on most servers, "INBOX"
    // on those that keep everything below the Inbox (Courier, older Cyrus).
    const std::vector<std::string>& personalNamespace() const;
    std::vector<ServerMailbox> mailboxes();
    // Throws UploadError (Server) when the server refuses.
    void createMailbox(const std::vector<std::string>& path);
    // The Message-IDs of a mailbox's messages, as their header gives them (the text
    // between the angle brackets, blanks removed).
    std::unordered_set<std::string> messageIds(const std::vector<std::string>& path);
    // Appends the items in order, pipelined when the server takes literals without
    // waiting (LITERAL+, or LITERAL- for small messages). A result per item. Throws
    // UploadError (Connection) when the connection breaks: which items arrived is
    // then unknown.
    std::vector<AppendResult> append(const std::vector<std::string>& path,
                                     std::span<const AppendItem> items);
    // Whether appends are pipelined on this connection.
    bool pipelines() const;

private:
    struct Session;
    std::unique_ptr<Session> session;
};

// The Message-ID of a raw message: the text between its angle brackets, blanks
// removed; empty when it has none.
std::string messageIdOf(std::string_view rawMessage);

// An INTERNALDATE: "07-Dec-2026 23:05:15 +0000".
std::string imapDateTime(std::int64_t unixTime);

}  // namespace lumbrook
