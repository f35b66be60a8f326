#include "support/FtpPeer.h"

#include <fstream>

#include "support/TempDir.h"

namespace vk::test {

namespace {

const char kScript[] = R"PY(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, perm, mode = sys.argv[1:6]
logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm=perm)

class Handler(FTPHandler):
    pass

Handler.authorizer = authorizer
if mode == "silent-cwd":
    Handler.ftp_CWD = lambda self, path: None
if mode == "refuse-info":
    stor = FTPHandler.ftp_STOR
    def refuse(self, file, mode="w"):
        if file.endswith("/info.txt"):
            self.respond("550 Not here.")
            return
        return stor(self, file, mode)
    Handler.ftp_STOR = refuse
if mode == "pasv-elsewhere":
    Handler.masquerade_address = "127.0.0.2"
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever()
)PY";

const char* modeName(FtpPeer::Mode mode) {
    switch (mode) {
        case FtpPeer::Mode::SilentOnCwd: return "silent-cwd";
        case FtpPeer::Mode::PassiveElsewhere: return "pasv-elsewhere";
        case FtpPeer::Mode::RefuseInfoTxt: return "refuse-info";
        default: return "normal";
    }
}

}  // namespace

bool FtpPeer::available() { return pythonHasModule("pyftpdlib"); }

FtpPeer::FtpPeer(const std::filesystem::path& root, const std::string& permissions, Mode mode) {
    std::filesystem::create_directories(root);
    script_ = (root.parent_path() / ("ftp_peer_" + root.filename().string() + ".py")).string();
    std::ofstream(script_) << kScript;
    process_ = std::make_unique<BackgroundProcess>(
        "/usr/bin/python3", std::vector<std::string>{script_, root.string(), kUser, kPassword, permissions, modeName(mode)});
    const std::string line = process_->readLine(std::chrono::seconds(20));
    port_ = line.empty() ? 0 : static_cast<std::uint16_t>(std::stoi(line));
}

}  // namespace vk::test
