#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "checksum/Crc32.h"
#include "platform/FileAttributes.h"
#include "platform/RuntimeError.h"
#include "platform/SpecialFolders.h"
#include "script/IniFile.h"
#include "script/SpecialPaths.h"
#include "script/host/HostObjects.h"
#include "script/vbs/Text.h"

namespace vk::script {

using vbs::CallArgs;
using vbs::InvokeKind;
using vbs::Variant;
using vbs::equalsNoCase;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void raiseFile(long number, const char* text) {
    throw vbs::ScriptError(static_cast<std::int32_t>(number), text);
}

void copyFileReplacing(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) return;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
}

// MoveFile refuses an existing destination; across file systems it copies and deletes.
void moveFile(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0 || ::lstat(to.c_str(), &st) == 0) return;
    if (::rename(from.c_str(), to.c_str()) == 0 || errno != EXDEV) return;
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) return;
    if (fs::copy_file(from, to, fs::copy_options::none, ec)) ::unlink(from.c_str());
}

void setAttributes(const std::string& path, std::uint32_t attributes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) raiseFile(platform::kErrFileNotFound, "File not found");
    fs::path p(path);
    std::string parent = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    if (parent.empty()) parent = "/";
    int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = dir >= 0 && platform::setFileAttributesAt(dir, p.filename().string(), attributes);
    if (dir >= 0) ::close(dir);
    if (!ok) raiseFile(platform::kErrPathFileAccess, "Path/File access error");
}

}  // namespace

std::int32_t VbsFileIo::getFileCrc32(const std::string& path) {
    // Read only: opening must never create the file.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) raiseFile(platform::kErrFileNotFound, "File not found");
        if (errno == EISDIR) raiseFile(platform::kErrPathFileAccess, "Path/File access error");
        raiseFile(platform::kErrPermissionDenied, "Permission denied");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        raiseFile(platform::kErrPathFileAccess, "Path/File access error");
    }
    checksum::Crc32Stream crc(pump_);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::uint64_t total = 0;
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            raiseFile(platform::kErrPathFileAccess, "Path/File access error");
        }
        if (n == 0) break;
        crc.update(buffer.data(), static_cast<std::size_t>(n));
        total += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    // The whole-file buffer of an empty file has no elements.
    if (total == 0) raiseFile(platform::kErrSubscriptOutOfRange, "Subscript out of range");
    return crc.value();
}

Variant VbsFileIo::invoke(std::string_view name, InvokeKind, CallArgs args) {
    try {
        if (equalsNoCase(name, "CopyFile")) {
            copyFileReplacing(hostargs::path(args, 0), hostargs::path(args, 1));
            return Variant();
        }
        if (equalsNoCase(name, "MoveFile")) {
            moveFile(hostargs::path(args, 0), hostargs::path(args, 1));
            return Variant();
        }
        if (equalsNoCase(name, "DeleteFile")) {
            std::string p = hostargs::path(args, 0);
            struct stat st {};
            if (::lstat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(p.c_str());
            return Variant();
        }
        if (equalsNoCase(name, "SetAttributes")) {
            std::string p = hostargs::path(args, 0);
            setAttributes(p, static_cast<std::uint32_t>(vbs::toLong(hostargs::required(args, 1))));
            return Variant();
        }
        if (equalsNoCase(name, "GetINI"))
            return Variant::fromUtf8(getIniString(hostargs::path(args, 0), hostargs::text(args, 1),
                                                  hostargs::text(args, 2), hostargs::text(args, 3)));
        if (equalsNoCase(name, "WriteINI")) {
            writeIniString(hostargs::path(args, 0), hostargs::text(args, 1), hostargs::text(args, 2),
                           hostargs::text(args, 3));
            return Variant();
        }
        if (equalsNoCase(name, "GetFileCRC32")) return Variant(getFileCrc32(hostargs::path(args, 0)));
        if (equalsNoCase(name, "WindowsDirectory")) return Variant::fromUtf8(platform::windowsDirectory());
        if (equalsNoCase(name, "SystemDirectory")) return Variant::fromUtf8(platform::systemDirectory());
        if (equalsNoCase(name, "ShellFolders"))
            return Variant::fromUtf8(getSpecialFolder(vbs::toInteger(hostargs::required(args, 0))));
    } catch (const platform::RuntimeError& e) {
        throw vbs::ScriptError(static_cast<std::int32_t>(e.number()), e.description());
    }
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

}  // namespace vk::script
