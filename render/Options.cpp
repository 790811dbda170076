#include "render/Options.h"

#include <array>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/ByteReader.h"

namespace lumbrook {

bool OpenOptions(const std::string& path, TOptions& Options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::array<char, 24> buffer{};
    in.read(buffer.data(), buffer.size());
    const TByteReader bytes(buffer.data(), static_cast<std::size_t>(in.gcount()));

    // The file stores "Subject field" before "Date field".
    if (auto v = bytes.I32At(0)) Options.DesignIndex = *v;
    bool* const boxes[] = {&Options.ShowHead, &Options.FromField, &Options.ToField,
                           &Options.SubjectField, &Options.DateField};
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        if (auto v = bytes.I32At(4 + 4 * i)) *boxes[i] = *v != 0;
    }
    return true;
}

void SaveOptions(const std::string& path, const TOptions& Options) {
    const std::int32_t values[] = {Options.DesignIndex,       Options.ShowHead ? 1 : 0,
                                   Options.FromField ? 1 : 0, Options.ToField ? 1 : 0,
                                   Options.SubjectField ? 1 : 0, Options.DateField ? 1 : 0};
    std::vector<char> out;
    for (std::int32_t v : values) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(u >> shift));
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace lumbrook
