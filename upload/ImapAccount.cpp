#include "upload/ImapAccount.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/Ascii.h"

namespace lumbrook {

namespace {

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (text.size() - i < 3) return std::nullopt;
        const int high = hexDigitValue(text[i + 1]), low = hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool isNetrcBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The words of a netrc file: blanks separate them, a double-quoted word may hold blanks.
std::vector<std::string> netrcWords(const std::string& text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isNetrcBlank(text[i])) ++i;
        if (i == text.size()) break;
        std::string word;
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                word += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && !isNetrcBlank(text[i])) word += text[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

}  // namespace

std::string ImapAccount::displayName() const {
    std::string name = user + "@" + host + ":" + std::to_string(port);
    if (!prefix.empty()) name += "/" + prefix;
    return name;
}

std::optional<ImapAccount> parseImapAddress(std::string_view text, std::string* problem) {
    const auto fail = [&](std::string why) -> std::optional<ImapAccount> {
        if (problem) *problem = std::move(why);
        return std::nullopt;
    };
    ImapAccount account;
    if (text.starts_with("imaps://")) {
        text.remove_prefix(8);
        account.security = ImapSecurity::Tls;
        account.port = 993;
    } else if (text.starts_with("imap://")) {
        text.remove_prefix(7);
        account.security = ImapSecurity::StartTls;
        account.port = 143;
    } else {
        return fail("the address must begin with imaps:// or imap://");
    }
    const std::size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    if (slash != std::string_view::npos) {
        std::string_view prefix = text.substr(slash + 1);
        while (prefix.ends_with('/')) prefix.remove_suffix(1);
        const auto decoded = percentDecoded(prefix);
        if (!decoded) return fail("the folder after the host is not a valid address part");
        account.prefix = *decoded;
    }
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos || at == 0) return fail("the address must name the user: imaps://USER@HOST");
    const auto user = percentDecoded(authority.substr(0, at));
    if (!user || user->empty()) return fail("the user name in the address is not valid");
    account.user = *user;
    std::string_view hostPort = authority.substr(at + 1);
    std::string_view host = hostPort;
    if (hostPort.starts_with('[')) {  // an IPv6 address
        const std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return fail("the host's IPv6 address lacks its ']'");
        host = hostPort.substr(1, close - 1);
        hostPort.remove_prefix(close + 1);
        if (!hostPort.empty() && !hostPort.starts_with(':')) return fail("unexpected text after the host");
    } else {
        const std::size_t colon = hostPort.rfind(':');
        host = hostPort.substr(0, colon);
        hostPort = colon == std::string_view::npos ? std::string_view() : hostPort.substr(colon);
    }
    if (host.empty()) return fail("the address names no host");
    account.host = std::string(host);
    if (hostPort.starts_with(':')) {
        hostPort.remove_prefix(1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(hostPort.data(), hostPort.data() + hostPort.size(), port);
        if (error != std::errc() || end != hostPort.data() + hostPort.size() || port == 0 || port > 65535)
            return fail("the port in the address is not a number from 1 to 65535");
        account.port = static_cast<std::uint16_t>(port);
    }
    return account;
}

std::optional<std::string> netrcPassword(const std::string& netrcPath, std::string_view host,
                                         std::string_view user) {
    std::ifstream in(netrcPath, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    const std::vector<std::string> words = netrcWords(text.str());
    std::optional<std::string> fallback;
    // Entries run from one "machine" or "default" to the next; a "macdef" body is
    // not made of entries, but it ends at an empty line, which the words no longer
    // show: such a file is read as far as its first macro.
    for (std::size_t i = 0; i < words.size();) {
        const bool isDefault = words[i] == "default";
        if (words[i] == "macdef") break;
        if (words[i] != "machine" && !isDefault) {
            ++i;
            continue;
        }
        std::string machine;
        if (!isDefault && i + 1 < words.size()) machine = words[++i];
        ++i;
        std::optional<std::string> login, password;
        while (i < words.size() && words[i] != "machine" && words[i] != "default" && words[i] != "macdef") {
            if (i + 1 < words.size() && words[i] == "login") login = words[i + 1];
            if (i + 1 < words.size() && words[i] == "password") password = words[i + 1];
            i += i + 1 < words.size() ? 2 : 1;
        }
        if (!password || (login && *login != user)) continue;
        if (!isDefault && equalsNoCase(machine, host)) return password;
        if (isDefault && !fallback) fallback = password;
    }
    return fallback;
}

}  // namespace lumbrook
