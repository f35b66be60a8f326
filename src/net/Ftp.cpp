#include "net/Ftp.h"

#include <cctype>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "net/FtpErrors.h"

namespace vk::net {

namespace {

// Servers answer in short lines; anything longer is not a reply.
constexpr std::size_t kMaxReplyLine = 4096;
constexpr std::size_t kMaxReplyLines = 256;
constexpr std::size_t kMaxListing = 64 * 1024 * 1024;
constexpr std::size_t kBlock = 255;

std::string trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool replyCode(const std::string& line, int& code) {
    if (line.size() < 3) return false;
    for (int i = 0; i < 3; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[static_cast<std::size_t>(i)]))) return false;
    code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return true;
}

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)".
bool parsePasv(const std::string& text, std::string& address, std::uint16_t& port) {
    std::size_t open = text.find('(');
    std::size_t start = open == std::string::npos ? text.find_first_of("0123456789", 4) : open + 1;
    if (start == std::string::npos) return false;
    int parts[6];
    const char* p = text.data() + start;
    const char* end = text.data() + text.size();
    for (int i = 0; i < 6; ++i) {
        auto r = std::from_chars(p, end, parts[i]);
        if (r.ec != std::errc() || parts[i] < 0 || parts[i] > 255) return false;
        p = r.ptr;
        if (i < 5) {
            if (p >= end || *p != ',') return false;
            ++p;
        }
    }
    address = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
              std::to_string(parts[3]);
    port = static_cast<std::uint16_t>(parts[4] * 256 + parts[5]);
    return port != 0;
}

// "229 Entering Extended Passive Mode (|||port|)".
bool parseEpsv(const std::string& text, std::uint16_t& port) {
    std::size_t open = text.find("(|||");
    if (open == std::string::npos) return false;
    unsigned value = 0;
    const char* p = text.data() + open + 4;
    auto r = std::from_chars(p, text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr >= text.data() + text.size() || *r.ptr != '|' || value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// "150 Opening BINARY mode data connection for x (1234 bytes)".
std::int64_t announcedSize(const std::string& text) {
    std::size_t open = text.rfind('(');
    if (open == std::string::npos) return 0;
    std::int64_t value = 0;
    auto r = std::from_chars(text.data() + open + 1, text.data() + text.size(), value);
    return r.ec == std::errc() && text.compare(static_cast<std::size_t>(r.ptr - text.data()), 6, " bytes") == 0 ? value
                                                                                                                 : 0;
}

// NVT-ASCII on the wire: bare LF becomes CR LF going out, CR LF becomes LF
// coming in. The state carries a CR across block edges.
std::string toNetworkText(std::string_view block, bool& lastWasCr) {
    std::string out;
    out.reserve(block.size() + block.size() / 8);
    for (char c : block) {
        if (c == '\n' && !lastWasCr) out += '\r';
        out += c;
        lastWasCr = c == '\r';
    }
    return out;
}

std::string fromNetworkText(std::string_view block, bool& pendingCr) {
    std::string out;
    out.reserve(block.size());
    for (char c : block) {
        if (pendingCr) {
            pendingCr = false;
            if (c != '\n') out += '\r';
        }
        if (c == '\r') {
            pendingCr = true;
            continue;
        }
        out += c;
    }
    return out;
}

int currentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace

Ftp::Ftp(FtpEvents* events, platform::EventPump* pump) : events_(events), pump_(pump) {}

Ftp::~Ftp() { closeConnection(); }

bool Ftp::fail(const char* context, std::int32_t number) {
    lastError_ = std::string(context) + " error code: " + std::to_string(number) +
                 " Message: " + (number == kFtpErrExtended ? lastResponse_ : ftpErrorText(number));
    return false;
}

bool Ftp::failStatus(const char* context, TcpStream::Status status) {
    switch (status) {
        case TcpStream::Status::TimedOut: return fail(context, kFtpErrTimeout);
        case TcpStream::Status::Closed: control_.close(); return fail(context, kFtpErrConnectionAborted);
        case TcpStream::Status::TooLong:
            // A peer that sends without end is dropped, not buffered.
            control_.close();
            return fail(context, kFtpErrProtocol);
        default: control_.close(); return fail(context, kFtpErrConnectionReset);
    }
}

bool Ftp::readReply(Reply& reply, const char* context) {
    reply = {};
    std::string line;
    TcpStream::Status s = control_.readLine(line, kMaxReplyLine, timeout_);
    if (s != TcpStream::Status::Ok) return failStatus(context, s);
    if (!replyCode(line, reply.code)) {
        control_.close();
        return fail(context, kFtpErrProtocol);
    }
    reply.text = line;
    // "123-" opens a multi-line reply that "123 " ends.
    if (line.size() > 3 && line[3] == '-') {
        const std::string end = line.substr(0, 3) + " ";
        for (std::size_t n = 0;; ++n) {
            if (n >= kMaxReplyLines) return failStatus(context, TcpStream::Status::TooLong);
            s = control_.readLine(line, kMaxReplyLine, timeout_);
            if (s != TcpStream::Status::Ok) return failStatus(context, s);
            reply.text += "\r\n" + line;
            if (line.compare(0, 4, end) == 0) break;
        }
    }
    lastResponse_ = reply.text;
    return true;
}

bool Ftp::command(const std::string& line, Reply& reply, const char* context) {
    if (!control_.isOpen()) return fail(context, kFtpErrInvalidHandle);
    // A command carries no line break of its own: a name holding one would
    // smuggle in a second command.
    if (line.find_first_of("\r\n") != std::string::npos) return fail(context, kFtpErrFileNotFound);
    TcpStream::Status s = control_.writeAll(line + "\r\n", timeout_);
    if (s != TcpStream::Status::Ok) return failStatus(context, s);
    return readReply(reply, context);
}

bool Ftp::expect(const std::string& line, int firstDigit, const char* context) {
    Reply reply;
    if (!command(line, reply, context)) return false;
    if (reply.code / 100 != firstDigit) return fail(context, kFtpErrExtended);
    return true;
}

bool Ftp::openConnection(const std::string& server, const std::string& user, const std::string& password,
                         std::uint16_t port) {
    closeConnection();
    passive_ = passiveNext_;
    const char* context = "InternetConnect";
    TcpStream::Status status;
    control_ = TcpStream::connect(server, port, timeout_, pump_, status);
    if (!control_.isOpen()) {
        if (status == TcpStream::Status::TimedOut) return fail(context, kFtpErrTimeout);
        return fail(context, status == TcpStream::Status::NotResolved ? kFtpErrNameNotResolved : kFtpErrCannotConnect);
    }
    Reply reply;
    do {
        if (!readReply(reply, context)) return false;
    } while (reply.code / 100 == 1);
    if (reply.code != 220) {
        closeConnection();
        return fail(context, kFtpErrExtended);
    }
    if (!command("USER " + user, reply, context)) return false;
    if (reply.code == 331 && !command("PASS " + password, reply, context)) return false;
    if (reply.code / 100 != 2) {
        std::string refusal = lastResponse_;
        closeConnection();
        lastResponse_ = refusal;
        return fail(context, kFtpErrExtended);
    }
    return true;
}

void Ftp::closeConnection() {
    if (control_.isOpen()) {
        // A courtesy: the server may log the session as ended cleanly.
        control_.writeAll("QUIT\r\n", std::chrono::milliseconds(1000));
        std::string line;
        control_.readLine(line, kMaxReplyLine, std::chrono::milliseconds(1000));
    }
    control_.close();
}

bool Ftp::openData(const std::string& line, const char* context, TcpStream& data, Reply& reply) {
    const std::string typeLine = type_ == TransferType::Binary ? "TYPE I" : "TYPE A";
    if (!expect(typeLine, 2, context)) return false;
    const std::string server = control_.peerAddress();
    TcpStream::Status status;
    TcpListener listener;
    if (passive_) {
        std::uint16_t port = 0;
        std::string address = server;
        if (!command(control_.isIpv6() ? "EPSV" : "PASV", reply, context)) return false;
        if (reply.code == 227) {
            if (!parsePasv(reply.text, address, port)) return fail(context, kFtpErrProtocol);
            // A data connection to a third host is refused (it would let the
            // server bounce our upload elsewhere).
            if (address != server) return fail(context, kFtpErrCannotConnect);
        } else if (reply.code == 229) {
            if (!parseEpsv(reply.text, port)) return fail(context, kFtpErrProtocol);
        } else {
            return fail(context, kFtpErrExtended);
        }
        data = TcpStream::connectNumeric(address, port, timeout_, pump_, status);
        if (!data.isOpen()) return fail(context, kFtpErrCannotConnect);
    } else {
        const std::string local = control_.localAddress();
        if (!listener.listen(local)) return fail(context, kFtpErrCannotConnect);
        std::string portLine;
        if (control_.isIpv6()) {
            portLine = "EPRT |2|" + local + "|" + std::to_string(listener.port()) + "|";
        } else {
            portLine = "PORT " + local + "," + std::to_string(listener.port() / 256) + "," +
                       std::to_string(listener.port() % 256);
            for (char& c : portLine)
                if (c == '.') c = ',';
        }
        if (!expect(portLine, 2, context)) return false;
    }
    if (!command(line, reply, context)) return false;
    if (reply.code / 100 != 1) return fail(context, kFtpErrExtended);
    if (!passive_) {
        data = listener.accept(server, timeout_, pump_, status);
        if (!data.isOpen()) return fail(context, kFtpErrTimeout);
    }
    data.setPump(pump_);
    return true;
}

bool Ftp::finishData(const char* context) {
    Reply reply;
    if (!readReply(reply, context)) return false;
    if (reply.code / 100 != 2) return fail(context, kFtpErrExtended);
    return true;
}

bool Ftp::transfer(const std::string& local, const std::string& remote, Direction direction, bool progress,
                   const char* openContext, const char* blockContext, const char* lastContext) {
    const bool ascii = type_ == TransferType::Ascii;
    if (direction == Direction::Send) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(local, ec)) return fail(openContext, kFtpErrFileNotFound);
        std::ifstream in(local, std::ios::binary);
        if (!in) return fail(openContext, kFtpErrFileAccess);
        const auto total = static_cast<std::int64_t>(std::filesystem::file_size(local, ec));
        TcpStream data;
        Reply reply;
        if (!openData("STOR " + remote, openContext, data, reply)) return false;
        std::int64_t sent = 0;
        bool lastWasCr = false;
        std::string block(kBlock, '\0');
        const std::int64_t whole = total / static_cast<std::int64_t>(kBlock);
        const std::size_t rest = static_cast<std::size_t>(total % static_cast<std::int64_t>(kBlock));
        auto sendBlock = [&](std::size_t size, const char* context) {
            block.resize(size);
            if (!in.read(block.data(), static_cast<std::streamsize>(size))) return fail(context, kFtpErrFileAccess);
            TcpStream::Status s = data.writeAll(ascii ? toNetworkText(block, lastWasCr) : block, timeout_);
            if (s != TcpStream::Status::Ok) return fail(context, s == TcpStream::Status::TimedOut
                                                                     ? kFtpErrTimeout
                                                                     : kFtpErrConnectionAborted);
            sent += static_cast<std::int64_t>(size);
            if (progress && events_) events_->fileTransferProgress(sent, total);
            return true;
        };
        for (std::int64_t i = 0; i < whole; ++i)
            if (!sendBlock(kBlock, blockContext)) return false;
        if (rest > 0 && !sendBlock(rest, lastContext)) return false;
        data.shutdownSend();
        data.close();
        return finishData(lastContext);
    }

    // The size first, for the progress; a server without SIZE still sends.
    std::int64_t total = 0;
    Reply reply;
    if (progress && command("SIZE " + remote, reply, openContext) && reply.code == 213)
        std::from_chars(reply.text.data() + 4, reply.text.data() + reply.text.size(), total);
    if (!control_.isOpen()) return false;
    TcpStream data;
    if (!openData("RETR " + remote, openContext, data, reply)) return false;
    if (total == 0) total = announcedSize(reply.text);
    std::ofstream out(local, std::ios::binary | std::ios::trunc);
    if (!out) {
        data.close();
        finishData(openContext);
        return fail(openContext, kFtpErrFileAccess);
    }
    std::int64_t received = 0;
    bool pendingCr = false;
    std::string block;
    for (;;) {
        TcpStream::Status s = data.readSome(block, kBlock, timeout_);
        if (s == TcpStream::Status::Closed) break;
        if (s != TcpStream::Status::Ok)
            return fail(blockContext, s == TcpStream::Status::TimedOut ? kFtpErrTimeout : kFtpErrConnectionAborted);
        received += static_cast<std::int64_t>(block.size());
        out << (ascii ? fromNetworkText(block, pendingCr) : block);
        if (!out) return fail(blockContext, kFtpErrFileAccess);
        if (progress && events_) events_->fileTransferProgress(received, std::max(total, received));
    }
    if (pendingCr) out << '\r';
    out.close();
    if (!out) return fail(lastContext, kFtpErrFileAccess);
    return finishData(lastContext);
}

bool Ftp::simpleFtpPutFile(const std::string& local, const std::string& remote) {
    return transfer(local, remote, Direction::Send, false, "SimpleFtpPutFile", "SimpleFtpPutFile", "SimpleFtpPutFile");
}

bool Ftp::simpleFtpGetFile(const std::string& local, const std::string& remote) {
    return transfer(local, remote, Direction::Receive, false, "SimpleFtpGetFile", "SimpleFtpGetFile",
                    "SimpleFtpGetFile");
}

bool Ftp::ftpUploadFile(std::string& local, std::string& remote) {
    local = trimmed(local);
    remote = trimmed(remote);
    if (local.empty() || remote.empty()) return false;
    return transfer(local, remote, Direction::Send, true, "FtpOpenFile:PutFile", "InternetWriteFile",
                    "InternetWriteFile2");
}

bool Ftp::ftpDownloadFile(std::string& local, std::string& remote) {
    local = trimmed(local);
    remote = trimmed(remote);
    if (local.empty() || remote.empty()) return false;
    return transfer(local, remote, Direction::Receive, true, "FtpOpenFile:GetFile", "InternetReadFile",
                    "InternetReadFile2");
}

bool Ftp::renameFtpFile(const std::string& existing, const std::string& newName) {
    Reply reply;
    if (!command("RNFR " + existing, reply, "RenameFTPFile")) return false;
    if (reply.code != 350) return fail("RenameFTPFile", kFtpErrExtended);
    return expect("RNTO " + newName, 2, "RenameFTPFile");
}

bool Ftp::createFtpDirectory(const std::string& directory) { return expect("MKD " + directory, 2, "CreateFTPDirectory"); }

bool Ftp::removeFtpDirectory(const std::string& directory) { return expect("RMD " + directory, 2, "RemoveFTPDirectory"); }

bool Ftp::deleteFtpFile(const std::string& remote) { return expect("DELE " + remote, 2, "DeleteFTPFile"); }

bool Ftp::setFtpDirectory(const std::string& directory) {
    return expect("CWD " + directory, 2, "FtpSetCurrentDirectory");
}

std::string Ftp::getFtpDirectory() {
    Reply reply;
    if (!command("PWD", reply, "FtpGetCurrentDirectory")) return {};
    if (reply.code != 257) {
        fail("FtpGetCurrentDirectory", kFtpErrExtended);
        return {};
    }
    // 257 "/a ""quoted"" name" is the current folder.
    std::size_t open = reply.text.find('"');
    if (open == std::string::npos) return trimmed(reply.text.substr(4));
    std::string path;
    for (std::size_t i = open + 1; i < reply.text.size(); ++i) {
        if (reply.text[i] == '"') {
            if (i + 1 < reply.text.size() && reply.text[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            break;
        }
        path += reply.text[i];
    }
    return path;
}

bool Ftp::listing(const std::string& filter, const char* context, DirList& out) {
    out.clear();
    TcpStream data;
    Reply reply;
    if (!openData(filter.empty() ? "LIST" : "LIST " + filter, context, data, reply)) return false;
    std::string text, chunk;
    for (;;) {
        TcpStream::Status s = data.readSome(chunk, 64 * 1024, timeout_);
        if (s == TcpStream::Status::Closed) break;
        if (s != TcpStream::Status::Ok) return fail(context, s == TcpStream::Status::TimedOut ? kFtpErrTimeout
                                                                                              : kFtpErrConnectionAborted);
        text += chunk;
        if (text.size() > kMaxListing) return fail(context, kFtpErrProtocol);
    }
    if (!finishData(context)) return false;
    const int year = currentYear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (auto item = parseListLine(std::string_view(text).substr(start, end - start), year)) out.push_back(*item);
        start = end + 1;
    }
    if (out.empty()) return fail(context, kFtpErrNoMoreFiles);
    return true;
}

std::optional<DirList> Ftp::getDirectoryListing(const std::string& filter) {
    DirList list;
    if (!listing(filter, "FtpFindFirstFile", list)) return std::nullopt;
    directory_ = list;
    return list;
}

std::int64_t Ftp::getFtpFileSize(const std::string& file) {
    DirList list;
    if (!listing(file, "FtpFindFirstFile", list)) return -1;
    return list.front().size;
}

}  // namespace vk::net
