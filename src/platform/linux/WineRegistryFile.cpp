#include "platform/linux/WineRegistryFile.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <cerrno>

#include "platform/AtomicFile.h"
#include "platform/Utf16.h"
#include "platform/base/Text.h"

namespace vk::platform {

namespace {

constexpr std::string_view kMagic = "WINE REGISTRY Version 2";
constexpr std::string_view kRelative = ";; All keys relative to ";
// Wine's own files stay far below these; anything beyond is not a registry.
constexpr std::size_t kMaxFile = std::size_t{1} << 30;
constexpr std::size_t kMaxLine = std::size_t{16} << 20;
constexpr std::size_t kMaxKeys = 4'000'000;

bool isStringType(std::uint32_t t) { return t == 1 || t == 2 || t == 7; }

std::u16string unitsOf(std::string_view utf8) {
    const std::string bytes = utf8ToUtf16le(utf8);
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return units;
}

std::string utf8Of(const std::u16string& units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return utf16ToUtf8(bytes);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "aa,bb,cc" with blanks and line continuations already joined.
std::optional<std::string> parseHexBytes(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        int hi = hexDigit(text[i]);
        int lo = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

std::string hexText(std::string_view bytes, std::size_t firstColumn) {
    std::string out;
    std::size_t column = firstColumn;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
        out += b;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            // Wine wraps long binary values the same way.
            if (column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

std::string nowFileTimeHex() {
    const auto since1601 = static_cast<unsigned long long>(std::time(nullptr)) + 11644473600ull;
    char b[24];
    std::snprintf(b, sizeof b, "%llx", since1601 * 10000000ull);
    return b;
}

}  // namespace

std::string escapeWineString(std::string_view utf8, char quote) {
    static constexpr char kEscapes[33] = ".......abtnvfr.............e....";
    const std::u16string units = unitsOf(utf8);
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        const bool more = i + 1 < units.size();
        char b[16];
        if (c > 127) {
            // A following hex digit would be read as part of a short escape.
            const bool digitNext = more && units[i + 1] < 128 && hexDigit(static_cast<char>(units[i + 1])) >= 0;
            std::snprintf(b, sizeof b, digitNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += b;
        } else if (c < 32) {
            if (kEscapes[c] != '.') {
                out += '\\';
                out += kEscapes[c];
            } else {
                const bool octalNext = more && units[i + 1] >= '0' && units[i + 1] <= '7';
                std::snprintf(b, sizeof b, octalNext ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
                out += b;
            }
        } else {
            if (c == '\\' || c == static_cast<char16_t>(quote) || (quote == '[' && c == ']')) out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> unescapeWineString(std::string_view text, std::size_t& pos, char close) {
    std::u16string units;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == close) return utf8Of(units);
        if (c != '\\') {
            // Plain bytes are UTF-8 in files written by newer Wine, Latin-1 in old ones.
            std::size_t start = pos - 1, end = start + 1;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
            const std::string_view piece = text.substr(start, end - start);
            for (char16_t u : unitsOf(piece)) units.push_back(u);
            pos = end;
            continue;
        }
        if (pos >= text.size()) return std::nullopt;
        const char e = text[pos++];
        switch (e) {
            case 'a': units.push_back(7); break;
            case 'b': units.push_back(8); break;
            case 'e': units.push_back(27); break;
            case 'f': units.push_back(12); break;
            case 'n': units.push_back(10); break;
            case 'r': units.push_back(13); break;
            case 't': units.push_back(9); break;
            case 'v': units.push_back(11); break;
            case 'x': {
                unsigned value = 0;
                int digits = 0;
                while (digits < 4 && pos < text.size() && hexDigit(text[pos]) >= 0) {
                    value = value * 16 + static_cast<unsigned>(hexDigit(text[pos++]));
                    ++digits;
                }
                if (digits == 0) return std::nullopt;
                units.push_back(static_cast<char16_t>(value));
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned value = static_cast<unsigned>(e - '0');
                    for (int digits = 1; digits < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7'; ++digits)
                        value = value * 8 + static_cast<unsigned>(text[pos++] - '0');
                    units.push_back(static_cast<char16_t>(value));
                } else {
                    units.push_back(static_cast<unsigned char>(e));
                }
        }
    }
    return std::nullopt;
}

namespace {

// One value line ("name"=data, continuation lines joined); nullopt when it
// is not a form this reader knows.
std::optional<RegistryTree::Value> parseValue(std::string_view line) {
    RegistryTree::Value v;
    std::size_t pos = 0;
    if (line.starts_with("@=")) {
        pos = 2;
    } else if (line.starts_with("\"")) {
        pos = 1;
        auto name = unescapeWineString(line, pos, '"');
        if (!name || pos >= line.size() || line[pos] != '=') return std::nullopt;
        v.name = *name;
        ++pos;
    } else {
        return std::nullopt;
    }
    std::string_view rest = line.substr(pos);
    auto quoted = [&](std::size_t at, std::uint32_t type) -> bool {
        std::size_t p = at;
        auto s = unescapeWineString(rest, p, '"');
        if (!s || base::trim(rest.substr(p)) != "") return false;
        v.type = type;
        v.data = *s + '\0';
        return true;
    };
    if (rest.starts_with("\"")) return quoted(1, 1) ? std::optional(v) : std::nullopt;
    if (rest.starts_with("str(")) {
        std::size_t close = rest.find("):\"");
        if (close == std::string_view::npos) return std::nullopt;
        unsigned type = 0;
        auto r = std::from_chars(rest.data() + 4, rest.data() + close, type, 16);
        if (r.ec != std::errc() || r.ptr != rest.data() + close) return std::nullopt;
        return quoted(close + 3, type) ? std::optional(v) : std::nullopt;
    }
    if (rest.starts_with("dword:")) {
        std::string_view digits = base::trim(rest.substr(6));
        unsigned value = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || digits.size() > 8) return std::nullopt;
        v.type = 4;
        v.data = std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                             static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
        return v;
    }
    if (rest.starts_with("hex")) {
        std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        unsigned type = 3;
        if (rest[3] == '(') {
            auto r = std::from_chars(rest.data() + 4, rest.data() + colon, type, 16);
            if (r.ec != std::errc() || r.ptr != rest.data() + colon - 1 || rest[colon - 1] != ')') return std::nullopt;
        } else if (colon != 3) {
            return std::nullopt;
        }
        auto bytes = parseHexBytes(rest.substr(colon + 1));
        if (!bytes) return std::nullopt;
        v.type = type;
        v.data = isStringType(type) ? utf16ToUtf8(*bytes) : *bytes;
        if (isStringType(type) && (v.data.empty() || v.data.back() != '\0')) v.data.push_back('\0');
        return v;
    }
    return std::nullopt;
}

std::string valueText(const RegistryTree::Value& v) {
    std::string out = v.name.empty() ? "@=" : "\"" + escapeWineString(v.name, '"') + "\"=";
    const bool terminated = !v.data.empty() && v.data.back() == '\0';
    if (isStringType(v.type) && terminated && isValidUtf8(v.data)) {
        const std::string_view text(v.data.data(), v.data.size() - 1);
        if (v.type != 1) {
            char b[16];
            std::snprintf(b, sizeof b, "str(%x):", v.type);
            out += b;
        }
        return out + "\"" + escapeWineString(text, '"') + "\"";
    }
    if (v.type == 4 && v.data.size() == 4) {
        char b[16];
        const auto* d = reinterpret_cast<const unsigned char*>(v.data.data());
        std::snprintf(b, sizeof b, "dword:%08x", d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<unsigned>(d[3]) << 24));
        return out + b;
    }
    const std::string bytes = isStringType(v.type) ? utf8ToUtf16le(v.data) : v.data;
    char b[24];
    if (v.type == 3) std::snprintf(b, sizeof b, "hex:");
    else std::snprintf(b, sizeof b, "hex(%x):", v.type);
    out += b;
    return out + hexText(bytes, out.size());
}

}  // namespace

WineRegistryFile::WineRegistryFile(std::string path, bool readOnly, std::string readOnlyReason)
    : path_(std::move(path)), readOnly_(readOnly), problem_(std::move(readOnlyReason)) {
    keys_.push_back(Key{});
    std::string text;
    if (int error = readWholeFile(path_, text, kMaxFile)) {
        problem_ = path_ + (error == EFBIG ? " is too large to be a Wine registry file." : " cannot be read.");
        readOnly_ = true;
        return;
    }
    loaded_ = parse(text);
    if (!loaded_) readOnly_ = true;
}

std::size_t WineRegistryFile::ensurePath(const std::vector<std::string>& names) {
    std::size_t node = 0;
    for (const auto& name : names) {
        std::optional<std::size_t> found;
        for (std::size_t c : keys_[node].children)
            if (!keys_[c].deleted && base::equalsNoCase(keys_[c].name, name)) found = c;
        if (!found) {
            keys_.push_back(Key{name, node, {}, -1, false});
            found = keys_.size() - 1;
            keys_[node].children.push_back(*found);
        }
        node = *found;
    }
    return node;
}

bool WineRegistryFile::parse(const std::string& text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end - start > kMaxLine) {
            problem_ = path_ + " holds a line too long for a registry file: it is only read.";
            return false;
        }
        lines.push_back(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || !lines[0].starts_with(kMagic)) {
        problem_ = path_ + " is not a Wine registry file (no \"WINE REGISTRY Version 2\" header): it is only read.";
        return false;
    }
    std::size_t i = 0;
    for (; i < lines.size() && !lines[i].starts_with("["); ++i) {
        prologue_.emplace_back(lines[i]);
        if (lines[i].starts_with(kRelative)) {
            std::string_view rel = lines[i].substr(kRelative.size());
            std::size_t p = 0;
            std::string unescaped;
            while (p < rel.size()) {
                if (rel[p] == '\\' && p + 1 < rel.size()) ++p;
                unescaped += rel[p++];
            }
            relativeTo_ = unescaped;
        }
    }
    while (i < lines.size()) {
        if (keys_.size() > kMaxKeys) {
            problem_ = path_ + " holds more keys than a registry file can: it is only read.";
            return false;
        }
        Block block;
        block.header = std::string(lines[i]);
        std::size_t pos = 1;
        auto name = unescapeWineString(lines[i], pos, ']');
        if (!name) {
            problem_ = path_ + ": a key line does not end (\"" + std::string(lines[i].substr(0, 80)) + "\"): it is only read.";
            return false;
        }
        std::vector<std::string> names;
        for (std::size_t s = 0; s <= name->size();) {
            std::size_t e = name->find('\\', s);
            if (e == std::string::npos) e = name->size();
            if (e > s) names.push_back(name->substr(s, e - s));
            s = e + 1;
        }
        block.key = ensurePath(names);
        ++i;
        while (i < lines.size() && !lines[i].starts_with("[")) {
            std::string logical(lines[i]);
            block.lines.emplace_back(lines[i]);
            ++i;
            // Long binary values go on over lines ending in a backslash.
            while (!logical.empty() && logical.back() == '\\' && i < lines.size() && !lines[i].starts_with("[")) {
                logical.pop_back();
                logical += base::trim(lines[i]);
                block.lines.back() += '\n';
                block.lines.back() += lines[i];
                ++i;
            }
            if (logical.starts_with("\"") || logical.starts_with("@=")) {
                if (auto v = parseValue(logical)) {
                    block.values.push_back(std::move(*v));
                    continue;
                }
            }
            if (!logical.starts_with("#time=")) block.kept.push_back(block.lines.back());
        }
        if (keys_[block.key].block < 0) keys_[block.key].block = static_cast<int>(blocks_.size());
        blocks_.push_back(std::move(block));
    }
    return true;
}

WineRegistryFile::Block& WineRegistryFile::blockOf(std::size_t key) {
    if (keys_[key].block < 0) {
        Block block;
        block.key = key;
        block.dirty = true;
        keys_[key].block = static_cast<int>(blocks_.size());
        blocks_.push_back(std::move(block));
    }
    return blocks_[static_cast<std::size_t>(keys_[key].block)];
}

std::string WineRegistryFile::keyPath(std::size_t key) const {
    std::vector<const std::string*> names;
    for (std::size_t k = key; k != 0; k = keys_[k].parent) names.push_back(&keys_[k].name);
    std::string out;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!out.empty()) out += "\\\\";
        out += escapeWineString(**it, '[');
    }
    return out;
}

std::optional<RegistryTree::Node> WineRegistryFile::child(Node node, std::string_view name) const {
    if (node >= keys_.size()) return std::nullopt;
    for (std::size_t c : keys_[node].children)
        if (!keys_[c].deleted && base::equalsNoCase(keys_[c].name, name)) return c;
    return std::nullopt;
}

std::vector<std::string> WineRegistryFile::childNames(Node node) const {
    std::vector<std::string> out;
    if (node >= keys_.size()) return out;
    for (std::size_t c : keys_[node].children)
        if (!keys_[c].deleted) out.push_back(keys_[c].name);
    return out;
}

std::vector<RegistryTree::Value> WineRegistryFile::values(Node node) const {
    if (node >= keys_.size() || keys_[node].block < 0) return {};
    return blocks_[static_cast<std::size_t>(keys_[node].block)].values;
}

bool WineRegistryFile::setValue(Node node, const Value& value) {
    if (readOnly_ || node >= keys_.size() || node == 0) return false;
    Block& b = blockOf(node);
    bool replaced = false;
    for (auto& v : b.values)
        if (base::equalsNoCase(v.name, value.name)) {
            v = value;
            replaced = true;
        }
    if (!replaced) b.values.push_back(value);
    b.dirty = modified_ = true;
    return true;
}

bool WineRegistryFile::deleteValue(Node node, std::string_view name) {
    if (readOnly_ || node >= keys_.size() || keys_[node].block < 0) return false;
    Block& b = blocks_[static_cast<std::size_t>(keys_[node].block)];
    auto before = b.values.size();
    std::erase_if(b.values, [&](const Value& v) { return base::equalsNoCase(v.name, name); });
    if (b.values.size() == before) return false;
    b.dirty = modified_ = true;
    return true;
}

std::optional<RegistryTree::Node> WineRegistryFile::addChild(Node node, const std::string& name) {
    if (readOnly_ || node >= keys_.size()) return std::nullopt;
    if (auto existing = child(node, name)) return existing;
    keys_.push_back(Key{name, node, {}, -1, false});
    const std::size_t added = keys_.size() - 1;
    keys_[node].children.push_back(added);
    blockOf(added);  // an empty key is written as a key line of its own
    modified_ = true;
    return added;
}

bool WineRegistryFile::deleteChild(Node node) {
    if (readOnly_ || node == 0 || node >= keys_.size() || !childNames(node).empty()) return false;
    keys_[node].deleted = true;
    modified_ = true;
    // The parent is written as a key of its own, so it does not vanish with its last child.
    if (keys_[node].parent != 0) blockOf(keys_[node].parent).dirty = true;
    return true;
}

std::string WineRegistryFile::serialize(const Block& block) const {
    std::string out = "[" + keyPath(block.key) + "] " + std::to_string(std::time(nullptr)) + "\n";
    out += "#time=" + nowFileTimeHex() + "\n";
    for (const auto& line : block.kept)
        if (!base::trim(line).empty()) out += line + "\n";
    for (const auto& v : block.values) out += valueText(v) + "\n";
    return out + "\n";
}

std::string WineRegistryFile::text() const {
    std::string out;
    for (const auto& line : prologue_) out += line + "\n";
    if (prologue_.empty()) out = std::string(kMagic) + "\n\n";
    for (const Block& b : blocks_) {
        bool gone = false;
        for (std::size_t k = b.key; k != 0 && !gone; k = keys_[k].parent) gone = keys_[k].deleted;
        if (gone) continue;
        if (!b.dirty) {
            out += b.header + "\n";
            for (const auto& line : b.lines) out += line + "\n";
            continue;
        }
        out += serialize(b);
    }
    return out;
}

bool WineRegistryFile::commit(const std::string& backupFolder) {
    if (!modified_) return true;
    if (readOnly_) return false;
    if (!backedUp_) {
        if (!backUpFile(path_, backupFolder)) {
            problem_ = "no backup of " + path_ + " could be made in " + backupFolder + ": nothing was changed.";
            return false;
        }
        backedUp_ = true;
    }
    if (atomicReplaceFile(path_, text()) != 0) {
        problem_ = "the changes could not be written to " + path_ + ".";
        return false;
    }
    modified_ = false;
    return true;
}

}  // namespace vk::platform
