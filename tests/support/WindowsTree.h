#pragma once

#include <filesystem>
#include <string>

namespace vk::test {

// An offline Windows tree for a test: hive files made from the shared minimal
// hive and filled from .reg text through hivexregedit, read back the same way.
class WindowsTree {
public:
    explicit WindowsTree(const std::filesystem::path& root, const char* config = "Windows/System32/config",
                         const char* users = "Users");
    static bool toolsAvailable();

    std::filesystem::path hive(const std::string& name) const { return config_ / name; }
    std::filesystem::path userHive(const std::string& user, const char* file = "NTUSER.DAT") const {
        return users_ / user / file;
    }
    // A hive at path from the fixture `from`, with keys (".reg" lines, every
    // level of a path listed before its children) merged in. False on failure.
    bool make(const std::filesystem::path& hive, const std::string& keys, const char* from = "hives/minimal") const;
    // The whole hive as hivexregedit exports it.
    static std::string exported(const std::filesystem::path& hive);
    std::string root() const { return root_.string(); }

private:
    std::filesystem::path root_, config_, users_;
};

}  // namespace vk::test
