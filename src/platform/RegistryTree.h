#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::platform {

// One stored tree of registry keys (a hive file, a Wine .reg file): nodes by
// name, values in the registry interface's form (strings as UTF-8 with their
// NUL), changes kept until commit().
class RegistryTree {
public:
    using Node = std::size_t;
    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::string data;
    };

    virtual ~RegistryTree() = default;

    virtual Node root() const = 0;
    // A sub-key by name, without regard to case.
    virtual std::optional<Node> child(Node node, std::string_view name) const = 0;
    virtual std::vector<std::string> childNames(Node node) const = 0;
    virtual std::vector<Value> values(Node node) const = 0;

    virtual bool setValue(Node node, const Value& value) = 0;
    virtual bool deleteValue(Node node, std::string_view name) = 0;
    virtual std::optional<Node> addChild(Node node, const std::string& name) = 0;
    // Deletes a key that has no sub-keys.
    virtual bool deleteChild(Node node) = 0;

    virtual bool readOnly() const = 0;
    virtual bool modified() const = 0;
    // Writes the changes over the file; the first commit of a run copies the
    // file into backupFolder first. False (with problem() set) on failure.
    virtual bool commit(const std::string& backupFolder) = 0;
    // Why the tree is read-only or failed; "" otherwise.
    virtual const std::string& problem() const = 0;
    virtual const std::string& path() const = 0;

    std::optional<Node> find(Node from, const std::vector<std::string>& path) const;
    std::optional<Value> value(Node node, std::string_view name) const;
};

// Copies file into folder as "<time>-<pid>-<name>", with a note of where it
// came from beside it; false when no copy could be made.
bool backUpFile(const std::string& file, const std::string& folder);

}  // namespace vk::platform
