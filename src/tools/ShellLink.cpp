#include "tools/ShellLink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>

#include "platform/CodePage.h"
#include "platform/FileDescriptor.h"
#include "platform/Utf16.h"
#include "platform/base/Text.h"

namespace vk::tools {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<unsigned char, 16> kLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
// Longest string data entry: its count is 16 bits.
constexpr std::size_t kMaxStringChars = 0xFFFF;

// Little-endian reads that fail instead of running past the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::size_t pos() const { return pos_; }
    std::size_t left() const { return bytes_.size() - pos_; }
    bool skip(std::size_t n) {
        if (n > left()) return false;
        pos_ += n;
        return true;
    }
    std::optional<std::uint32_t> u32() { return number(4); }
    std::optional<std::uint32_t> u16() { return number(2); }
    std::optional<std::string_view> take(std::size_t n) {
        if (n > left()) return std::nullopt;
        std::string_view out = bytes_.substr(pos_, n);
        pos_ += n;
        return out;
    }

private:
    std::optional<std::uint32_t> number(std::size_t n) {
        if (n > left()) return std::nullopt;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
        pos_ += n;
        return v;
    }
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

std::uint32_t le32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

// A NUL-terminated single-byte string at offset inside block; nullopt when
// the offset is outside or no NUL ends it there.
std::optional<std::string> ansiStringAt(std::string_view block, std::uint32_t offset) {
    if (offset >= block.size()) return std::nullopt;
    std::string_view rest = block.substr(offset);
    std::size_t end = rest.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    return platform::ansiToUtf8(rest.substr(0, end));
}

std::optional<std::string> unicodeStringAt(std::string_view block, std::uint32_t offset) {
    if (offset >= block.size()) return std::nullopt;
    std::string_view rest = block.substr(offset);
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
        if (rest[i] == '\0' && rest[i + 1] == '\0') return platform::utf16ToUtf8(rest.substr(0, i));
    return std::nullopt;
}

std::optional<std::string> stringData(Reader& r, bool unicode) {
    auto count = r.u16();
    if (!count || *count > kMaxStringChars) return std::nullopt;
    auto bytes = r.take(unicode ? *count * 2u : *count);
    if (!bytes) return std::nullopt;
    return unicode ? platform::utf16ToUtf8(*bytes) : platform::ansiToUtf8(*bytes);
}

bool isPayloadName(std::string_view word) {
    static constexpr std::string_view kExtensions[] = {".exe", ".com", ".scr", ".pif", ".bat", ".cmd",
                                                       ".vbs", ".vbe", ".js",  ".jse", ".wsf"};
    for (std::string_view ext : kExtensions)
        if (word.size() > ext.size() && base::equalsNoCase(word.substr(word.size() - ext.size()), ext)) return true;
    return false;
}

}  // namespace

std::optional<ShellLink> readShellLink(std::string_view bytes) {
    if (bytes.size() < kHeaderSize || le32(bytes, 0) != kHeaderSize) return std::nullopt;
    for (std::size_t i = 0; i < kLinkClsid.size(); ++i)
        if (static_cast<unsigned char>(bytes[4 + i]) != kLinkClsid[i]) return std::nullopt;
    ShellLink link;
    link.linkFlags = le32(bytes, 0x14);
    link.fileAttributes = le32(bytes, 0x18);
    Reader r(bytes);
    r.skip(kHeaderSize);

    if (link.linkFlags & kHasLinkTargetIdList) {
        auto size = r.u16();
        if (!size || !r.skip(*size)) return std::nullopt;
    }

    if ((link.linkFlags & kHasLinkInfo) && !(link.linkFlags & kForceNoLinkInfo)) {
        std::size_t start = r.pos();
        auto size = r.u32();
        if (!size || *size < 0x1C || *size - 4 > r.left()) return std::nullopt;
        std::string_view block = bytes.substr(start, *size);
        std::uint32_t headerSize = le32(block, 4);
        std::uint32_t flags = le32(block, 8);
        std::uint32_t baseOffset = le32(block, 16);
        std::uint32_t suffixOffset = le32(block, 24);
        if (flags & kVolumeIdAndLocalBasePath) {
            std::optional<std::string> base, suffix;
            // A header of 0x24 bytes or more also has the Unicode forms.
            if (headerSize >= 0x24 && block.size() >= 0x24) {
                base = unicodeStringAt(block, le32(block, 28));
                suffix = unicodeStringAt(block, le32(block, 32));
            }
            if (!base) base = ansiStringAt(block, baseOffset);
            if (!suffix) suffix = ansiStringAt(block, suffixOffset);
            if (!base) return std::nullopt;
            link.localBasePath = *base;
            if (suffix && !suffix->empty()) {
                if (!link.localBasePath.empty() && link.localBasePath.back() != '\\') link.localBasePath += '\\';
                link.localBasePath += *suffix;
            }
        }
        r.skip(*size - 4);
    }

    const bool unicode = link.linkFlags & kIsUnicode;
    const std::pair<std::uint32_t, std::string*> strings[] = {{kHasName, &link.name},
                                                              {kHasRelativePath, &link.relativePath},
                                                              {kHasWorkingDir, &link.workingDir},
                                                              {kHasArguments, &link.arguments},
                                                              {kHasIconLocation, &link.iconLocation}};
    for (const auto& [flag, field] : strings) {
        if (!(link.linkFlags & flag)) continue;
        auto text = stringData(r, unicode);
        if (!text) return std::nullopt;
        *field = std::move(*text);
    }
    // Extra data blocks may follow; nothing here needs them.
    return link;
}

std::optional<ShellLink> readShellLinkFile(const std::string& path) {
    auto file = platform::FileDescriptor::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (!file) return std::nullopt;
    struct stat st {};
    if (!file.stat(st) || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxShellLinkBytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    auto got = file.readFully(bytes.data(), bytes.size());
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return readShellLink(bytes);
}

std::vector<std::string> shellLinkPayloads(const ShellLink& link) {
    std::vector<std::string> found;
    auto note = [&](std::string word) {
        // "/c" and "/e:VBScript.Encode" are switches, whose value follows the
        // colon; "/tmp/x.js" is an absolute path.
        if (word.size() > 1 && word[0] == '/') {
            std::size_t end = 1;
            while (end < word.size() && std::isalnum(static_cast<unsigned char>(word[end]))) ++end;
            if (end == word.size()) word.clear();
            else if (word[end] == ':') word.erase(0, end + 1);
        }
        if (isPayloadName(word)) found.push_back(std::move(word));
    };
    if (!link.target().empty()) note(link.target());
    std::string word;
    bool quoted = false;
    for (char c : link.arguments) {
        bool separator = c == '&' || c == '|' || c == ',' || c == ';' || c == '<' || c == '>' || c == '(' || c == ')';
        if (c == '"') {
            quoted = !quoted;
            note(std::move(word));
            word.clear();
        } else if (separator || (!quoted && (c == ' ' || c == '\t'))) {
            note(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    note(std::move(word));
    return found;
}

}  // namespace vk::tools
