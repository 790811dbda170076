#pragma once

// Runs the lumbrook-cli binary as a user would, for end-to-end tests.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lumbrook::test {

inline std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct TCliRun {
    int Status = -1;
    std::string Out;  // standard output
    std::string Err;  // standard error
};

// Runs Program with Args in Dir; Prelude is shell text placed before the program
// (environment settings, for example). Standard input is empty.
inline TCliRun RunProgram(const std::string& Program, const std::vector<std::string>& Args,
                          const std::string& Dir = ".", const std::string& Prelude = "") {
    char errPath[] = "/tmp/lumbrook-cli-err-XXXXXX";
    const int errFd = ::mkstemp(errPath);
    if (errFd >= 0) ::close(errFd);
    std::string command = "cd " + ShellQuote(Dir) + " && " + Prelude + " exec " + ShellQuote(Program);
    for (const auto& a : Args) command += " " + ShellQuote(a);
    command += " 2>" + ShellQuote(errPath) + " </dev/null";
    TCliRun run;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.Out.append(buffer, n);
        const int status = ::pclose(pipe);
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::ifstream err(errPath, std::ios::binary);
    std::ostringstream text;
    text << err.rdbuf();
    run.Err = text.str();
    std::remove(errPath);
    return run;
}

}  // namespace lumbrook::test
