// The search box's query language. Whatever is typed either reads as a query that
// the index runs without a word of SQL or full-text syntax reaching it, or is
// refused with a message that says where.
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "search/SearchIndex.h"
#include "search/SearchQuery.h"

using namespace lumbrook;

namespace {

SearchIndex& fuzzIndex() {
    static std::unique_ptr<SearchIndex> index = [] {
        auto made = std::make_unique<SearchIndex>(fuzz::scratchDir() + "search.sqlite");
        SearchDocument d;
        d.fileName = "Inbox.dbx";
        d.folderPath = "Local Folders/Inbox";
        d.from = "Jürgen Müller <jm@example.de>";
        d.to = "Alice <alice@example.com>";
        d.subject = "Re: \"quoted\" NEAR(x) AND {braces}";
        d.body = "The quarterly report: numbers OR words * ^ - and Grüße.";
        d.attachmentNames = "report.pdf";
        d.hasAttachment = true;
        made->replaceFolder("Inbox.dbx", 1, 1, {d});
        return made;
    }();
    return *index;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text = fuzz::asText(Data, Size);
    SearchQuery query;
    try {
        query = parseSearchQuery(text);
    } catch (const SearchQueryError& e) {
        const std::string message = e.what();
        if (e.column() > text.size() + 1) fuzz::broken("an error column past the end");
        if (e.column() > 0 && message.find(" at column ") == std::string::npos)
            fuzz::broken("an error that does not say where");
        return 0;
    }
    if (query.match.empty() && query.exclude.empty() && !query.hasAttachment && !query.after &&
        !query.before)
        fuzz::broken("a query of nothing");
    try {
        for (const SearchHit& hit : fuzzIndex().search(query, 5))
            if (hit.fileName != "Inbox.dbx") fuzz::broken("a hit from nowhere");
    } catch (const std::exception& e) {
        fuzz::broken(std::string("the index refused a parsed query: ") + e.what());
    }
    return 0;
}
