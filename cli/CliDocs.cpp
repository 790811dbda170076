// lumbrook-cli-docs: writes the manual pages and the shell completions at build
// time from the help texts and the command table.
//   lumbrook-cli-docs man VERSION                    lumbrook-cli(1)
//   lumbrook --help | lumbrook-cli-docs window-man VERSION   lumbrook(1)
//   lumbrook-cli-docs bash|zsh|fish                  completion scripts
#include <iostream>
#include <iterator>
#include <string>

#include "cli/Completion.h"
#include "cli/Help.h"

int main(int argc, char** argv) {
    const std::string what = argc >= 2 ? argv[1] : "";
    const std::string version = argc >= 3 ? argv[2] : "";
    using namespace lumbrook::cli;
    if (what == "man" && argc == 3) {
        writeCliManPage(std::cout, version);
    } else if (what == "window-man" && argc == 3) {
        const std::string help{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
        writeWindowManPage(std::cout, help, version);
    } else if (what == "bash" && argc == 2) {
        writeBashCompletion(std::cout);
    } else if (what == "zsh" && argc == 2) {
        writeZshCompletion(std::cout);
    } else if (what == "fish" && argc == 2) {
        writeFishCompletion(std::cout);
    } else {
        std::cerr << "usage: lumbrook-cli-docs man|window-man VERSION | bash|zsh|fish\n";
        return 2;
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}
