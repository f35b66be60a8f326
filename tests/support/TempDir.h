#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vk::test {

// A fresh folder under the system temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes bytes to a file below the folder, creating parent folders.
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);

// Sets (or with nullptr unsets) an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadOld_;
};

}  // namespace vk::test
