#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace vk::test {

// Real Windows executables for tests, made from resource scripts by the MinGW
// tools (x86_64-w64-mingw32-windres and -ld).
class PeBuilder {
public:
    enum class Bits { Pe32, Pe64 };

    explicit PeBuilder(const TempDir& dir);
    // Why the tools cannot run here, or "" when they can.
    const std::string& unavailable() const { return unavailable_; }

    // Links a PE file holding the resources of rcText (files it names are
    // looked up in the temporary folder). An empty rcText gives a file with
    // code and no resources. Throws std::runtime_error with the tools' output
    // on failure.
    std::filesystem::path build(const std::string& name, const std::string& rcText, Bits bits = Bits::Pe64) const;

private:
    const TempDir& dir_;
    std::string windres_;
    std::string ld_;
    std::string as_;
    std::string cpp_;
    std::string unavailable_;
};

// A valid .ico file with one uncompressed 32-bit image of size x size pixels
// filled with the colour argb.
std::string icoFile(int size, std::uint32_t argb);

// The full path of a program found in $PATH, or "".
std::string findInPath(const std::string& program);

}  // namespace vk::test
