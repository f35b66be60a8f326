#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryTree.h"

struct hive_h;

namespace vk::platform {

// One registry hive file of an offline Windows (regf, through hivex). Strings
// are stored in UTF-16LE and shown as UTF-8; changes stay in memory until
// commit(), which writes a temporary file beside the hive and renames it over
// the hive.
class HiveFile final : public RegistryTree {
public:
    // Opens the file; read-only when asked, when the file cannot be written,
    // or when its header says Windows did not close it cleanly.
    HiveFile(std::string path, bool readOnly);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    bool opened() const { return hive_ != nullptr; }

    Node root() const override;
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

private:
    // Values with their data as the hive holds it.
    std::vector<Value> storedValues(Node node) const;

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
