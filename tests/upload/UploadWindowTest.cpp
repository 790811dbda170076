// The window's upload (File > "Upload to mail server...") against a Dovecot of the
// test's own: the command line's walk, run off the window's thread under its
// progress dialog, whose Cancel stops after the batch in hand.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "tests/upload/UploadTestSupport.h"
#include "windows/UploadDialog.h"

namespace lumbrook {
namespace {

using namespace uploadtest;
using test::TempDir;

TEST(UploadWindow, ACancelledUploadSaysSoAndTheNextGoesOnWithoutTwice) {
    if (::access(DovecotProgram, X_OK) != 0) {
        if (std::getenv("CI")) FAIL() << "Dovecot is not installed; scripts/setup.sh installs it";
        GTEST_SKIP() << "Dovecot is not installed (scripts/setup.sh)";
    }
    TempDir serverDir, home, storeDir;
    Dovecot server(serverDir);
    ASSERT_TRUE(server.makeOk);
    ASSERT_TRUE(server.start());
    constexpr int Count = 1200;
    std::vector<TestFolder> folders = {{0, -1, "Outlook Express", "", false, {}},
                                       {1, 0, "Local Folders", "", false, {}},
                                       {4, 1, "Inbox", "Inbox.dbx", true, {}}};
    for (int i = 0; i < Count; ++i) folders[2].texts.push_back(mailText("w." + std::to_string(i), "m", 3000));
    folders[2].texts[Count - 1] = mailText("too-big", "Zu gro\xdf", 150 * 1024);
    writeStore(storeDir.str(), folders);
    const MailStore store(storeDir.str());

    UploadOptions options;
    options.account.host = "127.0.0.1";
    options.account.port = static_cast<std::uint16_t>(server.imapsPort);
    options.account.user = "alice";
    options.credentials.password = "secret";
    options.caFile = server.caFile();
    options.recordDirectory = home.str() + "/state";

    // Cancel once the first messages are there.
    ImapProbe probe(server.imapPort);
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (probe.count("INBOX") < 100) return;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible()) {
                progress->findChild<QPushButton*>()->click();
                watch.stop();
            }
    });
    watch.start();
    const UploadOutcome cancelled = runUpload(store, options, nullptr);
    watch.stop();
    EXPECT_FALSE(cancelled.whole);
    EXPECT_TRUE(cancelled.text.contains("Cancelled: upload again to go on.")) << cancelled.text.toStdString();
    const std::size_t there = probe.count("INBOX");
    EXPECT_GE(there, 100u);
    EXPECT_LT(there, static_cast<std::size_t>(Count - 1));

    // The next run goes on; the message the server refuses is named, never a plain "done".
    const UploadOutcome rest = runUpload(store, options, nullptr);
    EXPECT_FALSE(rest.whole);
    EXPECT_TRUE(rest.text.contains(QStringLiteral("%1 uploaded before").arg(there))) << rest.text.toStdString();
    EXPECT_TRUE(rest.text.contains(QString::fromUtf8("refused by the server:\nOutlook Express/Local Folders/Inbox, \"Zu gro\xc3\x9f\": ")))
        << rest.text.toStdString();
    EXPECT_EQ(probe.count("INBOX"), static_cast<std::size_t>(Count - 1));
}

}  // namespace
}  // namespace lumbrook
