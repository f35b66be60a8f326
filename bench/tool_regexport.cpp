// Writes a registry export as regedit writes a whole HKLM\SOFTWARE: UTF-16LE
// with BOM, class registrations with string, DWORD, expandable-string and
// binary values. Usage: tool_regexport MEGABYTES OUT.reg
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Utf16.h"

namespace {

std::string hexBytes(const std::string& bytes, std::size_t prefix) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    std::size_t column = prefix;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (column > 75) {
            out += "\\\r\n  ";
            column = 2;
        }
        auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
        if (i + 1 < bytes.size()) out.push_back(',');
        column += 3;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tool_regexport MEGABYTES OUT.reg\n");
        return 2;
    }
    const std::size_t target = std::strtoull(argv[1], nullptr, 10) << 20;
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    std::size_t written = 0;
    auto emit = [&](const std::string& utf8) {
        std::string wide = vk::platform::utf8ToUtf16le(utf8);
        std::fwrite(wide.data(), 1, wide.size(), out);
        written += wide.size();
    };
    std::fwrite("\xFF\xFE", 1, 2, out);
    emit("Windows Registry Editor Version 5.00\r\n");
    unsigned long long n = 0;
    std::string chunk;
    while (written < target) {
        chunk.clear();
        for (int k = 0; k < 200; ++k, ++n) {
            char guid[64];
            std::snprintf(guid, sizeof guid, "{%08llX-%04llX-4%03llX-A%03llX-%012llX}", n * 2654435761ull % 0xFFFFFFFFull,
                          n % 0xFFFF, n % 0xFFF, (n * 7) % 0xFFF, n * 11400714819323198485ull % 0xFFFFFFFFFFFFull);
            std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + std::string(guid);
            chunk += "\r\n[" + key + "]\r\n@=\"Component " + std::to_string(n) + " Class\"\r\n";
            chunk += "\"AppID\"=\"" + std::string(guid) + "\"\r\n";
            chunk += "\r\n[" + key + "\\InprocServer32]\r\n";
            std::string expand = "%SystemRoot%\\System32\\component" + std::to_string(n) + ".dll";
            std::string expandWide = vk::platform::utf8ToUtf16le(expand) + std::string(2, '\0');
            chunk += "@=hex(2):" + hexBytes(expandWide, 9) + "\r\n";
            chunk += "\"ThreadingModel\"=\"Both\"\r\n";
            char dword[32];
            std::snprintf(dword, sizeof dword, "dword:%08llx", n & 0xFFFFFFFFull);
            chunk += "\"Flags\"=" + std::string(dword) + "\r\n";
            if (n % 4 == 0) {
                std::string blob(48 + n % 64, '\0');
                for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>((n + i * 31) & 0xFF);
                chunk += "\"Data\"=hex:" + hexBytes(blob, 11) + "\r\n";
            }
        }
        emit(chunk);
    }
    std::fclose(out);
    std::printf("%llu classes, %zu bytes\n", n, written + 2);
    return 0;
}
