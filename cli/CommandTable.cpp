// The commands of lumbrook-cli and every word their help and manual page say about
// them: one table, read by the grammar, the help and the manual page alike.
#include "cli/Commands.h"

namespace lumbrook::cli {

namespace {
const OptionInfo HeadOption{"--head", nullptr, "put the header table and the design template around the message"};
const OptionInfo DesignOption{"--design", "NAME", "the design template NAME (a file of the template directory)"};
const OptionInfo FieldsOption{"--fields", "LIST",
                              "the header table's rows, comma-separated among From,To,Date,Subject (all four)"};
}  // namespace

const std::vector<OptionInfo>& globalOptions() {
    static const std::vector<OptionInfo> options = {
        {"--store", "DIR",
         "the store: a directory of .dbx files, or one folder file (the current user's store in "
         "Wine's registry when not given)"},
        {"--codepage", "N", "the Windows code page of the store's texts (1252, 1251, ...), over the one detected "
                            "and LUMBROOK_CODEPAGE"},
        {"--help", nullptr, "this help; lumbrook-cli help COMMAND is COMMAND --help"},
        {"--version", nullptr, "the version"},
    };
    return options;
}

const std::vector<Command>& commandTable() {
    static const std::vector<Command> commands = {
        {"folders", cmdFolders, "", "the folder list, one JSON object per line",
         "Lists the store's folders in the order of the folder tree, one JSON object per line.",
         {},
         {"folders", "--store ~/old-disk/Mail folders"}},
        {"messages", cmdMessages, "FILE [--deleted]", "the message records of a folder file, one JSON object per line",
         "Lists the message records of the folder file FILE, one JSON object per line. A folder whose index "
         "cannot be read whole is read by the recovery scan as well: the messages its index lost follow, "
         "marked \"Origin\": \"found\", and the command exits 1 after a summary.",
         {{"--deleted", nullptr, "also the deleted messages the folder file still holds"}},
         {"messages Inbox.dbx", "messages ~/backup/Inbox.dbx"}},
        {"text", cmdText, "FILE OFFSET", "the raw text of the message at a data offset",
         "Writes the raw text of the message at the data OFFSET of FILE, byte for byte, also for an offset "
         "only recover lists. A message cut short gives the bytes that are there and exits 1.",
         {},
         {"text Inbox.dbx 0x1f404", "text Inbox.dbx 128004 > message.eml"}},
        {"render", cmdRender, "FILE OFFSET --out PAGE [--head] [--design NAME] [--fields LIST]",
         "the message's page as the preview renders it, Content-ID files beside it",
         "Writes the page of the message at OFFSET as the window's preview shows it into PAGE, its "
         "embedded pictures beside it.",
         {{"--out", "PAGE", "the page to write"}, HeadOption, DesignOption, FieldsOption},
         {"render Inbox.dbx 128004 --out page.htm", "render Inbox.dbx 128004 --out page.htm --head --fields From,Subject"}},
        {"save", cmdSave, "FILE --to DIR [--date] [--deleted] [OFFSET...]",
         "the raw messages as .eml files (all messages when no offset is given)",
         "Saves the messages at the given data offsets of FILE, or all of them (newest first), as .eml "
         "files into DIR, named as the window names them. No file is ever replaced.",
         {{"--to", "DIR", "the directory to write into (made when missing)"},
          {"--date", nullptr, "begin each file name with the message's date"},
          {"--deleted", nullptr, "also the deleted messages the folder file still holds"}},
         {"save Inbox.dbx --to ~/mail", "save Inbox.dbx 128004 130052 --to . --date"}},
        {"export", cmdExport,
         "FILE --to DIR [--format html|txt|same] [--date] [--attachments] [--head] [--design NAME] "
         "[--fields LIST] [--deleted] [OFFSET...]",
         "the messages as .HTM pages or .txt files (attachments into <page>_files/ with --attachments)",
         "Exports the messages at the given data offsets of FILE, or all of them (newest first), as pages "
         "or text files into DIR, as the window's Export does. No file is ever replaced.",
         {{"--to", "DIR", "the directory to write into (made when missing)"},
          {"--format", "FORMAT", "html (the default), txt, or same (each message as it was written)"},
          {"--date", nullptr, "begin each file name with the message's date"},
          {"--attachments", nullptr, "write each message's attachments into <page>_files/ beside it"},
          HeadOption,
          DesignOption,
          FieldsOption,
          {"--deleted", nullptr, "also the deleted messages the folder file still holds"}},
         {"export Inbox.dbx --to ~/pages", "export Inbox.dbx --to out --format txt --attachments"}},
        {"parse", cmdParse, "[MESSAGE]",
         "the message model's parts, bodies and attachments of a raw message (stdin without one)",
         "Describes what the message model makes of one raw message: its parts, text and HTML lines and "
         "attachments, as one JSON document.",
         {},
         {"parse message.eml", "text Inbox.dbx 128004 | lumbrook-cli parse"}},
        {"convert", cmdConvert, "--to OUT [--format mbox|maildir|eml] [--folder NAME]... [--no-status] [--deleted]",
         "the whole store (or the named folders) as mbox, Maildir or .eml files, folder tree kept",
         "Converts the whole store, or the named folders and their subfolders, into OUT, the folder tree "
         "kept. A second run writes only what is new; an interrupted run goes on when started again.",
         {{"--to", "OUT", "the directory to write into (made when missing)"},
          {"--format", "FORMAT", "mbox (the default, Thunderbird's layout), maildir or eml"},
          {"--folder", "NAME", "only this folder (a name or a path like Family/Holidays) and its subfolders; "
                               "may be given more than once"},
          {"--no-status", nullptr, "leave out the Status:, X-Status: and X-Mozilla-Status lines in mbox"},
          {"--deleted", nullptr,
           "also the deleted messages every folder file still holds, into a folder \"NAME - Deleted messages\" "
           "beside each folder"}},
         {"convert --to ~/Mail", "--store ~/old-disk/Mail convert --to out --format maildir --folder Inbox"},
         true},
        {"index", cmdIndex, "", "builds or updates the store's search index and says what it did",
         "Builds or updates the store's search index in $XDG_CACHE_HOME/lumbrook/ and says what it did. "
         "Only folder files that changed are read again.",
         {},
         {"index", "--store ~/old-disk/Mail index"},
         true},
        {"search", cmdSearch, "QUERY... [--limit N]",
         "messages matching QUERY, best first, one JSON object per line",
         "Lists the messages matching QUERY, best first, one JSON object per line, bringing the index up to "
         "date first. All words must match; \"a phrase\", prefix*, OR, -word, from:, to:, subject:, "
         "folder:, has:attachment, before:YYYY-MM-DD and after:YYYY-MM-DD. Once the query has begun, a "
         "word starting with - belongs to it; -- ends the options before a query that begins with one.",
         {{"--limit", "N", "at most N messages (50)"}},
         {"search invoice -report --limit 10", "search -- -draft from:anna"},
         true,
         true},
        {"attachments", cmdAttachments, "FILE OFFSET [--to DIR] [--index N]...",
         "a message's attachments, one JSON object per line, or written into DIR",
         "Lists the attachments of the message at OFFSET, one JSON object per line, or writes them into "
         "DIR under their own names (never replacing a file).",
         {{"--to", "DIR", "write the attachments into DIR instead of listing them"},
          {"--index", "N", "only attachment N of the list (from 0); may be given more than once"}},
         {"attachments Inbox.dbx 128004", "attachments Inbox.dbx 128004 --to ~/files --index 0"}},
        {"recover", cmdRecover, "FILE [--to DIR]",
         "messages the folder file holds but its index does not list (orphaned, deleted)",
         "Lists the messages FILE still holds that its index does not list, deleted and orphaned, one JSON "
         "object per line, or writes them as .eml files into DIR/deleted/ and DIR/orphaned/. Any .dbx "
         "file works, also one whose header or index is destroyed.",
         {{"--to", "DIR", "write the messages into DIR instead of listing them"}},
         {"recover Inbox.dbx", "recover ~/backup/Inbox.dbx --to rescued"}},
        {"upload", cmdUpload,
         "--to imaps://USER@HOST[:PORT][/PREFIX] [--ca FILE] [--insecure] [--folder NAME]... [--deleted] [--dry-run]",
         "the store (or the named folders) into a mail account over IMAP, flags and dates kept; resumable",
         "Uploads the whole store, or the named folders and their subfolders, into a mail account over IMAP, "
         "the folder tree, flags and dates kept. A second run uploads only what is new; an interrupted run "
         "goes on when started again. The password comes from LUMBROOK_IMAP_PASSWORD, ~/.netrc or a prompt, "
         "never from the command line. imaps:// is TLS from the start, imap:// uses STARTTLS.",
         {{"--to", "URL", "the account: imaps://USER@HOST[:PORT][/PREFIX]"},
          {"--ca", "FILE", "check the server's certificate against FILE only, not the system's trust store"},
          {"--insecure", nullptr, "allow imap:// in plain text when the server offers no STARTTLS"},
          {"--folder", "NAME", "only this folder (a name or a tree path) and its subfolders; may be given more than once"},
          {"--deleted", nullptr, "also the deleted messages the folder files still hold"},
          {"--dry-run", nullptr, "log in and compare, but send nothing"}},
         {"upload --to imaps://anna@mail.example.org", "upload --to imaps://anna@mail.example.org/Archive --folder Inbox --dry-run"}},
        {"find", cmdFind, "PATH...",
         "every store below PATH (a mounted disk, a profile), one JSON object per line",
         "Lists every store below the directories given, one JSON object per line: the stores the registry "
         "hives of the Windows profiles name and those a scan of the tree finds. Exits 1 when no store was "
         "found.",
         {},
         {"find /mnt/old-disk", "find /media/usb /mnt/old-disk/Users"}},
    };
    return commands;
}

const Command* findCommand(std::string_view name) {
    for (const auto& c : commandTable())
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace lumbrook::cli
