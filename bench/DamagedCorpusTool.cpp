// Writes the damaged corpus for bench/run's "damaged" pass and says, per store, how
// many messages it still holds: one line "NAME PATH MESSAGES DAMAGED_FILES...".
//
//   damaged_corpus_tool ROOT MESSAGES_PER_FILE MESSAGE_BYTES HUGE_FILE_BYTES HUGE_MESSAGES
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "dbxwriter/DamagedCorpus.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: damaged_corpus_tool ROOT MESSAGES_PER_FILE MESSAGE_BYTES "
                     "HUGE_FILE_BYTES HUGE_MESSAGES\n";
        return 2;
    }
    lumbrook::DamagedCorpusOptions options;
    options.messagesPerFile = std::strtoull(argv[2], nullptr, 10);
    options.messageBytes = std::strtoull(argv[3], nullptr, 10);
    options.hugeFileSize = std::strtoull(argv[4], nullptr, 10);
    options.hugeMessages = std::strtoull(argv[5], nullptr, 10);
    try {
        for (const auto& store : lumbrook::writeDamagedCorpus(argv[1], options)) {
            std::cout << store.name << ' ' << store.path << ' ' << store.markers.size();
            for (const auto& file : store.damagedFiles) std::cout << ' ' << file;
            std::cout << '\n';
        }
    } catch (const std::exception& e) {
        std::cerr << "damaged_corpus_tool: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
