#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "support/BackgroundProcess.h"

namespace vk::test {

// A real FTP server (pyftpdlib) on a free loopback port, serving root for one
// account (root is created). The mode bends it for failure tests.
class FtpPeer {
public:
    enum class Mode {
        Normal,
        SilentOnCwd,      // never answers CWD
        PassiveElsewhere,  // PASV names another address than its own
        RefuseInfoTxt      // refuses uploads named info.txt
    };
    static constexpr const char* kUser = "sampler";
    static constexpr const char* kPassword = "s3cret";

    FtpPeer(const std::filesystem::path& root, const std::string& permissions = "elradfmw", Mode mode = Mode::Normal);
    static bool available();

    bool running() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    std::string log() const { return process_ ? process_->errorOutput() : std::string(); }

private:
    std::string script_;
    std::unique_ptr<BackgroundProcess> process_;
    std::uint16_t port_ = 0;
};

}  // namespace vk::test
