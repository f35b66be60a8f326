#include "tools/VersionInfo.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "platform/Utf16.h"
#include "platform/base/Text.h"
#include "tools/LanguageNames.h"
#include "tools/PeImage.h"
#include "tools/PeResources.h"

namespace vk::tools {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedSize = 52;
constexpr std::uint16_t kVersionInfoId = 1;
// A VS_VERSIONINFO block states its length in 16 bits.
constexpr std::uint32_t kMaxBlock = 0xFFFF;

std::uint16_t u16At(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}

std::uint32_t u32At(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(u16At(b, at)) | (static_cast<std::uint32_t>(u16At(b, at + 2)) << 16);
}

std::size_t align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// One node of the block: a length, a key, a value and child nodes.
struct Node {
    std::size_t end = 0;
    std::string_view key;  // UTF-16LE, without its NUL
    bool text = false;
    std::string_view value;
    std::size_t childrenBegin = 0;
};

// The node at offset, when its length and key lie inside limit.
std::optional<Node> nodeAt(std::string_view block, std::size_t offset, std::size_t limit) {
    if (offset > limit || limit - offset < 6) return std::nullopt;
    const std::size_t length = u16At(block, offset);
    if (length < 6 || length > limit - offset) return std::nullopt;
    Node node;
    node.end = offset + length;
    const std::uint16_t valueLength = u16At(block, offset + 2);
    node.text = u16At(block, offset + 4) == 1;
    std::size_t p = offset + 6;
    while (true) {
        if (node.end - p < 2) return std::nullopt;  // key without its NUL
        if (u16At(block, p) == 0) break;
        p += 2;
    }
    node.key = block.substr(offset + 6, p - (offset + 6));
    std::size_t valueBegin = std::min(align4(p + 2), node.end);
    // Text values count characters, binary ones bytes.
    std::size_t valueBytes = node.text ? std::size_t{valueLength} * 2 : valueLength;
    valueBytes = std::min(valueBytes, node.end - valueBegin);
    node.value = block.substr(valueBegin, valueBytes);
    node.childrenBegin = std::min(align4(valueBegin + valueBytes), node.end);
    return node;
}

std::vector<Node> childrenOf(std::string_view block, const Node& parent) {
    std::vector<Node> out;
    std::size_t at = parent.childrenBegin;
    // Each child is at least eight bytes long after alignment, so this ends.
    while (at < parent.end) {
        auto child = nodeAt(block, at, parent.end);
        if (!child) break;
        out.push_back(*child);
        at = align4(child->end);
    }
    return out;
}

using base::asciiLower;

bool keyIs(const Node& node, std::string_view name) {
    if (node.key.size() != name.size() * 2) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::uint16_t unit = u16At(node.key, i * 2);
        if (unit > 0x7F || asciiLower(static_cast<char>(unit)) != asciiLower(name[i])) return false;
    }
    return true;
}

const Node* childNamed(const std::vector<Node>& nodes, std::string_view name) {
    for (const Node& n : nodes) {
        if (keyIs(n, name)) return &n;
    }
    return nullptr;
}

// A text value up to its first NUL.
std::string textOf(std::string_view value) {
    std::size_t units = value.size() / 2;
    std::size_t n = 0;
    while (n < units && u16At(value, n * 2) != 0) ++n;
    return platform::utf16ToUtf8(value.substr(0, n * 2));
}

std::string dotted(std::uint32_t ms, std::uint32_t ls) {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
}

std::string flagsText(std::uint32_t flags) {
    static const char* const kWords[] = {"Debug ", "PreRel ", "Patched ", "Private ", "Info ", "Special "};
    std::string out;
    for (int i = 0; i < 6; ++i) {
        if (flags & (1u << i)) out += kWords[i];
    }
    return out;
}

std::string osText(std::uint32_t os) {
    switch (os) {
        case 0x00010001: return "DOS-Win16";
        case 0x00010004: return "DOS-Win32";
        case 0x00020002: return "OS/2-16 PM-16";
        case 0x00030003: return "OS/2-16 PM-32";
        case 0x00040004: return "NT-Win32";
        default: return "Unknown";
    }
}

std::string typeText(std::uint32_t type) {
    switch (type) {
        case 1: return "App";
        case 2: return "DLL";
        case 3: return "Driver";
        case 4: return "Font";
        case 5: return "VxD";
        case 7: return "Lib";
        default: return "Unknown";
    }
}

std::string subTypeText(std::uint32_t type, std::uint32_t subType) {
    static const char* const kDrivers[] = {"Printer drv", "Keyboard drv", "Language drv", "Display drv", "Mouse drv",
                                           "Network drv", "System drv",   "Installable",  "Sound drv",   "Comm drv"};
    static const char* const kFonts[] = {"Raster Font", "Vector Font", "TrueType Font"};
    if (type == 3 && subType >= 1 && subType <= 10) return kDrivers[subType - 1];
    if (type == 4 && subType >= 1 && subType <= 3) return kFonts[subType - 1];
    return {};
}

void fillFixed(std::string_view v, FileVersionRecord& r) {
    if (v.size() < kFixedSize || u32At(v, 0) != kFixedSignature) return;
    r.fileVersion = dotted(u32At(v, 8), u32At(v, 12));
    r.productVersion = dotted(u32At(v, 16), u32At(v, 20));
    r.fileFlags = flagsText(u32At(v, 28));
    r.fileOS = osText(u32At(v, 32));
    const std::uint32_t type = u32At(v, 36);
    r.fileType = typeText(type);
    r.fileSubType = subTypeText(type, u32At(v, 40));
}

std::string tableKey(std::uint16_t language, std::uint16_t codePage) {
    char key[9];
    std::snprintf(key, sizeof key, "%04X%04X", language, codePage);
    return key;
}

// The language of a string table's key ("040904B0"), when it is hexadecimal.
std::optional<std::uint16_t> languageOfKey(const Node& table) {
    if (table.key.size() != 16) return std::nullopt;
    std::uint16_t language = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        std::uint16_t c = u16At(table.key, i * 2);
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return std::nullopt;
        language = static_cast<std::uint16_t>(language * 16 + digit);
    }
    return language;
}

}  // namespace

bool parseVersionBlock(std::string_view block, FileVersionRecord& record) {
    record = {};
    auto root = nodeAt(block, 0, block.size());
    if (!root) return false;
    fillFixed(root->value, record);

    std::vector<Node> sections = childrenOf(block, *root);
    std::optional<std::uint16_t> language;
    std::optional<std::uint16_t> codePage;
    if (const Node* varInfo = childNamed(sections, "VarFileInfo")) {
        std::vector<Node> vars = childrenOf(block, *varInfo);
        const Node* translation = childNamed(vars, "Translation");
        if (translation && translation->value.size() >= 4) {
            language = u16At(translation->value, 0);
            codePage = u16At(translation->value, 2);
        }
    }

    const Node* table = nullptr;
    std::vector<Node> tables;
    if (const Node* stringInfo = childNamed(sections, "StringFileInfo")) {
        tables = childrenOf(block, *stringInfo);
        if (language) {
            table = childNamed(tables, tableKey(*language, *codePage));
            // Many files name a code page in the translation that their table
            // does not use; the table of the same language is the one meant.
            for (const Node& t : tables) {
                if (!table && languageOfKey(t) == language) table = &t;
            }
        }
        // Without a translation the first table is the only one to go by.
        if (!language && !tables.empty()) {
            table = &tables.front();
            language = languageOfKey(*table);
        }
    }
    if (language) record.language = languageName(*language);

    if (table) {
        std::vector<Node> strings = childrenOf(block, *table);
        auto text = [&](std::string_view name) {
            const Node* s = childNamed(strings, name);
            return s ? textOf(s->value) : std::string();
        };
        record.companyName = text("CompanyName");
        record.fileDescription = text("FileDescription");
        record.legalCopyright = text("LegalCopyright");
        record.productName = text("ProductName");
        record.internalName = text("InternalName");
        record.originalFilename = text("OriginalFilename");
    }
    return true;
}

bool readVersionInfo(const ByteSource& file, FileVersionRecord& record) {
    record = {};
    auto image = PeImage::parse(file);
    if (!image) return false;
    PeResources resources(file, *image);
    auto data = resources.find(kRtVersion, kVersionInfoId);
    if (!data) data = resources.find(kRtVersion, std::nullopt);
    if (!data) return false;
    auto block = file.bytes(data->fileOffset, std::min(data->size, kMaxBlock));
    if (!block) return false;
    if (!parseVersionBlock(*block, record)) {
        record = {};
        return false;
    }
    return true;
}

bool readVersionInfo(const std::string& path, FileVersionRecord& record) {
    record = {};
    if (path.empty()) return false;
    FileSource file(path);
    if (!file.isOpen()) return false;
    return readVersionInfo(file, record);
}

}  // namespace vk::tools
