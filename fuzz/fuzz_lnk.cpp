// Shell Link bytes: the reader never reads outside its input, and what it
// returns fits in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/ShellLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto link = vk::tools::readShellLink(bytes);
    if (!link) return 0;
    // UTF-16 text grows by at most half again as UTF-8 (3 bytes per 2); ANSI by 3 per byte.
    std::size_t total = link->localBasePath.size() + link->name.size() + link->relativePath.size() +
                        link->workingDir.size() + link->arguments.size() + link->iconLocation.size();
    if (total > 3 * size) std::abort();
    for (const std::string& word : vk::tools::shellLinkPayloads(*link))
        if (word.empty() || word.size() > total) std::abort();
    return 0;
}
