#pragma once

// Which mail account an upload goes to: the address the user writes
// (imaps://USER@HOST[:PORT][/PREFIX]), and where the password comes from when
// the user does not type it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

enum class ImapSecurity {
    Tls,       // imaps://: TLS from the first byte (port 993)
    StartTls,  // imap://: STARTTLS before anything else is said (port 143)
    None,      // imap:// with --insecure: no TLS at all, for a server on this machine
};

struct ImapAccount {
    ImapSecurity security = ImapSecurity::Tls;
    std::string user;
    std::string host;
    std::uint16_t port = 993;
    // Where the store's folders go, as the user wrote it ("Old mail/OE"); "/" separates
    // levels whatever the server's own delimiter is. Empty: at the top.
    std::string prefix;

    // "user@host:port/prefix": names the account in the upload record and in messages.
    std::string displayName() const;
};

// Parses imaps://USER@HOST[:PORT][/PREFIX] or imap://...; the user part may be
// percent-encoded (an "@" in a user name is "%40"). None, with problem set to a
// sentence, when the text is not such an address.
std::optional<ImapAccount> parseImapAddress(std::string_view text, std::string* problem = nullptr);

// The password for user at host from the netrc file (a "machine" entry, else the
// "default" entry); none when the file or an entry is missing.
std::optional<std::string> netrcPassword(const std::string& netrcPath, std::string_view host,
                                         std::string_view user);

}  // namespace lumbrook
