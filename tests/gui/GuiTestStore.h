#pragma once

// A temporary program directory (templates, options, working directory) and a
// store written with the project's .dbx writer, for the window tests.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "render/AppPaths.h"
#include "tests/support/DbxWriter.h"

namespace lumbrook {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return dir; }  // ends with a separator

  private:
    std::string dir;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);

void writeFolders(const std::string& storeDir, const std::vector<DbxFolder>& folders);
void writeMessages(const std::string& storeDir, const std::string& fileName,
                   const std::vector<DbxMessage>& messages);

// A message record with a plain-text body; Marker is its one body line.
DbxMessage plainMessage(std::int32_t id, const std::string& from, const std::string& subject,
                         std::int64_t unixTime, const std::string& marker);
// A message record with an HTML body.
DbxMessage htmlMessage(std::int32_t id, const std::string& from, const std::string& subject,
                        std::int64_t unixTime, const std::string& html);

// A program directory with two design templates, "plain.htm" and "sign.htm" (the
// last one, chosen at start), and its paths.
struct TestProgram {
    TestProgram();
    TempDir dir;
    AppPaths paths;
    std::string mailPage() const { return paths.workDir + "mail.htm"; }
};

}  // namespace lumbrook
