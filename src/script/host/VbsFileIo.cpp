#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "checksum/Crc32.h"
#include "platform/FileAttributes.h"
#include "platform/FileDescriptor.h"
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
    if (platform::FileDescriptor::renameNoReplace(from, to) || errno != EXDEV) return;
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) return;
    if (fs::copy_file(from, to, fs::copy_options::none, ec)) platform::FileDescriptor::unlink(from);
}

void setAttributes(const std::string& path, std::uint32_t attributes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) raiseFile(platform::kErrFileNotFound, "File not found");
    // A link has no attributes of its own here, and following it could change
    // a file outside the folder the script treats.
    if (S_ISLNK(st.st_mode)) return;
    fs::path p(path);
    std::string parent = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    if (parent.empty()) parent = "/";
    auto dir = platform::FileDescriptor::openDirectory(parent);
    if (!dir || !platform::setFileAttributesAt(dir.get(), p.filename().string(), attributes)) raiseFile(platform::kErrPathFileAccess, "Path/File access error");
}

}  // namespace

std::int32_t VbsFileIo::getFileCrc32(const std::string& path) {
    // Read only: opening must never create the file.
    auto file = platform::FileDescriptor::open(path, O_RDONLY | O_NONBLOCK);
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) raiseFile(platform::kErrFileNotFound, "File not found");
        if (errno == EISDIR) raiseFile(platform::kErrPathFileAccess, "Path/File access error");
        raiseFile(platform::kErrPermissionDenied, "Permission denied");
    }
    struct stat st {};
    if (!file.stat(st) || !S_ISREG(st.st_mode)) raiseFile(platform::kErrPathFileAccess, "Path/File access error");
    checksum::Crc32Stream crc(pump_);
    std::vector<std::uint8_t> buffer(1 << 16);
    std::uint64_t total = 0;
    for (;;) {
        auto n = file.readSome(buffer.data(), buffer.size());
        if (n < 0) raiseFile(platform::kErrPathFileAccess, "Path/File access error");
        if (n == 0) break;
        crc.update(buffer.data(), static_cast<std::size_t>(n));
        total += static_cast<std::uint64_t>(n);
    }
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
            if (::lstat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) platform::FileDescriptor::unlink(p);
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
