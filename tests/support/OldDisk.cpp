#include "OldDisk.h"

#include <filesystem>

#include "HiveBuilder.h"
#include "RecordTestSupport.h"
#include "base/Charset.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook::test {

namespace {

namespace fs = std::filesystem;

struct Folder {
    std::string name;  // in the store's code page
    std::string fileName;
    std::vector<DbxMessage> messages;
};

void writeStore(const std::string& dir, const std::vector<Folder>& folders,
                const std::string& codePageName = "CP1252") {
    fs::create_directories(dir);
    std::vector<DbxRecord> list{
        folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false})};
    std::int32_t id = 10;
    for (const Folder& f : folders) {
        list.push_back(folderRecord({id++, 0, f.name, f.fileName, false}));
        std::vector<DbxRecord> records;
        for (const DbxMessage& m : f.messages) records.push_back(messageRecord(m));
        // The disk holds the name as a Linux mount shows it: in UTF-8.
        writeBytes(dir + "/" + convertToUtf8(f.fileName, codePageName), buildDbx(records).bytes);
    }
    DbxFileOptions options;
    options.kind = DbxFileKind::Folders;
    writeBytes(dir + "/Folders.dbx", buildDbx(list, options).bytes);
}

DbxMessage message(std::int32_t id, std::string subject, std::uint64_t date,
                   std::string body = "hello") {
    return {id,    "Ann <ann@a.example>",
            "Bob", subject,
            date,  "From: Ann <ann@a.example>\r\nSubject: " + subject + "\r\n\r\n" + body + "\r\n"};
}

std::string cp1251(const std::string& utf8) {
    return convertFromUtf8(utf8, "CP1251");
}

}  // namespace

OldDisk makeOldDisk(const std::string& root, const std::string& outsideDir) {
    OldDisk disk;
    disk.root = root;
    const std::string aliceId = "{11111111-2222-3333-4444-555555555555}";
    const std::string workId = "{66666666-7777-8888-9999-000000000000}";
    const std::string ivanId = "{ABCDEF01-2345-6789-ABCD-EF0123456789}";

    const std::string alice = root + "/xp/Documents and Settings/Alice";
    // Windows keeps the case it was given; the registry names it otherwise.
    disk.aliceMain = alice + "/Local Settings/Application data/Identities/" + aliceId +
                     "/Microsoft/Outlook Express";
    writeStore(disk.aliceMain,
               {{"Inbox",
                 "Inbox.dbx",
                 {message(1, "first", fileTimeUtc(2003, 9, 14, 16, 2)),
                  message(2, "second", fileTimeUtc(2004, 1, 2))}},
                {"Sent Items", "Sent Items.dbx", {message(3, "sent", fileTimeUtc(2003, 12, 24))}}});
    disk.aliceWork = root + "/xp/mail/work";
    writeStore(disk.aliceWork,
               {{"Inbox", "Inbox.dbx", {message(1, "work", fileTimeUtc(2005, 3, 1))}}});
    writeHive(alice + "/NTUSER.DAT",
              {{"Identities", {{"Default User ID", aliceId}}},
               {"Identities\\" + aliceId, {{"Username", "Main Identity"}}},
               {"Identities\\" + aliceId + "\\Software\\Microsoft\\Outlook Express\\5.0",
                {{"Store Root",
                  "%UserProfile%\\Local Settings\\Application Data\\Identities\\" + aliceId +
                      "\\Microsoft\\Outlook Express",
                  HiveValue::ExpandString}}},
               {"Identities\\" + workId, {{"Username", "Work"}}},
               {"Identities\\" + workId + "\\Software\\Microsoft\\Outlook Express\\5.0",
                {{"Store Root", "C:\\Mail\\Work"}}}});
    fs::create_directories(root + "/xp/WINDOWS/system32/config");
    writeHive(root + "/xp/WINDOWS/system32/config/SYSTEM",
              {{"Select", {{"Current", "", HiveValue::Dword, 1}}},
               {"ControlSet001\\Control\\Nls\\CodePage", {{"ACP", "1250"}}}});

    const std::string ivan = root + "/vista/Users/Ivan";
    disk.ivanMain = ivan + "/AppData/Local/Identities/" + ivanId + "/Microsoft/Outlook Express";
    writeStore(disk.ivanMain,
               {{cp1251("Входящие"),
                 cp1251("Входящие.dbx"),
                 {message(1, cp1251("Привет"), fileTimeUtc(2006, 5, 6), cp1251("Как дела?"))}},
                {cp1251("Отправленные"),
                 cp1251("Отправленные.dbx"),
                 {message(2, cp1251("Ответ"), fileTimeUtc(2006, 5, 7))}}},
               "CP1251");
    writeHive(ivan + "/NTUSER.DAT", {{"Identities\\" + ivanId, {{"Username", "Иван"}}}});

    disk.backup = root + "/backup/oe";
    writeStore(disk.backup,
               {{"Inbox", "Inbox.dbx", {message(1, "kept", fileTimeUtc(2002, 2, 2))}}});

    disk.outside = outsideDir + "/elsewhere";
    writeStore(disk.outside,
               {{"Inbox", "Inbox.dbx", {message(1, "outside", fileTimeUtc(2001, 1, 1))}}});
    fs::create_directory_symlink(outsideDir, ivan + "/link-out");
    return disk;
}

}  // namespace lumbrook::test
