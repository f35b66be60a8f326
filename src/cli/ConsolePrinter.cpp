#include "cli/ConsolePrinter.h"

#include <string>

namespace vk::cli {

void ConsolePrinter::lineAppended(std::string_view line, bool /*joined*/) {
    std::string out;
    out.reserve(line.size() + 1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') continue;
        out += line[i];
    }
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), out_);
    std::fflush(out_);
}

}  // namespace vk::cli
