#include "platform/linux/HiveFile.h"

#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/FileDescriptor.h"
#include "platform/TempFile.h"
#include "platform/Utf16.h"
#include "platform/base/Text.h"

namespace vk::platform {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

bool isStringType(std::uint32_t type) { return type == 1 || type == 2 || type == 7; }

// The registry interface keeps strings as UTF-8 with their NUL; hives keep UTF-16LE.
std::string fromHive(std::uint32_t type, const std::string& data) {
    if (!isStringType(type)) return data;
    std::string text = utf16ToUtf8(data);
    if (text.empty() || text.back() != '\0') text.push_back('\0');
    return text;
}

std::string toHive(std::uint32_t type, const std::string& data) {
    if (!isStringType(type)) return data;
    std::string text = data;
    if (text.empty() || text.back() != '\0') text.push_back('\0');
    return utf8ToUtf16le(text);
}

}  // namespace

bool hiveHeaderDirty(const std::string& path, std::string* problem) {
    FileDescriptor fd = FileDescriptor::open(path, O_RDONLY);
    unsigned char header[12];
    if (!fd || fd.readFully(header, sizeof header) != static_cast<std::ptrdiff_t>(sizeof header)) {
        if (problem) *problem = "the file is too short to be a hive";
        return false;
    }
    if (std::memcmp(header, "regf", 4) != 0) {
        if (problem) *problem = "the file is not a registry hive";
        return false;
    }
    return le32(header + 4) != le32(header + 8);
}

HiveFile::HiveFile(std::string path, bool readOnly) : path_(std::move(path)), readOnly_(readOnly) {
    std::string headerProblem;
    if (hiveHeaderDirty(path_, &headerProblem)) {
        readOnly_ = true;
        problem_ = path_ +
                   " was not closed cleanly by Windows (it was hibernated, crashed, or uses Fast Startup): it is "
                   "only read. Start Windows and shut it down fully, then try again.";
    } else if (!headerProblem.empty()) {
        problem_ = path_ + ": " + headerProblem;
        return;
    }
    if (!readOnly_ && ::access(path_.c_str(), W_OK) != 0) {
        readOnly_ = true;
        problem_ = path_ + " cannot be written (" + std::strerror(errno) + "): it is only read.";
    }
    hive_ = hivex_open(path_.c_str(), readOnly_ ? 0 : HIVEX_OPEN_WRITE);
    if (!hive_) problem_ = path_ + " cannot be read as a registry hive (" + std::strerror(errno) + ").";
}

HiveFile::~HiveFile() {
    if (hive_) hivex_close(hive_);
}

HiveFile::Node HiveFile::root() const { return hive_ ? hivex_root(hive_) : 0; }

std::optional<HiveFile::Node> HiveFile::child(Node node, std::string_view name) const {
    if (!hive_ || name.empty()) return std::nullopt;
    const std::string n(name);
    errno = 0;
    hive_node_h c = hivex_node_get_child(hive_, node, n.c_str());
    if (c == 0) return std::nullopt;
    return c;
}

std::vector<std::string> HiveFile::childNames(Node node) const {
    std::vector<std::string> names;
    if (!hive_) return names;
    Malloced<hive_node_h> children(hivex_node_children(hive_, node));
    if (!children) return names;
    for (hive_node_h* c = children.get(); *c; ++c) {
        Malloced<char> name(hivex_node_name(hive_, *c));
        if (!name) continue;
        // Names may hold NUL characters: the length says where they end.
        names.emplace_back(name.get(), hivex_node_name_len(hive_, *c));
    }
    return names;
}

std::vector<HiveFile::Value> HiveFile::values(Node node) const {
    std::vector<Value> out = storedValues(node);
    for (auto& v : out) v.data = fromHive(v.type, v.data);
    return out;
}

std::vector<HiveFile::Value> HiveFile::storedValues(Node node) const {
    std::vector<Value> out;
    if (!hive_) return out;
    Malloced<hive_value_h> values(hivex_node_values(hive_, node));
    if (!values) return out;
    for (hive_value_h* v = values.get(); *v; ++v) {
        Value value;
        Malloced<char> key(hivex_value_key(hive_, *v));
        if (!key) continue;
        value.name.assign(key.get(), hivex_value_key_len(hive_, *v));
        hive_type type;
        std::size_t len = 0;
        Malloced<char> data(hivex_value_value(hive_, *v, &type, &len));
        if (!data) continue;
        value.type = static_cast<std::uint32_t>(type);
        value.data.assign(data.get(), len);
        out.push_back(std::move(value));
    }
    return out;
}

bool HiveFile::setValue(Node node, const Value& value) {
    if (!hive_ || readOnly_) return false;
    std::string key = value.name;
    std::string data = toHive(value.type, value.data);
    hive_set_value v{key.data(), static_cast<hive_type>(value.type), data.size(), data.data()};
    if (hivex_node_set_value(hive_, node, &v, 0) != 0) return false;
    modified_ = true;
    return true;
}

bool HiveFile::deleteValue(Node node, std::string_view name) {
    if (!hive_ || readOnly_) return false;
    // hivex sets a key's values as a whole: the others are written back as they were.
    std::vector<Value> kept;
    bool found = false;
    for (auto& v : storedValues(node)) {
        if (!found && base::equalsNoCase(v.name, name)) found = true;
        else kept.push_back(std::move(v));
    }
    if (!found) return false;
    std::vector<hive_set_value> set;
    set.reserve(kept.size());
    for (auto& v : kept) set.push_back({v.name.data(), static_cast<hive_type>(v.type), v.data.size(), v.data.data()});
    if (hivex_node_set_values(hive_, node, set.size(), set.data(), 0) != 0) return false;
    modified_ = true;
    return true;
}

std::optional<HiveFile::Node> HiveFile::addChild(Node node, const std::string& name) {
    if (!hive_ || readOnly_) return std::nullopt;
    hive_node_h c = hivex_node_add_child(hive_, node, name.c_str());
    if (c == 0) return std::nullopt;
    modified_ = true;
    return c;
}

bool HiveFile::deleteChild(Node node) {
    if (!hive_ || readOnly_) return false;
    if (hivex_node_delete_child(hive_, node) != 0) return false;
    modified_ = true;
    return true;
}

bool HiveFile::commit(const std::string& backupFolder) {
    if (!modified_) return true;
    if (!hive_ || readOnly_) return false;
    if (!backedUp_) {
        if (!backUpFile(path_, backupFolder)) {
            problem_ = "no backup of " + path_ + " could be made in " + backupFolder + ": nothing was changed.";
            return false;
        }
        backedUp_ = true;
    }
    const std::string folder = std::filesystem::path(path_).parent_path().string();
    TempFile temp = createTempFile(std::filesystem::path(path_).filename().string() + ".vk-", folder);
    if (temp.fd < 0) {
        problem_ = "no temporary file could be made beside " + path_ + " (" + std::strerror(errno) + ").";
        return false;
    }
    FileDescriptor tempFd(temp.fd);
    bool ok = hivex_commit(hive_, temp.path.c_str(), 0) == 0;
    struct stat st {};
    if (ok && ::stat(path_.c_str(), &st) == 0) {
        // The hive keeps its owner and mode.
        ok = ::fchmod(tempFd.get(), st.st_mode & 07777) == 0;
        if (::fchown(tempFd.get(), st.st_uid, st.st_gid) != 0 && ::geteuid() == 0) ok = false;
    }
    ok = ok && ::fsync(tempFd.get()) == 0 && ::rename(temp.path.c_str(), path_.c_str()) == 0;
    if (!ok) {
        problem_ = "the changes could not be written to " + path_ + " (" + std::strerror(errno) + ").";
        ::unlink(temp.path.c_str());
        return false;
    }
    modified_ = false;
    return true;
}

}  // namespace vk::platform
