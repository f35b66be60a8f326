#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "net/FtpDirList.h"
#include "net/TcpStream.h"
#include "platform/EventPump.h"

namespace vk::net {

class FtpEvents {
public:
    virtual ~FtpEvents() = default;
    virtual void fileTransferProgress(std::int64_t /*currentBytes*/, std::int64_t /*totalBytes*/) {}
};

// An FTP client (RFC 959 with the replies servers really send): one control
// connection, a data connection per transfer in active or passive mode, and a
// text of the last error. No operation throws; failures are false plus
// getLastErrorMessage().
class Ftp {
public:
    enum class TransferType { Ascii = 1, Binary = 2 };
    static constexpr std::uint16_t kDefaultPort = 21;

    explicit Ftp(FtpEvents* events = nullptr, platform::EventPump* pump = nullptr);
    ~Ftp();

    bool openConnection(const std::string& server, const std::string& user, const std::string& password,
                        std::uint16_t port = kDefaultPort);
    void closeConnection();
    bool connected() const { return control_.isOpen(); }

    bool simpleFtpPutFile(const std::string& local, const std::string& remote);
    bool simpleFtpGetFile(const std::string& local, const std::string& remote);
    bool renameFtpFile(const std::string& existing, const std::string& newName);
    bool createFtpDirectory(const std::string& directory);
    bool removeFtpDirectory(const std::string& directory);
    bool deleteFtpFile(const std::string& remote);
    // "" on failure.
    std::string getFtpDirectory();
    bool setFtpDirectory(const std::string& directory);
    // -1 on failure.
    std::int64_t getFtpFileSize(const std::string& file);
    // The listing of filter ("" = the current folder), also kept in directory().
    std::optional<DirList> getDirectoryListing(const std::string& filter);
    const DirList& directory() const { return directory_; }

    // Both names are trimmed, the caller's variables too; an empty one gives
    // false without an error record. Progress after every 255-byte block.
    bool ftpUploadFile(std::string& local, std::string& remote);
    bool ftpDownloadFile(std::string& local, std::string& remote);

    void setTransferAscii() { type_ = TransferType::Ascii; }
    void setTransferBinary() { type_ = TransferType::Binary; }
    // Takes effect at the next openConnection.
    void setModeActive() { passiveNext_ = false; }
    void setModePassive() { passiveNext_ = true; }
    TransferType transferType() const { return type_; }
    bool passive() const { return passive_; }

    const std::string& getLastErrorMessage() const { return lastError_; }
    // How long any single wait for the server may last.
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

private:
    struct Reply {
        int code = 0;
        std::string text;  // every line, CR LF between them
    };
    enum class Direction { Send, Receive };

    bool command(const std::string& line, Reply& reply, const char* context);
    bool readReply(Reply& reply, const char* context);
    bool expect(const std::string& line, int firstDigit, const char* context);
    bool fail(const char* context, std::int32_t number);
    bool failStatus(const char* context, TcpStream::Status status);
    bool openData(const std::string& line, const char* context, TcpStream& data, Reply& reply);
    bool finishData(const char* context);
    bool transfer(const std::string& local, const std::string& remote, Direction direction, bool progress,
                  const char* openContext, const char* blockContext, const char* lastContext);
    bool listing(const std::string& filter, const char* context, DirList& out);

    FtpEvents* events_;
    platform::EventPump* pump_;
    TcpStream control_;
    TransferType type_ = TransferType::Ascii;
    bool passiveNext_ = false;
    bool passive_ = false;
    std::chrono::milliseconds timeout_{30000};
    std::string lastError_;
    std::string lastResponse_;
    DirList directory_;
};

}  // namespace vk::net
