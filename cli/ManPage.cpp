// lumbrook-manpage: writes the manual pages at build time from the help texts.
//   lumbrook-manpage cli VERSION > lumbrook-cli.1
//   lumbrook --help | lumbrook-manpage window VERSION > lumbrook.1
#include <iostream>
#include <iterator>
#include <string>

#include "cli/Help.h"

int main(int argc, char** argv) {
    const std::string which = argc == 3 ? argv[1] : "";
    if (which == "cli") {
        lumbrook::cli::writeCliManPage(std::cout, argv[2]);
    } else if (which == "window") {
        const std::string help{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
        lumbrook::cli::writeWindowManPage(std::cout, help, argv[2]);
    } else {
        std::cerr << "usage: lumbrook-manpage cli|window VERSION\n";
        return 2;
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}
