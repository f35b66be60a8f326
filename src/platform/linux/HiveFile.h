#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct hive_h;

namespace vk::platform {

// One registry hive file of an offline Windows (regf, through hivex): keys by
// path, values as raw bytes, changes kept in memory until commit(), which
// writes a temporary file beside the hive and renames it over the hive.
class HiveFile {
public:
    using Node = std::size_t;

    // Opens the file; read-only when asked, when the file cannot be written,
    // or when its header says Windows did not close it cleanly.
    HiveFile(std::string path, bool readOnly);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    bool opened() const { return hive_ != nullptr; }
    bool readOnly() const { return readOnly_; }
    // Why the hive could not be opened, or why it is read-only; "" otherwise.
    const std::string& problem() const { return problem_; }
    const std::string& path() const { return path_; }

    Node root() const;
    // A sub-key by name, without regard to case; nullopt when missing.
    std::optional<Node> child(Node node, std::string_view name) const;
    std::optional<Node> find(Node from, const std::vector<std::string>& path) const;
    std::vector<std::string> childNames(Node node) const;

    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::string data;  // as stored (strings in UTF-16LE)
    };
    std::vector<Value> values(Node node) const;
    std::optional<Value> value(Node node, std::string_view name) const;

    // Changes; false when the hive is read-only or hivex refused.
    bool setValue(Node node, const Value& value);
    bool deleteValue(Node node, std::string_view name);
    std::optional<Node> addChild(Node node, const std::string& name);
    bool deleteChild(Node node);

    bool modified() const { return modified_; }
    // Writes the changes over the hive; the first commit of a run copies the
    // hive to backupFolder first. False (with problem() set) when it failed.
    bool commit(const std::string& backupFolder);

private:
    std::string path_;
    hive_h* hive_ = nullptr;
    bool readOnly_ = false;
    bool modified_ = false;
    bool backedUp_ = false;
    std::string problem_;
};

// True when the header's two sequence numbers differ (an unclean shutdown,
// hibernation or Fast Startup left changes in the log files).
bool hiveHeaderDirty(const std::string& path, std::string* problem = nullptr);

}  // namespace vk::platform
