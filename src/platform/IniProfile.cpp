#include "platform/IniProfile.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/AtomicFile.h"
#include "platform/Utf16.h"
#include "platform/base/Text.h"
#include "platform/linux/FileLock.h"

namespace vk::platform {
namespace {

constexpr std::uint32_t kNoValue = UINT32_MAX;
constexpr std::size_t kMaxText = 0xFFFFFFF0u;
// Profile files are small; a larger one reads as missing and is not written.
constexpr std::size_t kMaxProfileFile = 64u << 20;
constexpr std::size_t kCacheBytes = 128u << 20;
constexpr std::size_t kCacheFiles = 64;

// The profile functions' blanks (Ctrl-Z included, as old editors left it at the end).
constexpr std::string_view kProfileBlanks = " \t\v\f\x1a\r\n";
inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a' || c == '\r' || c == '\n';
}

inline std::uint32_t foldHash(const char* p, std::size_t n, std::uint64_t seed) {
    std::uint64_t h = 0xcbf29ce484222325ull ^ (seed * 0x9E3779B97F4A7C15ull);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(base::asciiLower(p[i]))) * 0x100000001b3ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// memchr over [p, e); GCC cannot see that e >= p at the call sites.
inline const char* findChar(const char* p, const char* e, char c) {
    if (e <= p) return nullptr;
    return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(e - p)));
}

std::string_view cutAtNul(std::string_view s) {
    const void* nul = std::memchr(s.data(), '\0', s.size());
    return nul ? s.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - s.data())) : s;
}

// A profile read's view of a stored value.
std::string_view profileValue(std::string_view v) {
    std::string_view cut = cutAtNul(v);
    if (cut.size() != v.size()) cut = base::trim(cut, kProfileBlanks);
    if (cut.size() >= 2 && (cut.front() == '"' || cut.front() == '\'') && cut.back() == cut.front())
        cut = cut.substr(1, cut.size() - 2);
    if (cut.size() > kIniValueLimit) cut = cut.substr(0, kIniValueLimit);
    return cut;
}

std::string fallbackValue(std::string_view fallback) {
    fallback = cutAtNul(fallback);
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    if (fallback.size() > kIniValueLimit) fallback = fallback.substr(0, kIniValueLimit);
    return std::string(fallback);
}

// Walks lines ending in CR, LF or CRLF, remembering the next LF so that lone
// CRs do not make it rescan the text.
struct LineCursor {
    const char* base;
    std::size_t size;
    std::size_t pos;
    std::size_t nl = SIZE_MAX;

    // [start, end) is the line without its line end, next where the following line starts.
    bool next(std::size_t& start, std::size_t& end, std::size_t& following) {
        if (pos >= size) return false;
        if (nl == SIZE_MAX || nl < pos) {
            const void* f = std::memchr(base + pos, '\n', size - pos);
            nl = f ? static_cast<std::size_t>(static_cast<const char*>(f) - base) : size;
        }
        start = pos;
        const void* cr = std::memchr(base + pos, '\r', nl - pos);
        if (cr) {
            end = static_cast<std::size_t>(static_cast<const char*>(cr) - base);
            following = end + 1;
            if (following < size && base[following] == '\n') ++following;
        } else {
            end = nl;
            following = nl < size ? nl + 1 : size;
        }
        pos = following;
        return true;
    }
};

std::size_t bomLength(std::string_view text) {
    return text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
                   static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF
               ? 3
               : 0;
}

bool isUtf16le(std::string_view text) {
    return text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
           static_cast<unsigned char>(text[1]) == 0xFE;
}

// A section header: "[" name "]" anything, the last "]" closing the name.
bool sectionName(const char* p, const char* end, std::string_view& name) {
    if (p >= end || *p != '[') return false;
    const char* close = nullptr;
    for (const char* q = end; q > p + 1;) {
        --q;
        if (*q == ']') {
            close = q;
            break;
        }
    }
    if (!close) return false;
    name = base::trim(std::string_view(p + 1, static_cast<std::size_t>(close - p - 1)), kProfileBlanks);
    return true;
}

}  // namespace

struct IniDocument::Impl {
    // A section's keys are contiguous in entries (later sections of the same
    // name are ignored), so a small section is searched by a short scan that
    // stays in the cache; only a large one goes through the key table.
    static constexpr std::uint32_t kScanLimit = 16;

    struct Section {
        std::uint32_t off, len, hash;
        std::uint32_t firstEntry = 0, entryCount = 0;
    };
    struct Entry {
        std::uint32_t keyOff, keyLen, valOff, valLen, section, hash;
    };

    std::string text;
    std::vector<Section> sections;
    std::vector<std::uint32_t> sectionSlots;  // index + 1, 0 = free
    std::vector<Entry> entries;
    std::vector<std::uint32_t> entrySlots;    // keys of large sections only
    std::size_t tabledEntries = 0;

    static std::uint32_t slotHash(const Entry& e) { return e.hash ^ (e.section * 0x9E3779B1u); }

    template <class Items, class HashOf>
    static void grow(std::vector<std::uint32_t>& slots, const Items& items, std::size_t count, HashOf hashOf,
                     auto include) {
        std::size_t cap = slots.empty() ? 1024 : slots.size() * 2;
        while (cap < count * 2) cap *= 2;
        slots.assign(cap, 0);
        std::size_t mask = cap - 1;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!include(items[i])) continue;
            std::size_t at = hashOf(items[i]) & mask;
            while (slots[at]) at = (at + 1) & mask;
            slots[at] = static_cast<std::uint32_t>(i + 1);
        }
    }

    // Index of the section, or SIZE_MAX.
    std::size_t findSection(const char* p, std::size_t n, std::uint32_t h) const {
        if (sectionSlots.empty()) return SIZE_MAX;
        std::size_t mask = sectionSlots.size() - 1;
        for (std::size_t at = h & mask; sectionSlots[at]; at = (at + 1) & mask) {
            const Section& s = sections[sectionSlots[at] - 1];
            if (s.hash == h && s.len == n && base::equalsNoCase({text.data() + s.off, n}, {p, n})) return sectionSlots[at] - 1;
        }
        return SIZE_MAX;
    }

    bool addSection(std::uint32_t off, std::uint32_t len, std::uint32_t& index) {
        std::uint32_t h = foldHash(text.data() + off, len, 0);
        if (findSection(text.data() + off, len, h) != SIZE_MAX) return false;
        Section section{off, len, h};
        section.firstEntry = static_cast<std::uint32_t>(entries.size());
        sections.push_back(section);
        if (sections.size() * 2 > sectionSlots.size()) {
            grow(sectionSlots, sections, sections.size(), [](const Section& s) { return s.hash; },
                 [](const Section&) { return true; });
        } else {
            std::size_t mask = sectionSlots.size() - 1;
            std::size_t at = h & mask;
            while (sectionSlots[at]) at = (at + 1) & mask;
            sectionSlots[at] = static_cast<std::uint32_t>(sections.size());
        }
        index = static_cast<std::uint32_t>(sections.size() - 1);
        return true;
    }

    bool tabled(const Section& s) const { return s.entryCount > kScanLimit; }

    const Entry* findEntry(std::uint32_t section, const char* p, std::size_t n, std::uint32_t h) const {
        const Section& s = sections[section];
        if (!tabled(s)) {
            for (std::uint32_t i = s.firstEntry; i < s.firstEntry + s.entryCount; ++i) {
                const Entry& e = entries[i];
                if (e.hash == h && e.keyLen == n && base::equalsNoCase({text.data() + e.keyOff, n}, {p, n})) return &e;
            }
            return nullptr;
        }
        std::size_t mask = entrySlots.size() - 1;
        std::uint32_t sh = h ^ (section * 0x9E3779B1u);
        for (std::size_t at = sh & mask; entrySlots[at]; at = (at + 1) & mask) {
            const Entry& e = entries[entrySlots[at] - 1];
            if (e.hash == h && e.section == section && e.keyLen == n && base::equalsNoCase({text.data() + e.keyOff, n}, {p, n}))
                return &e;
        }
        return nullptr;
    }

    // Entries [first, last] of a large section join the key table.
    void addToTable(std::uint32_t first, std::uint32_t last) {
        tabledEntries += last - first + 1;
        if (tabledEntries * 2 > entrySlots.size()) {
            grow(entrySlots, entries, tabledEntries, slotHash,
                 [&](const Entry& e) { return tabled(sections[e.section]); });
            return;
        }
        std::size_t mask = entrySlots.size() - 1;
        for (std::uint32_t i = first; i <= last; ++i) {
            std::size_t at = slotHash(entries[i]) & mask;
            while (entrySlots[at]) at = (at + 1) & mask;
            entrySlots[at] = i + 1;
        }
    }

    void addEntry(std::uint32_t section, std::uint32_t keyOff, std::uint32_t keyLen, std::uint32_t valOff,
                  std::uint32_t valLen) {
        std::uint32_t h = foldHash(text.data() + keyOff, keyLen, 0);
        if (findEntry(section, text.data() + keyOff, keyLen, h)) return;  // first one wins
        auto index = static_cast<std::uint32_t>(entries.size());
        entries.push_back({keyOff, keyLen, valOff, valLen, section, h});
        Section& s = sections[section];
        ++s.entryCount;
        if (s.entryCount == kScanLimit + 1)
            addToTable(s.firstEntry, index);  // the section outgrew the scan
        else if (tabled(s))
            addToTable(index, index);
    }

    void build() {
        if (isUtf16le(text)) text = utf16ToUtf8(std::string_view(text).substr(2));
        if (text.size() > kMaxText) text.resize(kMaxText);
        const char* base = text.data();
        LineCursor lines{base, text.size(), bomLength(text)};
        bool inSection = false;  // in the first section of its name
        std::uint32_t current = 0;
        std::size_t start, end, following;
        while (lines.next(start, end, following)) {
            const char* p = base + start;
            const char* e = base + end;
            while (p < e && isBlank(*p)) ++p;
            if (p == e || *p == ';') continue;
            std::string_view name;
            if (*p == '[' && sectionName(p, e, name)) {
                inSection = addSection(static_cast<std::uint32_t>(name.data() - base),
                                       static_cast<std::uint32_t>(name.size()), current);
                continue;
            }
            if (!inSection) continue;
            while (e > p && isBlank(e[-1])) --e;
            const char* eq = findChar(p, e, '=');
            if (!eq) {
                addEntry(current, static_cast<std::uint32_t>(p - base), static_cast<std::uint32_t>(e - p), 0,
                         kNoValue);
                continue;
            }
            const char* keyEnd = eq;
            while (keyEnd > p && isBlank(keyEnd[-1])) --keyEnd;
            const char* v = eq + 1;
            while (v < e && isBlank(*v)) ++v;
            addEntry(current, static_cast<std::uint32_t>(p - base), static_cast<std::uint32_t>(keyEnd - p),
                     static_cast<std::uint32_t>(v - base), static_cast<std::uint32_t>(e - v));
        }
    }
};

IniDocument::IniDocument() : impl_(std::make_unique<Impl>()) {}
IniDocument::~IniDocument() = default;
IniDocument::IniDocument(IniDocument&&) noexcept = default;
IniDocument& IniDocument::operator=(IniDocument&&) noexcept = default;

IniDocument IniDocument::parse(std::string_view text) { return fromText(std::string(text)); }

IniDocument IniDocument::fromText(std::string text) {
    IniDocument doc;
    doc.impl_->text = std::move(text);
    doc.impl_->build();
    return doc;
}

std::size_t IniDocument::sectionCount() const { return impl_ ? impl_->sections.size() : 0; }
std::size_t IniDocument::keyCount() const { return impl_ ? impl_->entries.size() : 0; }

std::optional<IniDocument::SectionRef> IniDocument::section(std::string_view name) const {
    if (!impl_) return std::nullopt;
    name = base::trim(cutAtNul(name), kProfileBlanks);
    std::size_t s = impl_->findSection(name.data(), name.size(), foldHash(name.data(), name.size(), 0));
    if (s == SIZE_MAX) return std::nullopt;
    return SectionRef{static_cast<std::uint32_t>(s)};
}

std::optional<std::string_view> IniDocument::find(SectionRef section, std::string_view key) const {
    if (!impl_ || section.index >= impl_->sections.size()) return std::nullopt;
    key = base::trim(cutAtNul(key), kProfileBlanks);
    const Impl::Entry* e = impl_->findEntry(section.index, key.data(), key.size(), foldHash(key.data(), key.size(), 0));
    if (!e || e->valLen == kNoValue) return std::nullopt;
    return profileValue(std::string_view(impl_->text.data() + e->valOff, e->valLen));
}

std::optional<std::string_view> IniDocument::find(std::string_view section, std::string_view key) const {
    auto ref = this->section(section);
    return ref ? find(*ref, key) : std::nullopt;
}

std::string IniDocument::get(std::optional<SectionRef> section, std::string_view key,
                             std::string_view fallback) const {
    if (section)
        if (auto v = find(*section, key)) return std::string(*v);
    return fallbackValue(fallback);
}

std::string IniDocument::get(std::string_view section, std::string_view key, std::string_view fallback) const {
    if (auto v = find(section, key)) return std::string(*v);
    return fallbackValue(fallback);
}

namespace {

struct CacheEntry {
    FileStamp stamp;
    std::shared_ptr<const IniDocument> doc;
    std::size_t bytes = 0;
};

struct ProfileCache {
    std::mutex mutex;
    std::unordered_map<std::string, CacheEntry> files;
    std::size_t bytes = 0;
};

ProfileCache& cache() {
    static ProfileCache c;
    return c;
}

void forget(const std::string& file) {
    ProfileCache& c = cache();
    std::lock_guard guard(c.mutex);
    auto it = c.files.find(file);
    if (it != c.files.end()) {
        c.bytes -= it->second.bytes;
        c.files.erase(it);
    }
}

std::shared_ptr<const IniDocument> loadProfile(const std::string& file) {
    FileStamp stamp = fileStamp(file);
    if (!stamp.exists) return nullptr;
    ProfileCache& c = cache();
    {
        std::lock_guard guard(c.mutex);
        auto it = c.files.find(file);
        if (it != c.files.end() && it->second.stamp == stamp) return it->second.doc;
    }
    std::string text;
    if (readWholeFile(file, text, kMaxProfileFile) != 0) return nullptr;
    std::size_t bytes = text.size();
    auto doc = std::make_shared<const IniDocument>(IniDocument::fromText(std::move(text)));
    std::lock_guard guard(c.mutex);
    auto it = c.files.find(file);
    if (it != c.files.end()) {
        c.bytes -= it->second.bytes;
        c.files.erase(it);
    }
    if (c.files.size() >= kCacheFiles || c.bytes + bytes > kCacheBytes) {
        c.files.clear();
        c.bytes = 0;
    }
    if (bytes <= kCacheBytes) {
        c.files.emplace(file, CacheEntry{stamp, doc, bytes});
        c.bytes += bytes;
    }
    return doc;
}

std::string_view detectLineEnd(std::string_view text) {
    std::size_t i = text.find_first_of("\r\n");
    if (i == std::string_view::npos) return "\r\n";
    if (text[i] == '\n') return "\n";
    return i + 1 < text.size() && text[i + 1] == '\n' ? "\r\n" : "\r";
}

// The text with the key set: replaced in place when the section has it,
// appended after the section's last key line, or a new section at the end.
void setKeyInText(std::string& text, std::string_view section, std::string_view key, std::string_view value) {
    const std::string eol(detectLineEnd(text));
    LineCursor lines{text.data(), text.size(), bomLength(text)};
    bool found = false;
    std::size_t insertAt = 0;
    std::size_t start, end, following;
    while (lines.next(start, end, following)) {
        const char* base = text.data();
        const char* p = base + start;
        const char* e = base + end;
        while (p < e && isBlank(*p)) ++p;
        if (p == e || *p == ';') continue;
        std::string_view name;
        if (*p == '[' && sectionName(p, e, name)) {
            if (found) break;
            if (base::equalsNoCase(name, section)) {
                found = true;
                insertAt = following;
            }
            continue;
        }
        if (!found) continue;
        while (e > p && isBlank(e[-1])) --e;
        const char* eq = findChar(p, e, '=');
        const char* keyEnd = eq ? eq : e;
        while (keyEnd > p && isBlank(keyEnd[-1])) --keyEnd;
        std::string_view lineKey(p, static_cast<std::size_t>(keyEnd - p));
        if (base::equalsNoCase(lineKey, key)) {
            std::string replacement(lineKey);
            replacement += '=';
            replacement += value;
            std::size_t from = static_cast<std::size_t>(p - base);
            text.replace(from, end - from, replacement);
            return;
        }
        insertAt = following;
    }
    auto endsWithLineEnd = [&] { return !text.empty() && (text.back() == '\n' || text.back() == '\r'); };
    std::string line(key);
    line += '=';
    line += value;
    if (found) {
        if (insertAt >= text.size() && !text.empty() && !endsWithLineEnd()) {
            text += eol;
            text += line;
            text += eol;
        } else {
            text.insert(insertAt, line + eol);
        }
        return;
    }
    if (text.size() > bomLength(text) && !endsWithLineEnd()) text += eol;
    text += '[';
    text += section;
    text += ']';
    text += eol;
    text += line;
    text += eol;
}

}  // namespace

std::string getProfileString(const std::string& file, std::string_view section, std::string_view key,
                             std::string_view fallback) {
    auto doc = loadProfile(file);
    if (!doc) return fallbackValue(fallback);
    return doc->get(section, key, fallback);
}

std::optional<std::string> setProfileStringInText(std::string_view content, std::string_view section,
                                                  std::string_view key, std::string_view value) {
    section = base::trim(cutAtNul(section), kProfileBlanks);
    key = base::trim(cutAtNul(key), kProfileBlanks);
    value = cutAtNul(value);
    auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value)) return std::nullopt;
    if (key.find('=') != std::string_view::npos) return std::nullopt;
    if (!key.empty() && (key.front() == '[' || key.front() == ';')) return std::nullopt;
    bool wide = isUtf16le(content);
    std::string text = wide ? utf16ToUtf8(content.substr(2)) : std::string(content);
    setKeyInText(text, section, key, value);
    if (!wide) return text;
    return "\xFF\xFE" + utf8ToUtf16le(text);
}

bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    if (file.empty()) return false;
    // Refused texts are refused before the file is touched.
    if (!setProfileStringInText({}, section, key, value)) return false;
    FileLock lock;
    if (lock.lock(file) != 0) return false;
    std::string content;
    if (readWholeFile(file, content, kMaxProfileFile) != 0) return false;
    auto bytes = setProfileStringInText(content, section, key, value);
    if (!bytes) return false;
    if (*bytes == content) return true;
    int err = atomicReplaceFile(file, *bytes);
    forget(file);
    return err == 0;
}

void clearProfileCache() {
    ProfileCache& c = cache();
    std::lock_guard guard(c.mutex);
    c.files.clear();
    c.bytes = 0;
}

}  // namespace vk::platform
