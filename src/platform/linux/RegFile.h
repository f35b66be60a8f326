#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vk::platform {

// Limits Windows itself puts on names and nesting; the reader refuses lines
// beyond them and the store refuses to create them.
inline constexpr std::size_t kRegMaxKeyNameLength = 255;
inline constexpr std::size_t kRegMaxValueNameLength = 16383;
inline constexpr std::size_t kRegMaxDepth = 512;

struct RegValueEntry {
    std::string name;
    std::uint32_t type = 0;
    std::string data;

    bool operator==(const RegValueEntry&) const = default;
};

// One key: values and sub-keys in insertion order, looked up by name without
// regard to ASCII case.
class RegKeyNode {
public:
    explicit RegKeyNode(std::string name) : name_(std::move(name)) {}
    ~RegKeyNode();
    RegKeyNode(const RegKeyNode&) = delete;
    RegKeyNode& operator=(const RegKeyNode&) = delete;

    const std::string& name() const { return name_; }

    const std::vector<RegValueEntry>& values() const { return values_; }
    const RegValueEntry* findValue(std::string_view name) const;
    // Replaces a value in place or appends a new one.
    void setValue(std::string_view name, std::uint32_t type, std::string data);
    bool removeValue(std::string_view name);

    std::size_t subKeyCount() const { return subKeys_.size(); }
    const RegKeyNode& subKeyAt(std::size_t i) const { return *subKeys_[i]; }
    RegKeyNode* findSubKey(std::string_view name);
    const RegKeyNode* findSubKey(std::string_view name) const;
    // The existing sub-key of that name, or a new one appended.
    RegKeyNode& ensureSubKey(std::string_view name);
    bool removeSubKey(std::string_view name);

    // Lines of the file this reader did not understand, kept as they stood so
    // that a rewrite loses nothing; written after the key's values.
    const std::vector<std::string>& keptLines() const { return keptLines_; }
    void keepLine(std::string line) { keptLines_.push_back(std::move(line)); }

private:
    std::size_t valueIndex(std::string_view name) const;
    std::size_t subKeyIndex(std::string_view name) const;
    void rebuildValueIndex();
    void rebuildSubKeyIndex();

    std::string name_;
    std::vector<RegValueEntry> values_;
    std::vector<std::unique_ptr<RegKeyNode>> subKeys_;
    std::vector<std::string> keptLines_;
    // Built only for keys with many entries; small keys are scanned.
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> valueMap_;
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> subKeyMap_;
};

bool sameTree(const RegKeyNode& a, const RegKeyNode& b);

// The contents of one .reg file: one tree per hive named in it, in order of
// first appearance ("HKEY_CURRENT_USER", ...).
struct RegDocument {
    std::vector<std::unique_ptr<RegKeyNode>> hives;
    // Lines not understood that stood under no key (before the first key,
    // under a key header that was not understood): kept, written first.
    std::vector<std::string> keptLines;
    // Lines not understood, kept verbatim under their key or in keptLines.
    std::size_t skippedLines = 0;
    // Rewriting the file would lose or change what it holds (no header, a
    // truncated UTF-16 text, more than the reader may build); damage says why.
    bool damaged = false;
    std::string damage;

    RegKeyNode* findHive(std::string_view name);
    const RegKeyNode* findHive(std::string_view name) const;
    RegKeyNode& ensureHive(std::string_view name);
};

// "HKCU" / "hkey_current_user" -> "HKEY_CURRENT_USER"; "" when unknown.
std::string_view canonicalHiveName(std::string_view name);

// Reads REGEDIT4 and "Windows Registry Editor Version 5.00" text: UTF-16LE/BE
// with BOM, UTF-8 with or without BOM; CR, LF or CRLF line ends; hex data
// continued over lines; "[-key]" and "name"=- removals. Never fails: a line it
// cannot understand is kept verbatim (see RegKeyNode::keptLines); a text that
// cannot be rewritten soundly is flagged as damaged. What it builds is kept
// within a few times the size of the text: beyond that it stops and flags the
// document as damaged. Time and memory are linear in the text.
//
// String data in hex(1)/hex(2)/hex(7) form is UTF-16LE, as regedit writes it,
// and is stored converted to UTF-8 (the program's ANSI); "..." strings are
// stored as their UTF-8 text plus one NUL. Files written by earlier versions
// of this program carry a marker comment saying their hex strings are the
// stored bytes, and are read so.
RegDocument parseRegText(std::string_view bytes);
// The same, releasing the bytes as soon as they are decoded (large exports).
RegDocument parseRegText(std::string&& bytes);

// Writes UTF-8 "Windows Registry Editor Version 5.00" text, CRLF line ends,
// with the marker comment; string data that needs hex form is written as
// UTF-16LE (bytes that are not UTF-8 taken as Windows-1252), everything else
// byte for byte.
std::string writeRegText(const RegDocument& doc);

}  // namespace vk::platform
