#include "platform/Options.h"

#include <array>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/ByteReader.h"

namespace lumbrook {

bool openOptions(const std::string& path, Options& options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::array<char, 24> buffer{};
    in.read(buffer.data(), buffer.size());
    const ByteReader bytes(buffer.data(), static_cast<std::size_t>(in.gcount()));

    // The file stores "Subject field" before "Date field".
    if (auto v = bytes.i32At(0)) options.designIndex = *v;
    bool* const boxes[] = {&options.previewWithDesign, &options.fromField, &options.toField,
                           &options.subjectField, &options.dateField};
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        if (auto v = bytes.i32At(4 + 4 * i)) *boxes[i] = *v != 0;
    }
    return true;
}

void saveOptions(const std::string& path, const Options& options) {
    const std::int32_t values[] = {options.designIndex,       options.previewWithDesign ? 1 : 0,
                                   options.fromField ? 1 : 0, options.toField ? 1 : 0,
                                   options.subjectField ? 1 : 0, options.dateField ? 1 : 0};
    std::vector<char> out;
    for (std::int32_t v : values) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(u >> shift));
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace lumbrook
