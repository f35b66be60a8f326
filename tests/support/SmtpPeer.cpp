#include "support/SmtpPeer.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/RunProgram.h"

namespace vk::test {

std::string supportFile(const std::string& name) { return std::string(VK_TEST_SUPPORT_DIR) + "/" + name; }

SmtpPeer::SmtpPeer(Options options) {
    const std::string python = "/usr/bin/python3";
    if (!pythonHasModule("aiosmtpd")) {
        failure_ = "python3-aiosmtpd is not installed";
        return;
    }
    std::vector<std::string> args = {supportFile("smtp_peer.py"), "--dir", dir_.str()};
    if (!options.auth.empty()) args.insert(args.end(), {"--auth", options.auth});
    if (options.tls) {
        ProgramResult made = runProgram(
            "/usr/bin/openssl",
            {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1",
             "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
             (dir_ / "key.pem").string(), "-out", (dir_ / "cert.pem").string()});
        if (made.status != 0) {
            failure_ = "openssl req failed: " + made.err;
            return;
        }
        args.insert(args.end(), {"--tls", (dir_ / "cert.pem").string(), (dir_ / "key.pem").string()});
    }
    program_ = std::make_unique<BackgroundProcess>(python, args);
    std::string line = program_->readLine(std::chrono::milliseconds(15000));
    if (line.rfind("PORT ", 0) != 0) {
        failure_ = "aiosmtpd peer did not start: " + program_->errorOutput();
        return;
    }
    port_ = std::stoi(line.substr(5));
}

bool SmtpPeer::waitForMessage(int n, int timeoutMs) const {
    auto path = dir_ / ("message" + std::to_string(n) + ".meta");
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string SmtpPeer::message(int n) const { return readFile(dir_ / ("message" + std::to_string(n) + ".eml")); }
std::string SmtpPeer::meta(int n) const { return readFile(dir_ / ("message" + std::to_string(n) + ".meta")); }
std::string SmtpPeer::events() const {
    auto path = dir_ / "events.log";
    return std::filesystem::exists(path) ? readFile(path) : std::string();
}

}  // namespace vk::test
