#include "platform/Utf16.h"

#include <cstdint>

#include "platform/CodePage.h"
#include "platform/base/Text.h"

namespace vk::platform {
namespace {

// Length of the valid UTF-8 sequence at p (0 when invalid); lone surrogates
// (as produced by utf16ToUtf8) are accepted when allowSurrogates is set.
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t avail, char32_t& cp,
                               bool allowSurrogates) {
    unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (avail < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF) return 0;
    if (!allowSurrogates && cp >= 0xD800 && cp <= 0xDFFF) return 0;
    return len;
}

}  // namespace

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian, bool* complete) {
    std::string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) -> char16_t {
        return bigEndian ? static_cast<char16_t>((p[2 * i] << 8) | p[2 * i + 1])
                         : static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t lo = unit(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                base::appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        base::appendUtf8(out, u);
    }
    if (complete) *complete = bytes.size() % 2 == 0;
    return out;
}

std::string utf8ToUtf16le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    auto put = [&out](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        std::size_t len = utf8SequenceLength(p + i, utf8.size() - i, cp, true);
        if (len == 0) {
            cp = ansiToCodePoint(p[i]);
            len = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
        i += len;
    }
    return out;
}

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        std::size_t len = utf8SequenceLength(p + i, text.size() - i, cp, false);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

}  // namespace vk::platform
