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

inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct CliRun {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs Program with Args in Dir; Prelude is shell text placed before the program
// (environment settings, for example). Standard input is empty.
inline CliRun runProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& dir = ".", const std::string& prelude = "") {
    char errPath[] = "/tmp/lumbrook-cli-err-XXXXXX";
    const int errFd = ::mkstemp(errPath);
    if (errFd >= 0) ::close(errFd);
    std::string command = "cd " + shellQuote(dir) + " && " + prelude + " exec " + shellQuote(program);
    for (const auto& a : args) command += " " + shellQuote(a);
    command += " 2>" + shellQuote(errPath) + " </dev/null";
    CliRun run;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.out.append(buffer, n);
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::ifstream err(errPath, std::ios::binary);
    std::ostringstream text;
    text << err.rdbuf();
    run.err = text.str();
    std::remove(errPath);
    return run;
}

}  // namespace lumbrook::test
