#include "script/host/FileSystemObject.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>

#include "platform/AtomicFile.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"
#include "script/ScriptFileOps.h"
#include "script/host/HostObjects.h"
#include "script/vbs/DateTime.h"
#include "script/vbs/Errors.h"
#include "script/vbs/Text.h"

namespace vk::script {

using vbs::CallArgs;
using vbs::InvokeKind;
using vbs::Ref;
using vbs::Variant;
using vbs::equalsNoCase;
namespace fs = std::filesystem;

namespace {

// A text file read whole must not exhaust memory.
constexpr std::size_t kMaxTextFile = 64u * 1024u * 1024u;

[[noreturn]] void fail(std::int32_t number) { throw vbs::ScriptError(number); }

Variant str(const std::string& utf8) { return Variant::fromUtf8(utf8); }

bool optBool(CallArgs args, std::size_t i, bool fallback) {
    return args.has(i) ? vbs::toBool(args[i]) : fallback;
}

std::string nameOf(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string parentOf(std::string p) {
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
    auto slash = p.find_last_of("/\\");
    if (slash == std::string::npos) return {};
    std::string parent = p.substr(0, slash);
    while (parent.size() > 1 && (parent.back() == '/' || parent.back() == '\\')) parent.pop_back();
    if (parent.empty()) return p.substr(0, 1);
    if (parent.size() == 2 && parent[1] == ':') parent += p[slash];
    return parent;
}

bool lexists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool isDir(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Drops a trailing separator so "x/" names the folder x.
std::string folderArg(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

double toSerial(std::time_t t) {
    std::tm tm {};
    localtime_r(&t, &tm);
    double day = 0;
    vbs::dateFromParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, day);
    double frac = (tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec) / 86400.0;
    return day >= 0 ? day + frac : day - frac;
}

std::int32_t attributesOf(const std::string& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return 0;
    std::int32_t a = 0;
    if (!(st.st_mode & S_IWUSR)) a |= 1;
    if (nameOf(p).starts_with('.')) a |= 2;
    if (S_ISDIR(st.st_mode)) a |= 16;
    else a |= 32;
    if (S_ISLNK(st.st_mode)) a |= 1024;
    return a;
}

void copyOneFile(const std::string& from, std::string to, bool overwrite) {
    if (to.ends_with('/') || isDir(to)) to = folderArg(to) + "/" + nameOf(from);
    if (lexists(to) && !overwrite) fail(vbs::err::FileAlreadyExists);
    std::string parent = parentOf(to);
    if (!parent.empty() && !isDir(parent)) fail(vbs::err::PathNotFound);
    std::error_code ec;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) fail(vbs::err::PermissionDenied);
}

void moveOne(const std::string& from, std::string to) {
    if (to.ends_with('/') || isDir(to)) to = folderArg(to) + "/" + nameOf(from);
    if (lexists(to)) fail(vbs::err::FileAlreadyExists);
    std::string parent = parentOf(to);
    if (!parent.empty() && !isDir(parent)) fail(vbs::err::PathNotFound);
    if (platform::FileDescriptor::renameNoReplace(from, to)) return;
    if (errno == EEXIST) fail(vbs::err::FileAlreadyExists);
    if (errno != EXDEV) fail(vbs::err::PermissionDenied);
    std::error_code ec;
    if (!fs::copy_file(from, to, fs::copy_options::none, ec)) fail(vbs::err::PermissionDenied);
    platform::FileDescriptor::unlink(from);
}

// Files (or with folders true, sub-folders) matching the last component's wildcards.
std::vector<std::string> matching(const std::string& pattern, bool folders) {
    std::vector<std::string> out;
    std::string name = nameOf(pattern);
    if (name.find_first_of("*?") == std::string::npos) {
        if (folders ? isDir(pattern) : platform::FileSystem().fileExists(pattern)) out.push_back(pattern);
        return out;
    }
    std::string parent = parentOf(pattern);
    if (parent.empty()) parent = ".";
    auto folder = platform::FileSystem().getFolder(parent);
    if (!folder) return out;
    if (folders) {
        for (const auto& sub : folder->subFolders)
            if (::fnmatch(name.c_str(), nameOf(sub).c_str(), FNM_CASEFOLD) == 0) out.push_back(sub);
    } else {
        for (const auto& f : folder->files)
            if (::fnmatch(name.c_str(), nameOf(f.path).c_str(), FNM_CASEFOLD) == 0) out.push_back(f.path);
    }
    return out;
}

void deleteFolderTree(const std::string& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) fail(vbs::err::PathNotFound);
    std::error_code ec;
    // A link to a folder goes itself; remove_all never follows links inside.
    if (S_ISLNK(st.st_mode)) {
        if (!platform::FileDescriptor::unlink(p)) fail(vbs::err::PermissionDenied);
        return;
    }
    fs::remove_all(p, ec);
    if (ec) fail(vbs::err::PermissionDenied);
}

class FolderObject;
Ref<FolderObject> makeFolder(const std::string& path);

class FileObject final : public vbs::Object {
public:
    explicit FileObject(std::string path) : path_(std::move(path)) {}
    std::string typeName() const override { return "File"; }
    Variant invoke(std::string_view name, InvokeKind, CallArgs args) override;

private:
    std::string path_;
};

// A collection of items keyed by name; snapshot of when it was asked for.
class Collection final : public vbs::Object {
public:
    Collection(std::string type, std::vector<std::string> keys, std::vector<Variant> items)
        : type_(std::move(type)), keys_(std::move(keys)), items_(std::move(items)) {}
    std::string typeName() const override { return type_; }
    Variant invoke(std::string_view name, InvokeKind, CallArgs args) override {
        if (equalsNoCase(name, "Count")) return Variant(static_cast<std::int32_t>(items_.size()));
        if (name.empty() || equalsNoCase(name, "Item")) {
            const Variant& key = hostargs::required(args, 0);
            std::string k = vbs::toUtf8(key);
            for (std::size_t i = 0; i < keys_.size(); ++i)
                if (equalsNoCase(keys_[i], k)) return items_[i];
            fail(vbs::err::PathNotFound);
        }
        throw vbs::ScriptError(vbs::err::NoSuchMember);
    }
    bool enumerate(std::vector<Variant>& items) override {
        items = items_;
        return true;
    }

private:
    std::string type_;
    std::vector<std::string> keys_;
    std::vector<Variant> items_;
};

class FolderObject final : public vbs::Object {
public:
    explicit FolderObject(std::string path) : path_(std::move(path)) {}
    std::string typeName() const override { return "Folder"; }
    Variant invoke(std::string_view name, InvokeKind, CallArgs) override {
        if (name.empty() || equalsNoCase(name, "Path")) return str(path_);
        if (equalsNoCase(name, "Name")) return str(nameOf(path_));
        if (equalsNoCase(name, "Attributes")) return Variant(attributesOf(path_));
        if (equalsNoCase(name, "IsRootFolder")) return Variant(path_ == "/");
        if (equalsNoCase(name, "ParentFolder")) {
            std::string parent = parentOf(path_);
            if (parent.empty() || parent == path_) return Variant::nothing();
            return Variant(makeFolder(parent));
        }
        if (equalsNoCase(name, "DateLastModified")) {
            struct stat st {};
            if (::stat(path_.c_str(), &st) != 0) fail(vbs::err::PathNotFound);
            return Variant::date(toSerial(st.st_mtime));
        }
        if (equalsNoCase(name, "Files") || equalsNoCase(name, "SubFolders")) {
            bool files = equalsNoCase(name, "Files");
            auto folder = platform::FileSystem().getFolder(path_);
            if (!folder) fail(vbs::err::PathNotFound);
            std::vector<std::string> keys;
            std::vector<Variant> items;
            if (files) {
                for (const auto& f : folder->files) {
                    keys.push_back(nameOf(f.path));
                    items.emplace_back(vbs::makeRef<FileObject>(f.path));
                }
            } else {
                for (const auto& sub : folder->subFolders) {
                    keys.push_back(nameOf(sub));
                    items.emplace_back(makeFolder(sub));
                }
            }
            return Variant(vbs::makeRef<Collection>(files ? "Files" : "Folders", std::move(keys), std::move(items)));
        }
        if (equalsNoCase(name, "Delete")) {
            if (!isDir(path_)) fail(vbs::err::PathNotFound);
            deleteFolderTree(path_);
            return Variant();
        }
        throw vbs::ScriptError(vbs::err::NoSuchMember);
    }

private:
    std::string path_;
};

Ref<FolderObject> makeFolder(const std::string& path) { return vbs::makeRef<FolderObject>(path); }

Variant FileObject::invoke(std::string_view name, InvokeKind, CallArgs args) {
    if (name.empty() || equalsNoCase(name, "Path")) return str(path_);
    if (equalsNoCase(name, "Name")) return str(nameOf(path_));
    if (equalsNoCase(name, "Attributes")) return Variant(attributesOf(path_));
    if (equalsNoCase(name, "Size") || equalsNoCase(name, "DateLastModified")) {
        auto info = platform::FileSystem().getFile(path_);
        if (!info) fail(vbs::err::FileNotFound);
        if (equalsNoCase(name, "Size")) return Variant(static_cast<double>(info->size));
        return Variant::date(toSerial(info->dateLastModified));
    }
    if (equalsNoCase(name, "ParentFolder")) {
        std::string parent = parentOf(path_);
        return Variant(makeFolder(parent.empty() ? std::string(".") : parent));
    }
    if (equalsNoCase(name, "Delete")) {
        if (!lexists(path_)) fail(vbs::err::FileNotFound);
        if (!clearAttributesAndDelete(path_)) fail(vbs::err::PermissionDenied);
        return Variant();
    }
    if (equalsNoCase(name, "Copy")) {
        if (!lexists(path_)) fail(vbs::err::FileNotFound);
        copyOneFile(path_, hostargs::path(args, 0), optBool(args, 1, true));
        return Variant();
    }
    if (equalsNoCase(name, "Move")) {
        if (!lexists(path_)) fail(vbs::err::FileNotFound);
        std::string to = hostargs::path(args, 0);
        if (to.ends_with('/') || isDir(to)) to = folderArg(to) + "/" + nameOf(path_);
        moveOne(path_, to);
        path_ = to;
        return Variant();
    }
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

enum class Mode { Read = 1, Write = 2, Append = 8 };

// Text as Windows-1252 bytes: each byte one character.
class TextStream final : public vbs::Object {
public:
    TextStream(Mode mode, std::string text, platform::FileDescriptor fd)
        : mode_(mode), text_(std::move(text)), fd_(std::move(fd)) {}
    ~TextStream() override { close(); }
    std::string typeName() const override { return "TextStream"; }

    Variant invoke(std::string_view name, InvokeKind, CallArgs args) override {
        if (equalsNoCase(name, "Close")) {
            close();
            return Variant();
        }
        if (equalsNoCase(name, "AtEndOfStream")) {
            if (mode_ != Mode::Read) fail(vbs::err::BadFileMode);
            return Variant(pos_ >= text_.size());
        }
        if (equalsNoCase(name, "AtEndOfLine")) {
            if (mode_ != Mode::Read) fail(vbs::err::BadFileMode);
            return Variant(pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r');
        }
        if (equalsNoCase(name, "Line")) return Variant(line_);
        if (equalsNoCase(name, "ReadLine")) {
            readable();
            std::size_t end = text_.find('\n', pos_);
            std::size_t next = end == std::string::npos ? text_.size() : end + 1;
            if (end == std::string::npos) end = text_.size();
            std::size_t stop = end;
            if (stop > pos_ && text_[stop - 1] == '\r') --stop;
            Variant out(decode(pos_, stop));
            pos_ = next;
            ++line_;
            return out;
        }
        if (equalsNoCase(name, "ReadAll")) {
            readable();
            Variant out(decode(pos_, text_.size()));
            pos_ = text_.size();
            return out;
        }
        if (equalsNoCase(name, "Read")) {
            std::int32_t n = vbs::toLong(hostargs::required(args, 0));
            if (n < 0) throw vbs::ScriptError(vbs::err::InvalidCall);
            readable();
            std::size_t end = std::min(text_.size(), pos_ + static_cast<std::size_t>(n));
            Variant out(decode(pos_, end));
            pos_ = end;
            return out;
        }
        if (equalsNoCase(name, "Skip")) {
            std::int32_t n = vbs::toLong(hostargs::required(args, 0));
            if (mode_ != Mode::Read) fail(vbs::err::BadFileMode);
            pos_ = std::min(text_.size(), pos_ + static_cast<std::size_t>(std::max(0, n)));
            return Variant();
        }
        if (equalsNoCase(name, "SkipLine")) {
            readable();
            std::size_t end = text_.find('\n', pos_);
            pos_ = end == std::string::npos ? text_.size() : end + 1;
            ++line_;
            return Variant();
        }
        if (equalsNoCase(name, "Write") || equalsNoCase(name, "WriteLine")) {
            if (!fd_ || mode_ == Mode::Read) fail(vbs::err::BadFileMode);
            std::u16string s = args.has(0) ? vbs::toStr(args[0]) : std::u16string();
            if (equalsNoCase(name, "WriteLine")) s += u"\r\n";
            write(s);
            return Variant();
        }
        if (equalsNoCase(name, "WriteBlankLines")) {
            if (!fd_ || mode_ == Mode::Read) fail(vbs::err::BadFileMode);
            std::int32_t n = vbs::toLong(hostargs::required(args, 0));
            std::u16string s;
            for (std::int32_t i = 0; i < n && i < 1000000; ++i) s += u"\r\n";
            write(s);
            return Variant();
        }
        throw vbs::ScriptError(vbs::err::NoSuchMember);
    }

private:
    void readable() {
        if (mode_ != Mode::Read || closed_) fail(vbs::err::BadFileMode);
        if (pos_ >= text_.size()) fail(vbs::err::InputPastEndOfFile);
    }
    std::u16string decode(std::size_t from, std::size_t to) const {
        std::u16string out;
        out.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) out.push_back(vbs::cp1252ToUnicode(static_cast<unsigned char>(text_[i])));
        return out;
    }
    void write(const std::u16string& s) {
        std::string bytes;
        bytes.reserve(s.size());
        for (char16_t c : s) {
            auto b = vbs::unicodeToCp1252(c);
            bytes.push_back(b ? static_cast<char>(*b) : '?');
        }
        if (!fd_.writeAll(bytes.data(), bytes.size())) fail(vbs::err::PermissionDenied);
    }
    void close() {
        closed_ = true;
        fd_.reset();
    }

    Mode mode_;
    std::string text_;
    std::size_t pos_ = 0;
    std::int32_t line_ = 1;
    platform::FileDescriptor fd_;
    bool closed_ = false;
};

Variant openText(const std::string& path, Mode mode, bool create, bool overwrite) {
    if (path.empty() || isDir(path)) fail(vbs::err::PermissionDenied);
    std::string parent = parentOf(path);
    bool exists = lexists(path);
    if (!exists && !create) fail(vbs::err::FileNotFound);
    if (!exists && !parent.empty() && !isDir(parent)) fail(vbs::err::PathNotFound);
    if (mode == Mode::Read) {
        if (!exists) {
            if (!platform::FileDescriptor::open(path, O_WRONLY | O_CREAT)) fail(vbs::err::PermissionDenied);
        }
        std::string text;
        int rc = platform::readWholeFile(path, text, kMaxTextFile);
        if (rc == ENOENT) fail(vbs::err::FileNotFound);
        if (rc != 0) fail(vbs::err::PermissionDenied);
        return Variant(vbs::makeRef<TextStream>(mode, std::move(text), platform::FileDescriptor()));
    }
    if (exists && !overwrite) fail(vbs::err::FileAlreadyExists);
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (mode == Mode::Append ? O_APPEND : O_TRUNC);
    // A final link is written through, as Windows would; only the open refuses when it dangles.
    if (exists) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) flags &= ~O_NOFOLLOW;
    }
    auto fd = platform::FileDescriptor::open(path, flags);
    if (!fd) fail(errno == ENOENT || errno == ENOTDIR ? vbs::err::PathNotFound : vbs::err::PermissionDenied);
    return Variant(vbs::makeRef<TextStream>(mode, std::string(), std::move(fd)));
}

class DriveObject final : public vbs::Object {
public:
    explicit DriveObject(platform::Drive drive) : drive_(std::move(drive)) {}
    std::string typeName() const override { return "Drive"; }
    Variant invoke(std::string_view name, InvokeKind, CallArgs) override {
        if (name.empty() || equalsNoCase(name, "Path") || equalsNoCase(name, "DriveLetter")) return str(drive_.path);
        if (equalsNoCase(name, "DriveType")) return Variant(static_cast<std::int32_t>(drive_.type));
        if (equalsNoCase(name, "IsReady")) return Variant(drive_.isReady);
        if (equalsNoCase(name, "RootFolder")) return Variant(makeFolder(drive_.path));
        throw vbs::ScriptError(vbs::err::NoSuchMember);
    }

private:
    platform::Drive drive_;
};

Variant drivesCollection() {
    std::vector<std::string> keys;
    std::vector<Variant> items;
    for (auto& d : platform::FileSystem().drives()) {
        keys.push_back(d.path);
        items.emplace_back(vbs::makeRef<DriveObject>(d));
    }
    return Variant(vbs::makeRef<Collection>("Drives", std::move(keys), std::move(items)));
}

std::string buildPath(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    if (name.empty()) return base;
    bool baseSep = base.back() == '/' || base.back() == '\\';
    bool nameSep = name.front() == '/' || name.front() == '\\';
    if (baseSep && nameSep) return base + name.substr(1);
    if (baseSep || nameSep) return base + name;
    char sep = base.find('/') != std::string::npos && base.find('\\') == std::string::npos ? '/' : '\\';
    return base + sep + name;
}

std::string tempName() {
    static std::mt19937 gen{std::random_device{}()};
    char buf[16];
    std::snprintf(buf, sizeof buf, "rad%05X.tmp", static_cast<unsigned>(gen() & 0xFFFFF));
    return buf;
}

}  // namespace

Variant FileSystemObject::invoke(std::string_view name, InvokeKind, CallArgs args) {
    platform::FileSystem fsys;
    if (equalsNoCase(name, "FileExists")) return Variant(fsys.fileExists(hostargs::path(args, 0)));
    if (equalsNoCase(name, "FolderExists")) return Variant(fsys.folderExists(folderArg(hostargs::path(args, 0))));
    if (equalsNoCase(name, "DriveExists")) return Variant(fsys.driveExists(folderArg(hostargs::path(args, 0))));
    if (equalsNoCase(name, "GetFile")) {
        std::string p = hostargs::path(args, 0);
        if (!fsys.fileExists(p)) fail(vbs::err::FileNotFound);
        return Variant(vbs::makeRef<FileObject>(p));
    }
    if (equalsNoCase(name, "GetFolder")) {
        std::string p = folderArg(hostargs::path(args, 0));
        if (!fsys.folderExists(p)) fail(vbs::err::PathNotFound);
        return Variant(makeFolder(p));
    }
    if (equalsNoCase(name, "CreateFolder")) {
        std::string p = folderArg(hostargs::path(args, 0));
        if (lexists(p)) fail(vbs::err::FileAlreadyExists);
        std::string parent = parentOf(p);
        if (!parent.empty() && !isDir(parent)) fail(vbs::err::PathNotFound);
        if (!fsys.createFolder(p)) fail(vbs::err::PermissionDenied);
        return Variant(makeFolder(p));
    }
    if (equalsNoCase(name, "DeleteFile")) {
        auto files = matching(hostargs::path(args, 0), false);
        if (files.empty()) fail(vbs::err::FileNotFound);
        for (const auto& f : files)
            if (!clearAttributesAndDelete(f)) fail(vbs::err::PermissionDenied);
        return Variant();
    }
    if (equalsNoCase(name, "DeleteFolder")) {
        auto folders = matching(folderArg(hostargs::path(args, 0)), true);
        if (folders.empty()) fail(vbs::err::PathNotFound);
        for (const auto& f : folders) deleteFolderTree(f);
        return Variant();
    }
    if (equalsNoCase(name, "CopyFile")) {
        auto files = matching(hostargs::path(args, 0), false);
        std::string to = hostargs::path(args, 1);
        bool overwrite = optBool(args, 2, true);
        if (files.empty()) fail(vbs::err::FileNotFound);
        for (const auto& f : files) copyOneFile(f, files.size() > 1 ? folderArg(to) + "/" : to, overwrite);
        return Variant();
    }
    if (equalsNoCase(name, "MoveFile")) {
        auto files = matching(hostargs::path(args, 0), false);
        std::string to = hostargs::path(args, 1);
        if (files.empty()) fail(vbs::err::FileNotFound);
        for (const auto& f : files) moveOne(f, files.size() > 1 ? folderArg(to) + "/" : to);
        return Variant();
    }
    if (equalsNoCase(name, "GetExtensionName")) return str(platform::FileSystem::getExtensionName(hostargs::text(args, 0)));
    if (equalsNoCase(name, "GetBaseName")) return str(platform::FileSystem::getBaseName(hostargs::text(args, 0)));
    if (equalsNoCase(name, "GetFileName")) return str(platform::FileSystem::getFileName(hostargs::text(args, 0)));
    if (equalsNoCase(name, "GetParentFolderName")) return str(parentOf(hostargs::text(args, 0)));
    if (equalsNoCase(name, "BuildPath")) return str(buildPath(hostargs::text(args, 0), hostargs::text(args, 1)));
    if (equalsNoCase(name, "GetAbsolutePathName")) {
        std::error_code ec;
        auto abs = fs::absolute(hostargs::path(args, 0), ec);
        return str(ec ? hostargs::path(args, 0) : abs.lexically_normal().string());
    }
    if (equalsNoCase(name, "GetSpecialFolder")) {
        std::int32_t which = vbs::toLong(hostargs::required(args, 0));
        std::string p = which == 0   ? platform::windowsDirectory()
                        : which == 1 ? platform::systemDirectory()
                        : which == 2 ? platform::tempFolder()
                                     : throw vbs::ScriptError(vbs::err::InvalidCall);
        if (p.empty()) fail(vbs::err::PathNotFound);
        return Variant(makeFolder(p));
    }
    if (equalsNoCase(name, "GetTempName")) return str(tempName());
    if (equalsNoCase(name, "OpenTextFile")) {
        std::string p = hostargs::path(args, 0);
        std::int32_t mode = args.has(1) ? vbs::toLong(args[1]) : 1;
        if (mode != 1 && mode != 2 && mode != 8) throw vbs::ScriptError(vbs::err::InvalidCall);
        return openText(p, static_cast<Mode>(mode), optBool(args, 2, false), true);
    }
    if (equalsNoCase(name, "CreateTextFile")) {
        return openText(hostargs::path(args, 0), Mode::Write, true, optBool(args, 1, true));
    }
    if (equalsNoCase(name, "Drives")) return drivesCollection();
    if (equalsNoCase(name, "GetDrive")) {
        std::string p = folderArg(hostargs::path(args, 0));
        for (auto& d : fsys.drives())
            if (d.path == p) return Variant(vbs::makeRef<DriveObject>(d));
        throw vbs::ScriptError(vbs::err::DeviceUnavailable, "Device unavailable");
    }
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

}  // namespace vk::script
