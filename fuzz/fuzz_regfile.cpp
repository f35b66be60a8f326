// .reg text: whatever the reader understood must survive being written and
// read again unchanged, and the writer's output must be fully understood.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/linux/RegFile.h"

using namespace vk::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    RegDocument first = parseRegText(input);
    std::string text = writeRegText(first);
    RegDocument second = parseRegText(text);
    if (second.damaged) std::abort();
    if (second.hives.size() != first.hives.size()) std::abort();
    for (std::size_t i = 0; i < first.hives.size(); ++i)
        if (!sameTree(*first.hives[i], *second.hives[i])) std::abort();
    if (writeRegText(second) != text) std::abort();
    return 0;
}
