#include "support/ShellLinkWriter.h"

#include <cstdint>

#include "platform/Utf16.h"

namespace vk::test {
namespace {

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void set32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string linkInfo(const ShellLinkSpec& s) {
    const std::uint32_t headerSize = s.unicodeLinkInfo ? 0x24 : 0x1C;
    std::string info(headerSize, '\0');
    set32(info, 4, headerSize);
    set32(info, 8, 1);  // volume ID and local base path
    set32(info, 12, static_cast<std::uint32_t>(info.size()));
    // Volume ID: size, drive type (2 removable), serial, label offset, empty label.
    std::string volume;
    put32(volume, 0x11);
    put32(volume, 2);
    put32(volume, 0x1234ABCD);
    put32(volume, 0x10);
    volume += '\0';
    info += volume;
    set32(info, 16, static_cast<std::uint32_t>(info.size()));
    info += s.localBasePath;
    info += '\0';
    set32(info, 20, 0);  // no network link
    set32(info, 24, static_cast<std::uint32_t>(info.size()));
    info += s.commonPathSuffix;
    info += '\0';
    if (s.unicodeLinkInfo) {
        set32(info, 28, static_cast<std::uint32_t>(info.size()));
        info += platform::utf8ToUtf16le(s.localBasePath);
        info += std::string(2, '\0');
        set32(info, 32, static_cast<std::uint32_t>(info.size()));
        info += platform::utf8ToUtf16le(s.commonPathSuffix);
        info += std::string(2, '\0');
    }
    set32(info, 0, static_cast<std::uint32_t>(info.size()));
    return info;
}

}  // namespace

std::string shellLinkBytes(const ShellLinkSpec& s) {
    std::uint32_t flags = 0;
    if (!s.idList.empty()) flags |= 0x1;
    if (!s.localBasePath.empty()) flags |= 0x2;
    if (!s.name.empty()) flags |= 0x4;
    if (!s.relativePath.empty()) flags |= 0x8;
    if (!s.workingDir.empty()) flags |= 0x10;
    if (!s.arguments.empty()) flags |= 0x20;
    if (!s.iconLocation.empty()) flags |= 0x40;
    if (s.unicode) flags |= 0x80;

    std::string out;
    put32(out, 0x4C);
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    out.append(reinterpret_cast<const char*>(clsid), 16);
    put32(out, flags);
    put32(out, 0x20);              // target attributes: archive
    out.append(24, '\0');          // creation, access, write times
    put32(out, 0);                 // target size
    put32(out, 0);                 // icon index
    put32(out, 7);                 // show minimised, as the worms do
    put16(out, 0);                 // hot key
    out.append(10, '\0');          // reserved
    if (!s.idList.empty()) {
        put16(out, static_cast<std::uint32_t>(s.idList.size()));
        out += s.idList;
    }
    if (!s.localBasePath.empty()) out += linkInfo(s);
    for (const std::string* text : {&s.name, &s.relativePath, &s.workingDir, &s.arguments, &s.iconLocation}) {
        if (text->empty()) continue;
        if (s.unicode) {
            std::string wide = platform::utf8ToUtf16le(*text);
            put16(out, static_cast<std::uint32_t>(wide.size() / 2));
            out += wide;
        } else {
            put16(out, static_cast<std::uint32_t>(text->size()));
            out += *text;
        }
    }
    put32(out, 0);  // terminal extra data block
    return out;
}

}  // namespace vk::test
