#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryTree.h"

namespace vk::platform {

// A Wine registry file (system.reg, user.reg: "WINE REGISTRY Version 2").
// Keys that are not changed are written back exactly as they were read, line
// for line; a changed key keeps its comment and meta lines (#class, #link,
// ...) and any line this reader does not understand, and gets a fresh time.
// Saves are atomic. A file that cannot be understood as a whole (no header,
// an endless line, a key line without its end) is only read.
class WineRegistryFile final : public RegistryTree {
public:
    WineRegistryFile(std::string path, bool readOnly, std::string readOnlyReason = {});

    bool loaded() const { return loaded_; }
    // "\\Machine" or "\\User\\S-1-5-21-...": what the file's keys are relative to.
    const std::string& relativeTo() const { return relativeTo_; }

    Node root() const override { return 0; }
    std::optional<Node> child(Node node, std::string_view name) const override;
    std::vector<std::string> childNames(Node node) const override;
    std::vector<Value> values(Node node) const override;
    bool setValue(Node node, const Value& value) override;
    bool deleteValue(Node node, std::string_view name) override;
    std::optional<Node> addChild(Node node, const std::string& name) override;
    bool deleteChild(Node node) override;
    bool readOnly() const override { return readOnly_; }
    bool modified() const override { return modified_; }
    bool commit(const std::string& backupFolder) override;
    const std::string& problem() const override { return problem_; }
    const std::string& path() const override { return path_; }

    // The file's text as commit() would write it.
    std::string text() const;

private:
    struct Key {
        std::string name;
        std::size_t parent = 0;
        std::vector<std::size_t> children;
        int block = -1;  // the key's own lines in the file, -1 when it has none
        bool deleted = false;
    };
    struct Block {
        std::size_t key = 0;
        std::string header;              // the "[...] time" line as read
        std::vector<std::string> lines;  // what follows it, as read
        std::vector<Value> values;
        std::vector<std::string> kept;   // meta and unknown lines, for a rewrite
        bool dirty = false;
    };

    bool parse(const std::string& text);
    std::size_t ensurePath(const std::vector<std::string>& names);
    Block& blockOf(std::size_t key);
    std::string keyPath(std::size_t key) const;
    std::string serialize(const Block& block) const;

    std::string path_;
    bool readOnly_ = false;
    bool loaded_ = false;
    bool modified_ = false;
    bool backedUp_ = false;
    std::string problem_;
    std::string relativeTo_;
    std::vector<std::string> prologue_;  // everything before the first key
    std::vector<Key> keys_;
    std::vector<Block> blocks_;
};

// Wine's string escapes: UTF-8 text to the quoted form and back.
std::string escapeWineString(std::string_view utf8, char quote);
// Reads an escaped string from text at pos (after its opening quote) up to the
// closing quote; nullopt when it never closes. pos ends after the quote.
std::optional<std::string> unescapeWineString(std::string_view text, std::size_t& pos, char close);

}  // namespace vk::platform
