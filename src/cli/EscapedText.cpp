#include "cli/EscapedText.h"

namespace vk::cli {

std::string escapeControls(std::string_view text) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case 0x1b: out += "\\e"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    out += "\\x";
                    out.push_back(digits[c >> 4]);
                    out.push_back(digits[c & 15]);
                } else {
                    out.push_back(ch);
                }
        }
    }
    return out;
}

}  // namespace vk::cli
