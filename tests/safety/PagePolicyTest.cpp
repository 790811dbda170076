// A page written by export, with everything a mail may carry to run code or to
// reach the network, opened in a real browser (headless Chromium): nothing runs
// and no request leaves. The same markup without the page's head does both, which
// shows that the check can see it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>

#include "output/Output.h"
#include "tests/safety/SafetySupport.h"
#include "tests/support/CliRunner.h"

namespace lumbrook::safety {
namespace {

const char* const Chromium = "/usr/bin/chromium";

// Counts the connections made to a port of 127.0.0.1 and answers each with an
// empty page.
class CountingServer {
public:
    CountingServer() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(fd, 64) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "no listening socket";
            return;
        }
        port = ntohs(address.sin_port);
        thread = std::thread([this] {
            while (!stopping) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0) continue;
                const int client = ::accept(fd, nullptr, nullptr);
                if (client < 0) continue;
                ++connections;
                char request[512] = {};
                pollfd c{client, POLLIN, 0};
                if (::poll(&c, 1, 1000) > 0) {
                    const auto n = ::recv(client, request, sizeof request - 1, 0);
                    std::string text(request, n > 0 ? static_cast<std::size_t>(n) : 0);
                    std::lock_guard lock(mutex);
                    requests += text.substr(0, text.find('\r')) + "; ";
                }
                const char reply[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
                [[maybe_unused]] auto sent = ::send(client, reply, sizeof reply - 1, MSG_NOSIGNAL);
                ::close(client);
            }
        });
    }
    ~CountingServer() {
        stopping = true;
        if (thread.joinable()) thread.join();
        if (fd >= 0) ::close(fd);
    }
    int port = 0;
    std::atomic<int> connections{0};
    std::mutex mutex;
    std::string requests;  // the first line of each

private:
    int fd = -1;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

std::string hostileHtml(const std::string& r) {
    return "<html><head><base href=\"" + r + "/base/\">"
           "<meta http-equiv=\"refresh\" content=\"0; url=" + r + "/refresh\">"
           "<link rel=\"stylesheet\" href=\"" + r + "/sheet.css\">"
           "<link rel=\"preload\" as=\"image\" href=\"" + r + "/preload.png\">"
           "<link rel=\"prefetch\" href=\"" + r + "/prefetch\">"
           "<style>@import url(" + r + "/import.css); @font-face { font-family: f; src: url(" +
           r + "/font.woff); } body { font-family: f; background: url(" + r +
           "/back.png); }</style>"
           "<script src=\"" + r + "/script.js\"></script>"
           "<script>document.documentElement.setAttribute('data-x', 'script' + '-ran');</script>"
           "</head><body onload=\"document.body.setAttribute('data-y', 'onload' + '-ran')\">"
           "<img src=\"" + r + "/remote.png\"><img src=\"relative.png\">"
           "<img src=\"none.png\" onerror=\"document.body.setAttribute('data-z', 'onerror' + '-ran')\">"
           "<iframe src=\"" + r + "/frame\"></iframe><object data=\"" + r + "/object\"></object>"
           "<embed src=\"" + r + "/embed\"><video poster=\"" + r + "/poster.png\"></video>"
           "<form action=\"" + r + "/form\"><input name=\"q\" value=\"1\"></form>"
           "<script>document.forms[0].submit();</script>"
           "</body></html>";
}

struct Visit {
    std::string dom;
    int connections = 0;
};

// Runs the browser in a process group of its own with its output in a file, and
// ends the whole group when it takes longer than a generous bound: the browser's
// helper processes outlive a killed parent and would hold a pipe open for ever.
std::string runBrowser(const std::vector<std::string>& args, const fs::path& dir) {
    const fs::path output = dir / "browser-output.txt";
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) ::dup2(fd, STDOUT_FILENO);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::setpgid(child, child);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(-child, SIGKILL);  // helpers left behind
    std::ifstream in(output, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Visit openInChromium(const fs::path& page, const fs::path& profile, CountingServer& server) {
    const std::string dom = runBrowser(
        {Chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--user-data-dir=" + profile.string(),
         "--virtual-time-budget=3000", "--dump-dom", "file://" + page.string()},
        page.parent_path());
    // Loads the page started may still be on their way.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return {dom, server.connections.exchange(0)};
}

TEST_F(SafetyTest, AnExportedPageRunsNothingAndRequestsNothingInABrowser) {
    if (!fs::exists(Chromium)) GTEST_SKIP() << "needs " << Chromium << " (Debian package chromium)";
    CountingServer server;
    ASSERT_GT(server.port, 0);
    const std::string html = hostileHtml("http://127.0.0.1:" + std::to_string(server.port));

    // The bare markup: the harness sees requests made and scripts run.
    writeText(out / "bare.htm", html);
    EXPECT_GT(openInChromium(out / "bare.htm", root / "profile-bare", server).connections, 0);
    writeText(out / "script.htm", "<p><script>document.write('script' + '-ran');</script>");
    EXPECT_NE(openInChromium(out / "script.htm", root / "profile-bare", server).dom.find("script-ran"),
              std::string::npos);

    ExportSettings settings;
    settings.dir = out.string() + "/";
    MessageInfo record;
    record.subject = "hostile";
    const std::string page =
        exportMessage(settings, record, "Content-Type: text/html\r\n\r\n" + html + "\r\n");
    const Visit visit = openInChromium(page, root / "profile-page", server);
    ASSERT_NE(visit.dom.find("<img src=\"relative.png\">"), std::string::npos) << visit.dom;
    for (const char* ran : {"script-ran", "onload-ran", "onerror-ran"})
        EXPECT_EQ(visit.dom.find(ran), std::string::npos) << ran;
    EXPECT_EQ(visit.connections, 0) << server.requests;
}

}  // namespace
}  // namespace lumbrook::safety
