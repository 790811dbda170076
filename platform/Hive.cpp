#include "platform/Hive.h"

#include <hivex.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/CodePage.h"

namespace lumbrook {

namespace {

// The registry's own limit; a deeper path in a damaged hive is no key.
constexpr std::size_t MaxKeyDepth = 512;

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('\\');
        std::string_view part = path.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

// libhivex hands out malloc'ed memory.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

struct HiveFile::Handle {
    hive_h* hive = nullptr;
    ~Handle() {
        if (hive) hivex_close(hive);
    }

    // hivex_node_get_child compares without regard to case, as Windows does.
    hive_node_h node(std::string_view keyPath) const {
        hive_node_h n = hivex_root(hive);
        const auto parts = components(keyPath);
        if (parts.size() > MaxKeyDepth) return 0;
        for (std::string_view part : parts) {
            if (!n) return 0;
            n = hivex_node_get_child(hive, n, std::string(part).c_str());
        }
        return n;
    }
};

std::optional<HiveFile> HiveFile::open(const std::string& path) {
    auto handle = std::make_shared<Handle>();
    handle->hive = hivex_open(path.c_str(), 0);
    if (!handle->hive) return std::nullopt;
    return HiveFile(std::move(handle));
}

bool HiveFile::keyExists(std::string_view keyPath) const {
    return handle->node(keyPath) != 0;
}

std::vector<std::string> HiveFile::subkeys(std::string_view keyPath) const {
    std::vector<std::string> names;
    const hive_node_h n = handle->node(keyPath);
    if (!n) return names;
    std::unique_ptr<hive_node_h, FreeDeleter> children(hivex_node_children(handle->hive, n));
    if (!children) return names;
    for (const hive_node_h* c = children.get(); *c; ++c) {
        std::unique_ptr<char, FreeDeleter> name(hivex_node_name(handle->hive, *c));
        if (name) names.emplace_back(name.get());
    }
    return names;
}

std::optional<RegistryFile::Value> HiveFile::readValue(std::string_view keyPath,
                                                       std::string_view valueName) const {
    const hive_node_h n = handle->node(keyPath);
    if (!n) return std::nullopt;
    const hive_value_h v = hivex_node_get_value(handle->hive, n, std::string(valueName).c_str());
    if (!v) return std::nullopt;
    hive_type type{};
    std::size_t length = 0;
    std::unique_ptr<char, FreeDeleter> data(hivex_value_value(handle->hive, v, &type, &length));
    if (!data) return std::nullopt;
    RegistryFile::Value value;
    const std::string_view bytes(data.get(), length);
    if (type == hive_t_REG_SZ || type == hive_t_REG_EXPAND_SZ) {
        value.kind = type == hive_t_REG_SZ ? RegistryFile::ValueKind::String
                                           : RegistryFile::ValueKind::ExpandString;
        std::size_t end = 0;
        while (end + 1 < bytes.size() && (bytes[end] != 0 || bytes[end + 1] != 0)) end += 2;
        value.data = utf16LeToUtf8(bytes.substr(0, end));
    } else {
        value.data = std::string(bytes);
    }
    return value;
}

std::optional<std::string> HiveFile::readText(std::string_view keyPath,
                                              std::string_view valueName) const {
    auto value = readValue(keyPath, valueName);
    if (!value) return std::nullopt;
    if (value->kind != RegistryFile::ValueKind::Other) return value->data;
    if (value->data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(value->data[i]);
        return std::to_string(n);
    }
    return std::nullopt;
}

std::optional<int> systemAnsiCodePage(const std::string& systemHivePath) {
    const auto hive = HiveFile::open(systemHivePath);
    if (!hive) return std::nullopt;
    const auto current = hive->readText("Select", "Current");
    if (!current || current->size() > 3) return std::nullopt;
    char controlSet[32];
    std::snprintf(controlSet, sizeof controlSet, "ControlSet%03d", std::atoi(current->c_str()));
    const auto acp = hive->readText(std::string(controlSet) + "\\Control\\Nls\\CodePage", "ACP");
    if (!acp || acp->empty() || acp->size() > 5) return std::nullopt;
    for (char c : *acp)
        if (c < '0' || c > '9') return std::nullopt;
    const int number = std::atoi(acp->c_str());
    return number > 0 ? std::optional<int>(number) : std::nullopt;
}

}  // namespace lumbrook
