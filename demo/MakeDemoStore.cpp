// Writes the demo store from its readable sources:
//   lumbrook-make-demo-store SOURCE_DIR OUTPUT_DIR
// SOURCE_DIR holds folders.tsv (folderId, parentId, Special, fileName, Name; tab-
// separated, '#' comments) and messages/<fileName without ".dbx">/*.eml. OUTPUT_DIR
// gets Folders.dbx and one message file per folder that names one.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/Ascii.h"
#include "dbxwriter/DbxWriter.h"

namespace fs = std::filesystem;
using namespace lumbrook;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> split(std::string_view line, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = line.find(sep, start);
        out.emplace_back(line.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return out;
        start = at + 1;
    }
}

// Every line end (LF, CR or CR LF) becomes CR LF, as stored texts have them.
std::string toCrLf(std::string_view in) {
    std::string out;
    out.reserve(in.size() + in.size() / 32);
    for (std::size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// The first header field of that name, unfolded (continuation lines joined with
// their leading white space), trimmed; raw bytes.
std::optional<std::string> headerValue(std::string_view text, std::string_view name) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find("\r\n", pos);
        std::string_view line = text.substr(pos, eol == std::string_view::npos ? eol : eol - pos);
        pos = eol == std::string_view::npos ? text.size() : eol + 2;
        if (line.empty()) break;
        if (isBlank(line[0]) && !fields.empty())
            fields.back() += line;
        else
            fields.emplace_back(line);
    }
    for (const auto& f : fields) {
        std::size_t colon = f.find(':');
        if (colon != std::string::npos &&
            equalsNoCase(trim(std::string_view(f).substr(0, colon), isBlank), name))
            return std::string(trim(std::string_view(f).substr(colon + 1), isBlank));
    }
    return std::nullopt;
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "[Day,] DD Mon YYYY HH:MM[:SS] zone" as seconds since 1970 (UTC).
std::optional<std::int64_t> parseRfc2822Date(std::string_view value) {
    std::string s(value);
    if (auto comma = s.find(','); comma != std::string::npos) s = s.substr(comma + 1);
    for (char& c : s)
        if (c == '\t') c = ' ';
    std::istringstream in(s);
    std::string day, month, year, time, zone;
    if (!(in >> day >> month >> year >> time)) return std::nullopt;
    in >> zone;
    static const char* const Months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    int mon = 0;
    for (int i = 0; i < 12; ++i)
        if (equalsNoCase(month.substr(0, 3), Months[i])) mon = i + 1;
    if (!mon) return std::nullopt;
    int d = 0, y = 0, hh = 0, mm = 0, ss = 0;
    try {
        d = std::stoi(day);
        y = std::stoi(year);
    } catch (...) {
        return std::nullopt;
    }
    if (year.size() <= 2)
        y += y < 50 ? 2000 : 1900;
    else if (year.size() == 3)
        y += 1900;
    if (std::sscanf(time.c_str(), "%d:%d:%d", &hh, &mm, &ss) < 2) return std::nullopt;
    if (d < 1 || d > 31 || hh > 23 || mm > 59 || ss > 60) return std::nullopt;

    int offset = 0;  // minutes east of UTC
    if (!zone.empty() && (zone[0] == '+' || zone[0] == '-') && zone.size() >= 5) {
        int hhmm = std::atoi(zone.substr(1, 4).c_str());
        offset = (hhmm / 100) * 60 + hhmm % 100;
        if (zone[0] == '-') offset = -offset;
    } else {
        static const struct {
            const char* name;
            int hours;
        } Zones[] = {{"UT", 0},   {"GMT", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4}, {"CST", -6},
                     {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
        for (const auto& z : Zones)
            if (equalsNoCase(zone, z.name)) offset = z.hours * 60;
    }
    std::int64_t t =
        daysFromCivil(y, static_cast<unsigned>(mon), static_cast<unsigned>(d)) * 86400 + hh * 3600 +
        mm * 60 + ss;
    return t - std::int64_t(offset) * 60;
}

std::vector<DbxFolder> readFolders(const fs::path& tsv) {
    std::vector<DbxFolder> folders;
    std::istringstream in(readFile(tsv));
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f = split(line, '\t');
        if (f.size() != 5)
            throw std::runtime_error(tsv.string() + ":" + std::to_string(number) +
                                     ": expected 5 tab-separated fields");
        DbxFolder folder;
        folder.folderId = std::stoi(f[0]);
        int parent = std::stoi(f[1]);
        if (parent != -1) folder.parentId = parent;
        folder.isSpecial = f[2] == "1";
        if (f[3] != "-") folder.fileName = f[3];
        folder.name = f[4];
        folders.push_back(std::move(folder));
    }
    return folders;
}

// The index shows people by name, as Outlook Express stored them: "Anna Berger"
// for "\"Anna Berger\" <anna@example.org>", the address when there is no name.
std::string displayName(const std::string& value) {
    std::string name = value, address;
    if (auto lt = value.find('<'); lt != std::string::npos) {
        name = value.substr(0, lt);
        auto gt = value.find('>', lt);
        address = value.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1);
    } else if (auto open = value.find(" ("); open != std::string::npos && value.back() == ')') {
        name = value.substr(open + 2, value.size() - open - 3);
        address = value.substr(0, open);
    }
    name = std::string(trim(name, isBlank));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    return name.empty() ? (address.empty() ? value : address) : name;
}

std::vector<DbxRecord> readMessages(const fs::path& dir, std::int32_t& nextId) {
    std::vector<DbxRecord> records;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return records;  // a folder without messages yet
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".eml") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        DbxMessage m;
        m.messageId = nextId++;
        m.rawText = toCrLf(readFile(file));
        m.from = displayName(headerValue(m.rawText, "From").value_or(""));
        m.to = displayName(headerValue(m.rawText, "To").value_or(""));
        m.subject = headerValue(m.rawText, "Subject").value_or("");
        if (auto date = headerValue(m.rawText, "Date")) {
            if (auto t = parseRfc2822Date(*date))
                m.date = unixTimeToFileTime(*t);
            else
                std::cerr << file.string() << ": warning: unreadable Date: " << *date << "\n";
        }
        records.push_back(messageRecord(m));
    }
    return records;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: lumbrook-make-demo-store SOURCE_DIR OUTPUT_DIR\n";
        return 2;
    }
    try {
        const fs::path source = argv[1];
        const fs::path output = argv[2];
        fs::create_directories(output);
        // Files of folders that are no longer in the sources must not linger.
        for (const auto& e : fs::directory_iterator(output))
            if (e.is_regular_file() && e.path().extension() == ".dbx") fs::remove(e.path());

        std::vector<DbxFolder> folders = readFolders(source / "folders.tsv");
        std::vector<DbxRecord> folderRecords;
        for (const auto& f : folders) folderRecords.push_back(folderRecord(f));
        DbxFileOptions folderOptions;
        folderOptions.kind = DbxFileKind::Folders;
        writeDbx((output / "Folders.dbx").string(), folderRecords, folderOptions);

        std::int32_t nextId = 1;
        for (const auto& f : folders) {
            if (!f.fileName) continue;
            std::string stem = fs::path(*f.fileName).stem().string();
            std::vector<DbxRecord> records = readMessages(source / "messages" / stem, nextId);
            writeDbx((output / *f.fileName).string(), records);
        }
    } catch (const std::exception& e) {
        std::cerr << "lumbrook-make-demo-store: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
