#include "platform/linux/RegFile.h"

#include <array>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/Utf16.h"
#include "platform/base/Text.h"

namespace vk::platform {
namespace {

constexpr std::size_t kIndexThreshold = 16;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
// String data in hex() form is UTF-16LE, as regedit writes it; files of
// earlier versions held the stored bytes instead and say so in this comment.
constexpr std::string_view kMarker = "; VandrelKast registry store";
constexpr std::string_view kMarkerLine =
    "; VandrelKast registry store: hex(1), hex(2) and hex(7) data are UTF-16LE, as regedit writes them";
constexpr std::string_view kStoredBytesMarkerLine =
    "; VandrelKast registry store: hex(1), hex(2) and hex(7) data are the stored bytes (UTF-8)";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Splits text at CR, LF and CRLF without rescanning for LF after lone CRs.
class LineReader {
public:
    explicit LineReader(std::string_view text) : t_(text) {}

    bool next(std::string_view& line) {
        if (pos_ >= t_.size()) return false;
        if (nl_ == kNone || nl_ < pos_) {
            nl_ = t_.find('\n', pos_);
            if (nl_ == std::string_view::npos) nl_ = t_.size();
        }
        const void* cr = std::memchr(t_.data() + pos_, '\r', nl_ - pos_);
        if (cr) {
            std::size_t c = static_cast<std::size_t>(static_cast<const char*>(cr) - t_.data());
            line = t_.substr(pos_, c - pos_);
            pos_ = c + 1;
            if (pos_ < t_.size() && t_[pos_] == '\n') ++pos_;
        } else {
            line = t_.substr(pos_, nl_ - pos_);
            pos_ = nl_ + 1;
        }
        return true;
    }

private:
    std::string_view t_;
    std::size_t pos_ = 0;
    std::size_t nl_ = kNone;
};

// "..." with \\ and \" escapes; other backslashes are kept as they are.
bool parseQuoted(std::string_view s, std::size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[i + 1]);
            i += 2;
        } else if (c == '"') {
            ++i;
            return true;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return false;
}

bool parseHexList(std::string_view s, std::string& out) {
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    };
    skipBlanks();
    if (i == s.size()) return true;
    while (true) {
        skipBlanks();
        int hi = i < s.size() ? hexDigit(s[i]) : -1;
        if (hi < 0) return false;
        ++i;
        int value = hi;
        if (i < s.size() && hexDigit(s[i]) >= 0) {
            value = hi * 16 + hexDigit(s[i]);
            ++i;
        }
        out.push_back(static_cast<char>(value));
        skipBlanks();
        if (i == s.size()) return true;
        if (s[i] != ',') return false;
        ++i;
        skipBlanks();
        if (i == s.size()) return true;  // trailing comma
    }
}

bool parseHexNumber(std::string_view s, std::uint32_t& value) {
    if (s.empty() || s.size() > 8) return false;
    value = 0;
    for (char c : s) {
        int d = hexDigit(c);
        if (d < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

bool isStringType(std::uint32_t type) { return type == 1 || type == 2 || type == 7; }

// Rough heap cost of what parsing builds, to keep a hostile file (many deep,
// distinct key paths on short lines) from costing far more than its size.
constexpr std::size_t kNodeCost = 128;
constexpr std::size_t kValueCost = 64;

struct Parser {
    RegDocument& doc;
    LineReader lines;
    std::size_t budget = 0;
    std::size_t used = 0;
    bool stopped = false;

    bool spend(std::size_t cost) {
        used += cost;
        if (used <= budget) return true;
        stopped = true;
        damaged("holds more keys and values than a file of its size can hold");
        return false;
    }

    bool wide = false;        // hex string data is UTF-16LE
    bool ansiHex = false;     // REGEDIT4: hex string data in the ANSI code page
    RegKeyNode* current = nullptr;
    bool inRemoval = false;

    void damaged(std::string_view why) {
        if (!doc.damaged) doc.damage = why;
        doc.damaged = true;
    }

    // A line not understood stays where it stood: under its key, or among
    // the document's loose lines when it stood under no key.
    void keep(std::string_view raw) {
        ++doc.skippedLines;
        if (!spend(kValueCost + raw.size())) return;
        if (current)
            current->keepLine(std::string(raw));
        else
            doc.keptLines.emplace_back(raw);
    }

    void header(std::string_view line) {
        current = nullptr;
        inRemoval = false;
        if (line.size() < 2 || line.back() != ']') return keep(line);
        std::string_view inner = line.substr(1, line.size() - 2);
        bool removal = !inner.empty() && inner.front() == '-';
        if (removal) inner.remove_prefix(1);
        std::size_t slash = inner.find('\\');
        std::string_view hiveName = canonicalHiveName(inner.substr(0, slash));
        if (hiveName.empty()) return keep(line);
        std::vector<std::string_view> parts;
        std::string_view rest = slash == std::string_view::npos ? std::string_view{} : inner.substr(slash + 1);
        while (!rest.empty()) {
            std::size_t cut = rest.find('\\');
            std::string_view part = rest.substr(0, cut);
            if (!part.empty()) {
                if (part.size() > kRegMaxKeyNameLength || parts.size() >= kRegMaxDepth) return keep(line);
                parts.push_back(part);
            }
            if (cut == std::string_view::npos) break;
            rest.remove_prefix(cut + 1);
        }
        if (removal) {
            if (parts.empty()) return keep(line);  // a whole hive cannot be removed
            RegKeyNode* node = doc.findHive(hiveName);
            for (std::size_t i = 0; node && i + 1 < parts.size(); ++i) node = node->findSubKey(parts[i]);
            if (node) node->removeSubKey(parts.back());
            inRemoval = true;
            return;
        }
        RegKeyNode* node = &doc.ensureHive(hiveName);
        for (auto part : parts) {
            std::size_t before = node->subKeyCount();
            RegKeyNode& next = node->ensureSubKey(part);
            if (node->subKeyCount() != before && !spend(kNodeCost + part.size())) return;
            node = &next;
        }
        current = node;
    }

    void value(std::string_view line) {
        if (!current) {
            if (!inRemoval) keep(line);
            return;
        }
        std::string name;
        std::size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!parseQuoted(line, i, name)) {
            return keep(line);
        }
        if (name.size() > kRegMaxValueNameLength) return keep(line);
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || line[i] != '=') return keep(line);
        std::string_view rest = base::trim(line.substr(i + 1));
        if (rest == "-") {
            current->removeValue(name);
            return;
        }
        if (!rest.empty() && rest.front() == '"') {
            std::string data;
            std::size_t j = 0;
            if (!parseQuoted(rest, j, data) || !base::trim(rest.substr(j)).empty()) return keep(line);
            data.push_back('\0');
            if (!spend(kValueCost + name.size() + data.size())) return;
            current->setValue(name, 1, std::move(data));
            return;
        }
        if (base::startsWithNoCase(rest, "dword:")) {
            std::uint32_t v = 0;
            if (!parseHexNumber(base::trim(rest.substr(6)), v)) return keep(line);
            std::string data(4, '\0');
            for (int b = 0; b < 4; ++b) data[b] = static_cast<char>((v >> (8 * b)) & 0xFF);
            if (!spend(kValueCost + name.size())) return;
            current->setValue(name, 4, std::move(data));
            return;
        }
        if (base::startsWithNoCase(rest, "hex")) {
            std::string_view spec = rest.substr(3);
            std::uint32_t type = 3;
            if (!spec.empty() && spec.front() == '(') {
                std::size_t close = spec.find(')');
                if (close == std::string_view::npos || !parseHexNumber(spec.substr(1, close - 1), type))
                    return keep(line);
                spec.remove_prefix(close + 1);
            }
            if (spec.empty() || spec.front() != ':') return keep(line);
            std::string_view list = base::trim(spec.substr(1));
            std::string joined;
            std::string raw;  // the lines as they stood, should they have to be kept
            bool continued = !list.empty() && list.back() == '\\';
            if (continued) {
                raw.assign(line);
                joined.assign(list.substr(0, list.size() - 1));
                std::string_view more;
                while (continued && lines.next(more)) {
                    more = base::trim(more);
                    raw += "\r\n";
                    raw += more;
                    continued = !more.empty() && more.back() == '\\';
                    joined.append(continued ? more.substr(0, more.size() - 1) : more);
                }
                list = joined;
            }
            std::string data;
            if (!parseHexList(list, data)) return keep(raw.empty() ? line : std::string_view(raw));
            if (isStringType(type)) {
                if (wide && data.size() % 2 == 0)
                    data = utf16ToUtf8(data);
                else if (ansiHex && !isValidUtf8(data))
                    data = ansiToUtf8(data);
            }
            if (!spend(kValueCost + name.size() + data.size())) return;
            current->setValue(name, type, std::move(data));
            return;
        }
        keep(line);
    }
};

bool plainString(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    std::string_view text(data.data(), data.size() - 1);
    if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
    return isValidUtf8(text);
}

void appendEscaped(std::string& out, std::string_view s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

void appendValue(std::string& out, const RegValueEntry& v) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::size_t lineStart = out.size();
    if (v.name.empty())
        out.push_back('@');
    else
        appendEscaped(out, v.name);
    out.push_back('=');
    if (v.type == 1 && plainString(v.data)) {
        appendEscaped(out, std::string_view(v.data.data(), v.data.size() - 1));
        out += "\r\n";
        return;
    }
    if (v.type == 4 && v.data.size() == 4) {
        std::uint32_t x = 0;
        for (int b = 3; b >= 0; --b) x = (x << 8) | static_cast<unsigned char>(v.data[b]);
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(x >> shift) & 0xF]);
        out += "\r\n";
        return;
    }
    if (v.type == 3) {
        out += "hex:";
    } else {
        out += "hex(";
        bool started = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
            unsigned d = (v.type >> shift) & 0xF;
            if (d || started || shift == 0) {
                out.push_back(kHex[d]);
                started = true;
            }
        }
        out += "):";
    }
    std::string wide;
    if (isStringType(v.type)) wide = utf8ToUtf16le(v.data);
    std::string_view bytes = isStringType(v.type) ? std::string_view(wide) : std::string_view(v.data);
    bool tokenOnLine = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::size_t tokenLen = i + 1 < bytes.size() ? 3 : 2;
        if (tokenOnLine && out.size() - lineStart + tokenLen > 78) {
            out += "\\\r\n  ";
            lineStart = out.size() - 2;
        }
        auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0xF]);
        if (i + 1 < bytes.size()) out.push_back(',');
        tokenOnLine = true;
    }
    out += "\r\n";
}

void appendKeptLines(std::string& out, const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
        // A kept hex line that continues must not swallow the line after it.
        if (!line.empty() && line.back() == '\\') out += "\r\n";
    }
}

void appendKey(std::string& out, const RegKeyNode& key, std::string& path) {
    out += "\r\n[";
    out += path;
    out += "]\r\n";
    for (const auto& v : key.values()) appendValue(out, v);
    appendKeptLines(out, key.keptLines());
    for (std::size_t i = 0; i < key.subKeyCount(); ++i) {
        const RegKeyNode& sub = key.subKeyAt(i);
        std::size_t keep = path.size();
        path.push_back('\\');
        path += sub.name();
        appendKey(out, sub, path);
        path.resize(keep);
    }
}

}  // namespace

RegKeyNode::~RegKeyNode() = default;

std::size_t RegKeyNode::valueIndex(std::string_view name) const {
    if (valueMap_) {
        auto it = valueMap_->find(base::asciiLower(name));
        return it == valueMap_->end() ? kNone : it->second;
    }
    for (std::size_t i = 0; i < values_.size(); ++i)
        if (base::equalsNoCase(values_[i].name, name)) return i;
    return kNone;
}

std::size_t RegKeyNode::subKeyIndex(std::string_view name) const {
    if (subKeyMap_) {
        auto it = subKeyMap_->find(base::asciiLower(name));
        return it == subKeyMap_->end() ? kNone : it->second;
    }
    for (std::size_t i = 0; i < subKeys_.size(); ++i)
        if (base::equalsNoCase(subKeys_[i]->name(), name)) return i;
    return kNone;
}

void RegKeyNode::rebuildValueIndex() {
    if (values_.size() <= kIndexThreshold) {
        valueMap_.reset();
        return;
    }
    valueMap_ = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    for (std::size_t i = 0; i < values_.size(); ++i) valueMap_->emplace(base::asciiLower(values_[i].name), i);
}

void RegKeyNode::rebuildSubKeyIndex() {
    if (subKeys_.size() <= kIndexThreshold) {
        subKeyMap_.reset();
        return;
    }
    subKeyMap_ = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    for (std::size_t i = 0; i < subKeys_.size(); ++i) subKeyMap_->emplace(base::asciiLower(subKeys_[i]->name()), i);
}

const RegValueEntry* RegKeyNode::findValue(std::string_view name) const {
    std::size_t i = valueIndex(name);
    return i == kNone ? nullptr : &values_[i];
}

void RegKeyNode::setValue(std::string_view name, std::uint32_t type, std::string data) {
    std::size_t i = valueIndex(name);
    if (i != kNone) {
        values_[i].type = type;
        values_[i].data = std::move(data);
        return;
    }
    values_.push_back(RegValueEntry{std::string(name), type, std::move(data)});
    if (valueMap_)
        valueMap_->emplace(base::asciiLower(name), values_.size() - 1);
    else if (values_.size() > kIndexThreshold)
        rebuildValueIndex();
}

bool RegKeyNode::removeValue(std::string_view name) {
    std::size_t i = valueIndex(name);
    if (i == kNone) return false;
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
    if (valueMap_) rebuildValueIndex();
    return true;
}

RegKeyNode* RegKeyNode::findSubKey(std::string_view name) {
    std::size_t i = subKeyIndex(name);
    return i == kNone ? nullptr : subKeys_[i].get();
}

const RegKeyNode* RegKeyNode::findSubKey(std::string_view name) const {
    std::size_t i = subKeyIndex(name);
    return i == kNone ? nullptr : subKeys_[i].get();
}

RegKeyNode& RegKeyNode::ensureSubKey(std::string_view name) {
    if (RegKeyNode* found = findSubKey(name)) return *found;
    subKeys_.push_back(std::make_unique<RegKeyNode>(std::string(name)));
    if (subKeyMap_)
        subKeyMap_->emplace(base::asciiLower(name), subKeys_.size() - 1);
    else if (subKeys_.size() > kIndexThreshold)
        rebuildSubKeyIndex();
    return *subKeys_.back();
}

bool RegKeyNode::removeSubKey(std::string_view name) {
    std::size_t i = subKeyIndex(name);
    if (i == kNone) return false;
    subKeys_.erase(subKeys_.begin() + static_cast<std::ptrdiff_t>(i));
    if (subKeyMap_) rebuildSubKeyIndex();
    return true;
}

bool sameTree(const RegKeyNode& a, const RegKeyNode& b) {
    if (a.name() != b.name() || a.values() != b.values() || a.subKeyCount() != b.subKeyCount())
        return false;
    for (std::size_t i = 0; i < a.subKeyCount(); ++i)
        if (!sameTree(a.subKeyAt(i), b.subKeyAt(i))) return false;
    return true;
}

RegKeyNode* RegDocument::findHive(std::string_view name) {
    for (auto& h : hives)
        if (base::equalsNoCase(h->name(), name)) return h.get();
    return nullptr;
}

const RegKeyNode* RegDocument::findHive(std::string_view name) const {
    for (const auto& h : hives)
        if (base::equalsNoCase(h->name(), name)) return h.get();
    return nullptr;
}

RegKeyNode& RegDocument::ensureHive(std::string_view name) {
    if (RegKeyNode* h = findHive(name)) return *h;
    std::string_view canonical = canonicalHiveName(name);
    hives.push_back(std::make_unique<RegKeyNode>(std::string(canonical.empty() ? name : canonical)));
    return *hives.back();
}

std::string_view canonicalHiveName(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kNames = {{
        {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
        {"HKCR", "HKEY_CLASSES_ROOT"},
        {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
        {"HKCU", "HKEY_CURRENT_USER"},
        {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
        {"HKLM", "HKEY_LOCAL_MACHINE"},
        {"HKEY_USERS", "HKEY_USERS"},
        {"HKU", "HKEY_USERS"},
        {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG"},
        {"HKCC", "HKEY_CURRENT_CONFIG"},
        {"HKEY_DYN_DATA", "HKEY_DYN_DATA"},
        {"HKEY_PERFORMANCE_DATA", "HKEY_PERFORMANCE_DATA"},
    }};
    for (const auto& [alias, canonical] : kNames)
        if (base::equalsNoCase(alias, name)) return canonical;
    return {};
}

namespace {

constexpr std::string_view kTruncated = "ends in the middle of a UTF-16 character (the file is cut short)";

// The UTF-8 text of a .reg file's bytes: a view of bytes, or of decoded when
// they had to be converted (then the function returns true).
bool decodeRegBytes(std::string_view bytes, std::string& decoded, std::string_view& text, RegDocument& doc) {
    auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    auto fromUtf16 = [&](std::string_view units, bool bigEndian) {
        bool complete = true;
        decoded = utf16ToUtf8(units, bigEndian, &complete);
        if (!complete) {
            doc.damaged = true;
            doc.damage = kTruncated;
        }
        text = decoded;
        return true;
    };
    if (bytes.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) return fromUtf16(bytes.substr(2), false);
    if (bytes.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF) return fromUtf16(bytes.substr(2), true);
    // UTF-16LE that lost its BOM.
    if (bytes.size() >= 4 && b(0) != 0 && b(1) == 0 && b(2) != 0 && b(3) == 0) return fromUtf16(bytes, false);
    text = bytes;
    if (bytes.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) text = bytes.substr(3);
    return false;
}

void parseDecoded(RegDocument& doc, std::string_view text, std::string& decoded) {
    // Find the header line.
    LineReader probe(text);
    std::string_view first;
    bool haveFirst = false;
    while (probe.next(first)) {
        first = base::trim(first);
        if (!first.empty()) {
            haveFirst = true;
            break;
        }
    }
    bool v4 = haveFirst && first == kHeader4;
    bool v5 = haveFirst && first == kHeader5;
    if (v4 && !isValidUtf8(text)) {
        decoded = ansiToUtf8(text);
        text = decoded;
    }
    // A blank file is an empty registry (a new root file starts so); other
    // text needs the header, or it may be no registry file at all.
    if (!v4 && !v5 && haveFirst && !doc.damaged) {
        doc.damaged = true;
        doc.damage = "has no \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\" header line";
    }

    Parser p{doc, LineReader(text)};
    p.budget = (16u << 20) + 6 * text.size();
    p.ansiHex = v4;
    bool storedBytes = false;
    bool sawKey = false;
    bool sawHeader = false;
    std::string_view line;
    while (!p.stopped && p.lines.next(line)) {
        line = base::trim(line);
        if (line.empty()) continue;
        if (!sawHeader && (v4 || v5)) {
            sawHeader = true;  // the first non-blank line is the header checked above
            continue;
        }
        switch (line.front()) {
        case ';':
            if (!sawKey && line.substr(0, kMarker.size()) == kMarker) {
                storedBytes = line == kStoredBytesMarkerLine;
                break;  // written anew on every save
            }
            p.keep(line);
            break;
        case '[':
            sawKey = true;
            p.wide = v5 && !storedBytes;
            p.header(line);
            break;
        case '"':
        case '@':
            p.value(line);
            break;
        default:
            p.keep(line);
            break;
        }
    }
}

}  // namespace

RegDocument parseRegText(std::string_view bytes) {
    RegDocument doc;
    std::string decoded;
    std::string_view text;
    decodeRegBytes(bytes, decoded, text, doc);
    parseDecoded(doc, text, decoded);
    return doc;
}

RegDocument parseRegText(std::string&& bytes) {
    RegDocument doc;
    std::string decoded;
    std::string_view text;
    if (decodeRegBytes(bytes, decoded, text, doc)) std::string().swap(bytes);
    parseDecoded(doc, text, decoded);
    return doc;
}

std::string writeRegText(const RegDocument& doc) {
    std::string out;
    out += kHeader5;
    out += "\r\n";
    out += kMarkerLine;
    out += "\r\n";
    appendKeptLines(out, doc.keptLines);
    std::string path;
    for (const auto& hive : doc.hives) {
        path = hive->name();
        appendKey(out, *hive, path);
    }
    return out;
}

}  // namespace vk::platform
