#include "upload/ImapClient.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <map>
#include <mutex>

#include <vmime/vmime.hpp>
#include <vmime/net/imap/IMAPConnection.hpp>
#include <vmime/net/imap/IMAPStore.hpp>
#include <vmime/net/imap/IMAPUtils.hpp>
#include <vmime/platforms/posix/posixHandler.hpp>
#include <vmime/security/sasl/XOAuth2SASLAuthenticator.hpp>

#include "base/Ascii.h"
#include "mime/HeaderFields.h"

namespace lumbrook {

namespace {

namespace vnet = vmime::net;
namespace vimap = vmime::net::imap;
namespace vcert = vmime::security::cert;

// A server that says nothing for this long is taken as gone: the upload then
// reconnects and goes on, rather than waiting for ever on a dead connection.
constexpr int QuietLimitMs = 60000;
// An answer of the server is a line and the odd small literal (the Message-ID field
// of a message): one bigger than this is no answer to what we ask, and is not held.
constexpr std::size_t MaxAnswerBytes = std::size_t{16} << 20;
// The largest literal a server with LITERAL- takes without a "+" first.
constexpr std::size_t LiteralMinusLimit = 4096;

void setUpVmime() {
    static std::once_flag once;
    std::call_once(once, [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
}

// The server's certificate chain checked by GnuTLS against the system's trust store
// (or the one CA file given), with the host name or address: vmime's own verifier
// wants every trusted certificate loaded by hand and knows no system store.
class TrustStoreVerifier : public vcert::certificateVerifier {
public:
    explicit TrustStoreVerifier(std::string caFile) : caFile(std::move(caFile)) {}

    void verify(vmime::shared_ptr<vcert::certificateChain> chain, const vmime::string& hostname) override {
        gnutls_x509_trust_list_t trust = nullptr;
        if (gnutls_x509_trust_list_init(&trust, 0) < 0) throw vcert::certificateException("cannot set up the trust list");
        std::vector<gnutls_x509_crt_t> certs;
        const auto release = [&] {
            for (auto c : certs) gnutls_x509_crt_deinit(c);
            gnutls_x509_trust_list_deinit(trust, 1);
        };
        const int loaded =
            caFile.empty()
                ? gnutls_x509_trust_list_add_system_trust(trust, 0, 0)
                : gnutls_x509_trust_list_add_trust_file(trust, caFile.c_str(), nullptr, GNUTLS_X509_FMT_PEM, 0, 0);
        if (loaded <= 0) {
            release();
            throw vcert::certificateException(
                caFile.empty() ? std::string("the system's trust store holds no certificates")
                               : "no certificate could be read from " + caFile);
        }
        for (std::size_t i = 0; i < chain->getCount(); ++i) {
            const vmime::byteArray der = chain->getAt(i)->getEncoded();
            gnutls_x509_crt_t cert = nullptr;
            gnutls_x509_crt_init(&cert);
            const gnutls_datum_t data{const_cast<unsigned char*>(der.data()), static_cast<unsigned>(der.size())};
            if (gnutls_x509_crt_import(cert, &data, GNUTLS_X509_FMT_DER) < 0) {
                gnutls_x509_crt_deinit(cert);
                release();
                throw vcert::certificateException("the server sent a certificate that cannot be read");
            }
            certs.push_back(cert);
        }
        if (certs.empty()) {
            release();
            throw vcert::certificateException("the server sent no certificate");
        }
        gnutls_typed_vdata_st checks[2] = {
            {GNUTLS_DT_DNS_HOSTNAME, reinterpret_cast<unsigned char*>(const_cast<char*>(hostname.c_str())), 0},
            {GNUTLS_DT_KEY_PURPOSE_OID, reinterpret_cast<unsigned char*>(const_cast<char*>(GNUTLS_KP_TLS_WWW_SERVER)), 0}};
        unsigned status = 0;
        const int result = gnutls_x509_trust_list_verify_crt2(trust, certs.data(), static_cast<unsigned>(certs.size()),
                                                              checks, 2, 0, &status, nullptr);
        std::string why;
        if (result < 0) {
            why = gnutls_strerror(result);
        } else if (status != 0) {
            gnutls_datum_t text{};
            if (gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &text, 0) == 0) {
                why.assign(reinterpret_cast<const char*>(text.data), text.size);
                gnutls_free(text.data);
            } else {
                why = "the certificate is not trusted";
            }
        }
        release();
        while (!why.empty() && (why.back() == ' ' || why.back() == '.')) why.pop_back();
        if (!why.empty()) throw vcert::certificateException(why);
    }

private:
    std::string caFile;
};

// Hands vmime the user name and the password or token kept in this object, so that
// no secret lands in the session's property set (which a tracer could print).
class PasswordAuthenticator : public vmime::security::sasl::defaultSASLAuthenticator {
public:
    PasswordAuthenticator(std::string user, std::string password) : user(std::move(user)), password(std::move(password)) {}
    const vmime::string getUsername() const override { return user; }
    const vmime::string getPassword() const override { return password; }
    // One attempt with the password, in the best way the server offers: each failed
    // attempt costs seconds of the server's penalty, and some providers lock an
    // account after a few.
    const std::vector<vmime::shared_ptr<vmime::security::sasl::SASLMechanism>> getAcceptableMechanisms(
        const std::vector<vmime::shared_ptr<vmime::security::sasl::SASLMechanism>>& available,
        vmime::shared_ptr<vmime::security::sasl::SASLMechanism> suggested) const override {
        auto mechanisms = defaultSASLAuthenticator::getAcceptableMechanisms(available, suggested);
        if (mechanisms.size() > 1) mechanisms.resize(1);
        return mechanisms;
    }

private:
    std::string user, password;
};

class TokenAuthenticator : public vmime::security::sasl::XOAuth2SASLAuthenticator {
public:
    TokenAuthenticator(std::string user, std::string token)
        : XOAuth2SASLAuthenticator(MODE_EXCLUSIVE), user(std::move(user)), token(std::move(token)) {}
    const vmime::string getUsername() const override { return user; }
    const vmime::string getAccessToken() const override { return token; }

private:
    std::string user, token;
};

// vmime's own exchanges (login, LIST, CREATE) end as the bulk path does when the
// server stays quiet too long.
class QuietLimit : public vnet::timeoutHandler {
public:
    bool isTimeOut() override { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(QuietLimitMs); }
    void resetTimeOut() override { start = std::chrono::steady_clock::now(); }
    bool handleTimeOut() override { return false; }

private:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

class QuietLimitFactory : public vnet::timeoutHandlerFactory {
public:
    vmime::shared_ptr<vnet::timeoutHandler> create() override { return vmime::make_shared<QuietLimit>(); }
};

// A tagged answer as vmime passes it on ("a003 NO [AUTHENTICATIONFAILED] ..."),
// without its tag and status word.
std::string withoutTag(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::size_t first = text.find(' ');
    if (first == std::string::npos) return text;
    const std::size_t second = text.find(' ', first + 1);
    const std::string word = upperAscii(text.substr(first + 1, second == std::string::npos ? second : second - first - 1));
    if ((word == "NO" || word == "BAD") && second != std::string::npos) return text.substr(second + 1);
    return text;
}

std::string utf8Of(const vnet::folder::path::component& component) {
    return component.getConvertedText(vmime::charsets::UTF_8);
}

vnet::folder::path vmimePath(const std::vector<std::string>& path) {
    vnet::folder::path out;
    for (const auto& level : path) out.appendComponent(vnet::folder::path::component(level, vmime::charsets::UTF_8));
    return out;
}

std::string trimmedId(std::string_view value) {
    const std::size_t open = value.find('<');
    const std::size_t close = value.find('>', open == std::string_view::npos ? 0 : open);
    if (open != std::string_view::npos && close != std::string_view::npos) value = value.substr(open + 1, close - open - 1);
    std::string id;
    for (char c : value)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') id += c;
    return id;
}

// The Message-ID of a header block (or of a whole message), as messageIdOf says.
std::string headerMessageId(std::string_view header) {
    const auto value = findHeaderField(header, "Message-ID");
    return value ? trimmedId(*value) : std::string();
}

}  // namespace

std::string messageIdOf(std::string_view rawMessage) {
    return headerMessageId(rawMessage);
}

std::string imapDateTime(std::int64_t unixTime) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[40];
    std::snprintf(text, sizeof text, "%02d-%s-%04d %02d:%02d:%02d +0000", tm.tm_mday, months[tm.tm_mon],
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

struct ImapClient::Session {
    ImapAccount account;
    ImapCredentials credentials;
    std::string caFile;
    vmime::shared_ptr<vnet::session> vmimeSession;
    vmime::shared_ptr<vimap::IMAPStore> store;
    std::string readBuffer;
    unsigned nextTag = 1;
    bool literalPlus = false, literalMinus = false;
    std::vector<std::string> personalNamespace;

    // Lines of the server as they come: a line ending in a literal's "{n}" has the
    // literal's bytes and the rest of the response appended. Throws Connection when
    // the connection ends or stays quiet.
    std::string readResponseLine() {
        auto socket = connectedSocket();
        std::string response;
        for (;;) {
            std::size_t lf;
            while ((lf = readBuffer.find('\n')) == std::string::npos) {
                if (readBuffer.size() > MaxAnswerBytes) throw UploadError(UploadErrorKind::Connection, "the server's answer is too long");
                fill(*socket);
            }
            std::string line = readBuffer.substr(0, lf + 1);
            readBuffer.erase(0, lf + 1);
            response += line;
            // "{n}\r\n" at the end: n bytes of a literal follow, then more of the line.
            std::size_t end = line.size();
            while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
            if (end < 3 || line[end - 1] != '}') return response;
            const std::size_t open = line.rfind('{', end - 1);
            if (open == std::string::npos) return response;
            std::size_t size = 0;
            const auto [p, error] = std::from_chars(line.data() + open + 1, line.data() + end - 1, size);
            if (error != std::errc() || p != line.data() + end - 1) return response;
            if (size > MaxAnswerBytes || response.size() > MaxAnswerBytes)
                throw UploadError(UploadErrorKind::Connection, "the server's answer is too long");
            while (readBuffer.size() < size) fill(*socket);
            response.append(readBuffer, 0, size);
            readBuffer.erase(0, size);
        }
    }

    void fill(vnet::socket& socket) {
        std::string chunk;
        const auto quietSince = std::chrono::steady_clock::now();
        for (;;) {
            try {
                socket.receive(chunk);
            } catch (const vmime::exception& e) {
                throw UploadError(UploadErrorKind::Connection, e.what());
            }
            if (!chunk.empty()) break;
            if (!socket.isConnected()) throw UploadError(UploadErrorKind::Connection, "the server closed the connection");
            const auto quiet = std::chrono::steady_clock::now() - quietSince;
            if (quiet > std::chrono::milliseconds(QuietLimitMs))
                throw UploadError(UploadErrorKind::Connection, "the server stopped answering");
            // Blocks until data comes (or the server's silence is long enough to ask again).
            if (socket.getStatus() & vnet::socket::STATUS_WANT_WRITE)
                socket.waitForWrite(QuietLimitMs);
            else
                socket.waitForRead(QuietLimitMs);
        }
        readBuffer += chunk;
    }

    // vmime's own socket, between two of its complete exchanges: its parser holds
    // nothing unread then, and the bytes of ours never mix with its commands. vmime
    // hands it out only as const; reading and writing it is what it is there for.
    std::shared_ptr<vnet::socket> connectedSocket() const {
        const auto connection = store ? store->getConnection() : nullptr;
        auto socket = connection ? std::const_pointer_cast<vnet::socket>(connection->getSocket()) : nullptr;
        if (!socket) throw UploadError(UploadErrorKind::Connection, "not connected");
        return socket;
    }

    void send(std::string_view bytes) {
        auto socket = connectedSocket();
        try {
            socket->sendRaw(reinterpret_cast<const vmime::byte_t*>(bytes.data()), bytes.size());
        } catch (const vmime::exception& e) {
            throw UploadError(UploadErrorKind::Connection, e.what());
        }
    }

    char separator() const {
        const auto connection = store ? store->getConnection() : nullptr;
        if (!connection) throw UploadError(UploadErrorKind::Connection, "not connected");
        return connection->hierarchySeparator();
    }

    std::string newTag() { return "lb" + std::to_string(nextTag++); }

    std::string mailboxName(const std::vector<std::string>& path) {
        return vimap::IMAPUtils::quoteString(vimap::IMAPUtils::pathToString(separator(), vmimePath(path)));
    }

    // A command without literals of ours; its untagged lines go to untagged. Returns
    // the tagged answer's status word and text.
    std::pair<std::string, std::string> command(const std::string& text, std::vector<std::string>* untagged = nullptr) {
        const std::string tag = newTag();
        send(tag + " " + text + "\r\n");
        for (;;) {
            std::string line = readResponseLine();
            if (line.starts_with(tag + " ")) return splitStatus(line.substr(tag.size() + 1));
            if (line.starts_with("* BYE")) throw UploadError(UploadErrorKind::Connection, trimmed(line.substr(2)));
            if (untagged && line.starts_with("* ")) untagged->push_back(std::move(line));
        }
    }

    static std::string trimmed(std::string_view text) {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
        return std::string(text);
    }

    static std::pair<std::string, std::string> splitStatus(std::string_view rest) {
        const std::size_t space = rest.find(' ');
        std::string word = upperAscii(rest.substr(0, space));
        return {word, space == std::string_view::npos ? std::string() : trimmed(rest.substr(space + 1))};
    }
};

ImapClient::ImapClient(ImapAccount account, ImapCredentials credentials, std::string caFile)
    : session(std::make_unique<Session>()) {
    session->account = std::move(account);
    session->credentials = std::move(credentials);
    session->caFile = std::move(caFile);
}

ImapClient::~ImapClient() {
    disconnect();
}

void ImapClient::connect(bool withoutSasl) {
    setUpVmime();
    disconnect();
    Session& s = *session;
    s.readBuffer.clear();
    s.vmimeSession = vnet::session::create();
    vmime::shared_ptr<vmime::security::authenticator> auth;
    if (!s.credentials.accessToken.empty())
        auth = vmime::make_shared<TokenAuthenticator>(s.account.user, s.credentials.accessToken);
    else
        auth = vmime::make_shared<PasswordAuthenticator>(s.account.user, s.credentials.password);
    const bool implicitTls = s.account.security == ImapSecurity::Tls;
    const vmime::utility::url url(implicitTls ? "imaps" : "imap", s.account.host, s.account.port);
    auto& props = s.vmimeSession->getProperties();
    const std::string prefix = implicitTls ? "store.imaps." : "store.imap.";
    // No second try with LOGIN after a refused SASL login (see PasswordAuthenticator);
    // a server without a SASL mechanism vmime knows is asked with LOGIN alone below.
    props[prefix + "options.sasl"] = s.credentials.accessToken.empty() ? !withoutSasl : true;
    props[prefix + "options.sasl.fallback"] = false;
    if (s.account.security == ImapSecurity::StartTls) {
        props[prefix + "connection.tls"] = true;
        props[prefix + "connection.tls.required"] = true;
    }
    try {
        s.store = vmime::dynamicCast<vimap::IMAPStore>(s.vmimeSession->getStore(url, auth));
        if (!s.store) throw UploadError(UploadErrorKind::Connect, "no IMAP support in the mail library");
        s.store->setCertificateVerifier(vmime::make_shared<TrustStoreVerifier>(s.caFile));
        s.store->setTimeoutHandlerFactory(vmime::make_shared<QuietLimitFactory>());
        s.store->connect();
    } catch (const UploadError&) {
        disconnect();
        throw;
    } catch (const vcert::certificateException& e) {
        disconnect();
        throw UploadError(UploadErrorKind::Certificate, e.what());
    } catch (const vmime::exceptions::authentication_error& e) {
        disconnect();
        const std::string why = e.response().empty() ? std::string(e.what()) : e.response();
        if (!withoutSasl && s.credentials.accessToken.empty() && why.find("No SASL mechanism") != std::string::npos)
            return connect(true);
        throw UploadError(UploadErrorKind::Login, withoutTag(why));
    } catch (const vmime::exceptions::no_such_mechanism& e) {
        disconnect();
        throw UploadError(UploadErrorKind::Login, "the server does not offer XOAUTH2");
    } catch (const vmime::exception& e) {
        disconnect();
        throw UploadError(UploadErrorKind::Connect, e.what());
    }
    const auto connection = s.store->getConnection();
    s.literalPlus = connection->hasCapability("LITERAL+");
    s.literalMinus = connection->hasCapability("LITERAL-");
    s.personalNamespace.clear();
    if (connection->hasCapability("NAMESPACE")) {
        // "* NAMESPACE (("INBOX." ".")) NIL NIL": the first personal prefix.
        std::vector<std::string> lines;
        if (s.command("NAMESPACE", &lines).first == "OK") {
            for (const std::string& line : lines) {
                if (!line.starts_with("* NAMESPACE ((\"")) continue;
                const std::size_t start = 15;
                const std::size_t end = line.find('"', start);
                if (end == std::string::npos) break;
                const std::string prefix = line.substr(start, end - start);
                const vnet::folder::path path = vimap::IMAPUtils::stringToPath(connection->hierarchySeparator(), prefix);
                for (std::size_t i = 0; i < path.getSize(); ++i)
                    if (!utf8Of(path[i]).empty()) s.personalNamespace.push_back(utf8Of(path[i]));
            }
        }
    }
}

const std::vector<std::string>& ImapClient::personalNamespace() const {
    return session->personalNamespace;
}

void ImapClient::disconnect() noexcept {
    Session& s = *session;
    if (s.store) {
        try {
            if (s.store->isConnected()) s.store->disconnect();
        } catch (...) {
            // A broken connection has nothing to say goodbye to.
        }
    }
    s.store.reset();
    s.vmimeSession.reset();
    s.readBuffer.clear();
}

bool ImapClient::isConnected() const {
    return session->store && session->store->isConnected();
}

bool ImapClient::pipelines() const {
    return session->literalPlus || session->literalMinus;
}

char ImapClient::delimiter() const {
    return session->separator();
}

std::vector<ServerMailbox> ImapClient::mailboxes() {
    std::vector<ServerMailbox> out;
    try {
        const auto folders = session->store->getRootFolder()->getFolders(true);
        for (const auto& folder : folders) {
            ServerMailbox box;
            const auto path = folder->getFullPath();
            for (std::size_t i = 0; i < path.getSize(); ++i) box.path.push_back(utf8Of(path[i]));
            const auto attributes = folder->getAttributes();
            switch (attributes.getSpecialUse()) {
                case vnet::folderAttributes::SPECIALUSE_SENT: box.use = SpecialUse::Sent; break;
                case vnet::folderAttributes::SPECIALUSE_TRASH: box.use = SpecialUse::Trash; break;
                case vnet::folderAttributes::SPECIALUSE_DRAFTS: box.use = SpecialUse::Drafts; break;
                default: break;
            }
            if (box.path.size() == 1 && equalsNoCase(box.path[0], "INBOX")) box.use = SpecialUse::Inbox;
            box.selectable = !(attributes.getFlags() & vnet::folderAttributes::FLAG_NO_OPEN);
            out.push_back(std::move(box));
        }
    } catch (const vmime::exceptions::command_error& e) {
        throw UploadError(UploadErrorKind::Server, "LIST: " + e.response());
    } catch (const vmime::exception& e) {
        throw UploadError(UploadErrorKind::Connection, e.what());
    }
    return out;
}

void ImapClient::createMailbox(const std::vector<std::string>& path) {
    // Made here rather than through vmime, which ends the name with the delimiter
    // for a folder that may hold folders: servers refuse that for some names.
    const auto [status, text] = session->command("CREATE " + session->mailboxName(path));
    // Made meanwhile by someone else is as good as made.
    if (status != "OK" && text.find("[ALREADYEXISTS]") == std::string::npos)
        throw UploadError(UploadErrorKind::Server, "CREATE: " + text);
}

std::unordered_set<std::string> ImapClient::messageIds(const std::vector<std::string>& path) {
    Session& s = *session;
    std::unordered_set<std::string> ids;
    const auto [examined, why] = s.command("EXAMINE " + s.mailboxName(path));
    if (examined != "OK") throw UploadError(UploadErrorKind::Server, "EXAMINE: " + why);
    std::vector<std::string> fetched;
    const auto [status, text] = s.command("UID FETCH 1:* (BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])", &fetched);
    // CLOSE on a mailbox opened read-only removes nothing.
    s.command("CLOSE");
    if (status != "OK") throw UploadError(UploadErrorKind::Server, "FETCH: " + text);
    for (const std::string& line : fetched) {
        // "* n FETCH (UID u BODY[HEADER.FIELDS (MESSAGE-ID)] {k}\r\n<header>)"
        const std::size_t brace = line.find("}\r\n");
        if (brace == std::string::npos) continue;
        std::string id = headerMessageId(std::string_view(line).substr(brace + 3));
        if (!id.empty()) ids.insert(std::move(id));
    }
    return ids;
}

std::vector<AppendResult> ImapClient::append(const std::vector<std::string>& path, std::span<const AppendItem> items) {
    Session& s = *session;
    const std::string mailbox = s.mailboxName(path);
    std::vector<AppendResult> results(items.size());
    std::map<std::string, std::size_t> pending;  // tag -> item
    std::string out;
    const auto takeLine = [&](const std::string& waitingTag) -> bool {
        // One response line; true when it is the go-ahead for waitingTag's literal.
        std::string line = s.readResponseLine();
        if (line.starts_with("+")) return !waitingTag.empty();
        if (line.starts_with("* BYE")) throw UploadError(UploadErrorKind::Connection, Session::trimmed(line.substr(2)));
        const std::size_t space = line.find(' ');
        const auto it = pending.find(line.substr(0, space));
        if (it == pending.end()) return false;
        const auto [word, text] = Session::splitStatus(std::string_view(line).substr(space + 1));
        AppendResult& result = results[it->second];
        result.serverText = text;
        if (word == "OK")
            result.outcome = AppendResult::Stored;
        else if (text.starts_with("[UNAVAILABLE]") || text.starts_with("[INUSE]") || text.starts_with("[SERVERBUG]"))
            result.outcome = AppendResult::TryLater;
        else
            result.outcome = AppendResult::Refused;
        pending.erase(it);
        return false;
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        const AppendItem& item = items[i];
        const std::string tag = s.newTag();
        pending.emplace(tag, i);
        std::string flags;
        const auto addFlag = [&](bool set, const char* name) {
            if (!set) return;
            if (!flags.empty()) flags += ' ';
            flags += name;
        };
        addFlag(item.seen, "\\Seen");
        addFlag(item.answered, "\\Answered");
        addFlag(item.flagged, "\\Flagged");
        addFlag(item.forwarded, "$Forwarded");
        const bool waitless = s.literalPlus || (s.literalMinus && item.text.size() <= LiteralMinusLimit);
        out += tag + " APPEND " + mailbox + " (" + flags + ")";
        if (item.unixTime != 0) out += " \"" + imapDateTime(item.unixTime) + "\"";
        out += " {" + std::to_string(item.text.size()) + (waitless ? "+}\r\n" : "}\r\n");
        if (!waitless) {
            // The server must say "+" first; answers to the messages before come on the way.
            s.send(out);
            out.clear();
            bool goAhead = false;
            while (!goAhead && pending.count(tag)) goAhead = takeLine(tag);
            if (!goAhead) continue;  // refused before its bytes (too large, say)
        }
        // Big messages go out on their own rather than copied into the buffer.
        if (item.text.size() > (std::size_t{1} << 20)) {
            s.send(out);
            out.clear();
            s.send(item.text);
        } else {
            out.append(item.text);
        }
        out += "\r\n";
        if (out.size() >= (std::size_t{1} << 20)) {
            s.send(out);
            out.clear();
        }
    }
    if (!out.empty()) s.send(out);
    while (!pending.empty()) takeLine({});
    return results;
}

}  // namespace lumbrook
