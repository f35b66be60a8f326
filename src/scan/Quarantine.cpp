#include "scan/Quarantine.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "platform/AtomicFile.h"
#include "platform/FolderListing.h"
#include "scan/Rc4.h"

namespace vk::scan {
namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr const char* kDataSuffix = ".data";
constexpr const char* kInfoSuffix = ".info";

std::string randomHex(std::size_t bytes) {
    std::string raw(bytes, '\0');
    std::size_t got = 0;
    while (got < bytes) {
        ssize_t n = ::getrandom(raw.data() + got, bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : raw) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    return hex;
}

bool isId(const std::string& id) {
    return !id.empty() && id.size() <= 64 &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Every chunk has its own key, so a chunk can be turned back on its own.
void transformChunk(std::uint8_t* data, std::size_t size, const std::string& key, std::uint64_t chunk) {
    Rc4 rc4;
    rc4.encryptByte({data, size}, key + ":" + std::to_string(chunk));
}

// Record values are one line: bytes below 0x20, DEL and '%' as %XX.
std::string escapeValue(const std::string& value) {
    std::string out;
    static const char* digits = "0123456789ABCDEF";
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7f || c == '%') {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string unescapeValue(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            out.push_back(static_cast<char>(std::strtoul(value.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

std::string errorText(int e) { return std::strerror(e); }

struct Copied {
    std::uint64_t bytes = 0;
    int readError = 0;
    int writeError = 0;
};

// All of in, from its start, to out, each chunk transformed on the way.
Copied copyTransformed(const platform::FileDescriptor& in, const platform::FileDescriptor& out,
                       const std::string& key) {
    Copied result;
    std::vector<std::uint8_t> buffer(kChunk);
    for (std::uint64_t chunk = 0;; ++chunk) {
        std::ptrdiff_t n = in.readFullyAt(buffer.data(), kChunk, result.bytes);
        if (n < 0) {
            result.readError = errno;
            break;
        }
        if (n == 0) break;
        transformChunk(buffer.data(), static_cast<std::size_t>(n), key, chunk);
        if (!out.writeAll(buffer.data(), static_cast<std::size_t>(n))) {
            result.writeError = errno;
            break;
        }
        result.bytes += static_cast<std::uint64_t>(n);
        if (static_cast<std::size_t>(n) < kChunk) break;
    }
    return result;
}

}  // namespace

Quarantine::Quarantine(std::string folder, std::uint64_t sizeLimit)
    : folder_(std::move(folder)), sizeLimit_(sizeLimit) {}

std::string Quarantine::defaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && *data == '/') base = data;
    else if (const char* home = std::getenv("HOME")) base = std::string(home) + "/.local/share";
    else base = "/tmp";
    return base + "/vandrelkast/quarantine";
}

Quarantine::Stored Quarantine::store(const platform::FileDescriptor& file, const std::string& path,
                                     const std::string& detection) {
    struct stat st;
    if (!file.stat(st) || !S_ISREG(st.st_mode)) return {"", "not a regular file"};
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > sizeLimit_) return {"", "larger than the quarantine's size limit"};

    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) return {"", folder_ + ": " + ec.message()};
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ec);
    platform::FileDescriptor dir = platform::FileDescriptor::openDirectory(folder_);
    if (!dir.valid()) return {"", folder_ + ": " + errorText(errno)};

    std::string id = randomHex(8);
    std::string key = randomHex(16);
    if (id.size() != 16 || key.size() != 32) return {"", "no random numbers for a name"};
    const std::string dataName = id + kDataSuffix;
    platform::FileDescriptor data = dir.openAt(dataName, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (!data.valid()) return {"", folder_ + ": " + errorText(errno)};

    Copied copied = copyTransformed(file, data, key);
    std::uint64_t offset = copied.bytes;
    std::string failure;
    if (copied.readError) failure = "cannot be read (" + errorText(copied.readError) + ")";
    else if (copied.writeError) failure = folder_ + ": " + errorText(copied.writeError);
    if (failure.empty() && !data.sync()) failure = folder_ + ": " + errorText(errno);
    if (failure.empty()) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::ostringstream info;
        // Absolute, so that a restore finds the place from any working folder.
        std::string where = path;
        if (!where.empty() && where.front() != '/') {
            auto absolute = std::filesystem::absolute(path, ec);
            if (!ec) where = absolute.string();
        }
        info << "Path=" << escapeValue(where) << "\n"
             << "Detection=" << escapeValue(detection) << "\n"
             << "Time=" << static_cast<long long>(now.tv_sec) << "\n"
             << "Nanoseconds=" << now.tv_nsec << "\n"
             << "Owner=" << st.st_uid << "\n"
             << "Group=" << st.st_gid << "\n"
             << "Mode=" << (st.st_mode & 07777) << "\n"
             << "Size=" << offset << "\n"
             << "Key=" << key << "\n";
        int e = platform::atomicReplaceFile(folder_ + "/" + id + kInfoSuffix, info.str(), 0600);
        if (e != 0) failure = folder_ + ": " + errorText(e);
    }
    if (!failure.empty()) {
        dir.unlinkAt(dataName);
        return {"", failure};
    }
    enforceLimit(id);
    return {id, ""};
}

bool Quarantine::readItem(const std::string& id, Item& item, std::string& key) const {
    if (!isId(id)) return false;
    std::string text;
    if (platform::readWholeFile(folder_ + "/" + id + kInfoSuffix, text, 1 << 20) != 0) return false;
    item = Item{};
    item.id = id;
    std::istringstream lines(text);
    std::string line;
    bool havePath = false;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string name = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (name == "Path") {
            item.path = unescapeValue(value);
            havePath = true;
        } else if (name == "Detection") {
            item.detection = unescapeValue(value);
        } else if (name == "Time") {
            item.time = std::strtoll(value.c_str(), nullptr, 10);
        } else if (name == "Nanoseconds") {
            item.nanoseconds = std::strtoll(value.c_str(), nullptr, 10);
        } else if (name == "Owner") {
            item.owner = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (name == "Group") {
            item.group = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (name == "Mode") {
            item.mode = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (name == "Size") {
            item.size = std::strtoull(value.c_str(), nullptr, 10);
        } else if (name == "Key") {
            key = value;
        }
    }
    return havePath && !key.empty();
}

std::vector<Quarantine::Item> Quarantine::list() const {
    std::vector<Item> items;
    platform::FileDescriptor dir = platform::FileDescriptor::openDirectory(folder_);
    if (!dir.valid()) return items;
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(dir, entries);
    const std::string suffix = kInfoSuffix;
    for (const auto& e : entries) {
        if (e.kind != platform::FolderEntry::Kind::File || e.name.size() <= suffix.size() ||
            e.name.compare(e.name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        Item item;
        std::string key;
        if (readItem(e.name.substr(0, e.name.size() - suffix.size()), item, key)) items.push_back(std::move(item));
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) {
                  return std::tie(a.time, a.nanoseconds, a.id) < std::tie(b.time, b.nanoseconds, b.id);
              });
    return items;
}

std::string Quarantine::restore(const std::string& id) {
    Item item;
    std::string key;
    if (!readItem(id, item, key)) return "no quarantined file " + id;
    platform::FileDescriptor dir = platform::FileDescriptor::openDirectory(folder_);
    platform::FileDescriptor data = dir.valid() ? dir.openAt(id + kDataSuffix, O_RDONLY) : platform::FileDescriptor();
    if (!data.valid()) return folder_ + "/" + id + kDataSuffix + ": " + errorText(errno);

    std::filesystem::path target(item.path);
    platform::FileDescriptor parent = platform::FileDescriptor::openDirectory(target.parent_path().string());
    if (!parent.valid()) return target.parent_path().string() + ": " + errorText(errno);
    const std::string name = target.filename().string();
    platform::FileDescriptor out = parent.openAt(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (!out.valid()) return item.path + ": " + (errno == EEXIST ? std::string("a file of that name is there now")
                                                                 : errorText(errno));
    Copied copied = copyTransformed(data, out, key);
    std::uint64_t offset = copied.bytes;
    std::string failure;
    if (copied.readError) failure = folder_ + ": " + errorText(copied.readError);
    else if (copied.writeError) failure = item.path + ": " + errorText(copied.writeError);
    if (failure.empty() && offset != item.size) failure = folder_ + ": the stored copy is incomplete";
    // The owner first: changing it clears set-id bits, which the mode then puts back only as plain bits.
    if (failure.empty() && ::fchown(out.get(), item.owner, item.group) != 0 &&
        (::geteuid() == 0 || item.owner != ::geteuid()))
        failure = item.path + ": the owner cannot be set back (" + errorText(errno) + ")";
    if (failure.empty() && ::fchmod(out.get(), item.mode & 0777) != 0) failure = item.path + ": " + errorText(errno);
    if (failure.empty() && !out.sync()) failure = item.path + ": " + errorText(errno);
    if (!failure.empty()) {
        if (out.isSameFileAt(parent, name)) parent.unlinkAt(name);
        return failure;
    }
    return remove(id);
}

std::string Quarantine::remove(const std::string& id) {
    if (!isId(id)) return "no quarantined file " + id;
    platform::FileDescriptor dir = platform::FileDescriptor::openDirectory(folder_);
    if (!dir.valid()) return folder_ + ": " + errorText(errno);
    // The record goes first: without it the data is never listed again.
    int e = dir.unlinkAt(id + kInfoSuffix) ? 0 : errno;
    if (e != 0) return e == ENOENT ? "no quarantined file " + id : folder_ + ": " + errorText(e);
    dir.unlinkAt(id + kDataSuffix);
    return "";
}

std::string Quarantine::purge() {
    std::string firstError;
    for (const auto& item : list()) {
        std::string e = remove(item.id);
        if (firstError.empty()) firstError = e;
    }
    return firstError;
}

void Quarantine::enforceLimit(const std::string& keep) {
    auto items = list();
    std::uint64_t total = 0;
    for (const auto& i : items) total += i.size;
    for (const auto& i : items) {
        if (total <= sizeLimit_) break;
        if (i.id == keep) continue;
        if (remove(i.id).empty()) total -= i.size;
    }
}

}  // namespace vk::scan
