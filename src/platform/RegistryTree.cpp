#include "platform/RegistryTree.h"

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/base/Text.h"

namespace vk::platform {

std::optional<RegistryTree::Node> RegistryTree::find(Node from, const std::vector<std::string>& path) const {
    std::optional<Node> node = from;
    for (const auto& part : path) {
        node = child(*node, part);
        if (!node) return std::nullopt;
    }
    return node;
}

std::optional<RegistryTree::Value> RegistryTree::value(Node node, std::string_view name) const {
    for (auto& v : values(node))
        if (base::equalsNoCase(v.name, name)) return v;
    return std::nullopt;
}

bool backUpFile(const std::string& file, const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &t);
    const std::string copy = folder + "/" + stamp + "-" + std::to_string(::getpid()) + "-" +
                             std::filesystem::path(file).filename().string();
    if (!std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, ec)) return false;
    std::ofstream(copy + ".txt") << "Copied from " << file << "\nbefore VandrelKast changed it.\n";
    return true;
}

}  // namespace vk::platform
