#include "support/SharedFixtures.h"

#include <cstdlib>
#include <vector>

namespace vk::test {

std::filesystem::path sharedFixture(std::string_view relative) {
    std::error_code ec;
    std::vector<std::filesystem::path> candidates;
    if (const char* shared = std::getenv("VANDRELKAST_SHARED")) candidates.emplace_back(shared);
    // Beside the checkout, or beside a folder above it (a worktree of one).
    for (auto dir = std::filesystem::path(VK_SOURCE_DIR).parent_path(); !dir.empty(); dir = dir.parent_path()) {
        candidates.push_back(dir / "shared");
        if (dir == dir.root_path()) break;
    }
    for (const auto& base : candidates) {
        auto file = base / "fixtures" / relative;
        if (std::filesystem::exists(file, ec)) return file;
    }
    return {};
}

}  // namespace vk::test
