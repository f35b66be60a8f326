#include "platform/linux/MountTable.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/base/Text.h"

namespace vk::platform::linux_ {
namespace {

std::vector<std::string_view> splitOn(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto pos = text.find(sep, start);
        if (pos == std::string_view::npos) pos = text.size();
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    return parts;
}

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
std::string unescapeOctal(std::string_view s) {
    auto octal = [&](std::size_t k) { return s[k] >= '0' && s[k] <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() &&
            octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

constexpr std::array<std::string_view, 9> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p", "afs"};
constexpr std::array<std::string_view, 3> kRamTypes = {"tmpfs", "ramfs", "hugetlbfs"};

bool inList(std::string_view value, auto const& list) {
    for (auto v : list)
        if (v == value) return true;
    return false;
}

// The /sys/block entry of the whole disk behind a block-device source.
std::optional<std::string> diskName(const std::string& source) {
    struct stat st;
    if (source.rfind("/dev/", 0) != 0 || ::stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return std::nullopt;
    std::string sys = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                      std::to_string(minor(st.st_rdev));
    char buf[4096];
    ssize_t n = ::readlink(sys.c_str(), buf, sizeof buf - 1);
    if (n <= 0) return std::nullopt;
    std::string target(buf, static_cast<std::size_t>(n));  // ../../devices/.../block/sda/sda1
    if (::access((sys + "/partition").c_str(), F_OK) == 0) target.resize(target.find_last_of('/'));
    return target;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    for (auto line : splitOn(text, '\n')) {
        if (line.empty()) continue;
        auto dash = line.find(" - ");
        if (dash == std::string_view::npos) continue;
        auto left = splitOn(line.substr(0, dash), ' ');
        auto right = splitOn(line.substr(dash + 3), ' ');
        if (left.size() < 5 || right.size() < 2) continue;
        entries.push_back({unescapeOctal(left[4]), std::string(right[0]), unescapeOctal(right[1])});
    }
    return entries;
}

std::optional<DriveType> classifyMount(const MountEntry& entry) {
    if (inList(entry.fsType, kNetworkTypes)) return DriveType::Network;
    if (inList(entry.fsType, kRamTypes)) {
        // /dev/shm, /run and friends are plumbing, not places a user keeps files.
        if (entry.mountPoint == "/tmp" || entry.mountPoint.rfind("/media", 0) == 0 ||
            entry.mountPoint.rfind("/mnt", 0) == 0)
            return DriveType::RamDisk;
        return std::nullopt;
    }
    auto disk = diskName(entry.source);
    if (!disk) {
        // overlay and similar roots of containers still hold the user's files.
        if (entry.mountPoint == "/") return DriveType::Unknown;
        return std::nullopt;
    }
    auto name = disk->substr(disk->find_last_of('/') + 1);
    if (name.rfind("sr", 0) == 0) return DriveType::CdRom;
    if (readSmallFile("/sys/block/" + name + "/removable") == "1" || disk->find("/usb") != std::string::npos)
        return DriveType::Removable;
    return DriveType::Fixed;
}

std::vector<Drive> parseDriveList(std::string_view list) {
    std::vector<Drive> drives;
    for (auto item : splitOn(list, ';')) {
        if (item.empty()) continue;
        auto fields = splitOn(item, '|');
        Drive d;
        d.path = std::string(fields[0]);
        int type = fields.size() > 1 ? std::atoi(std::string(fields[1]).c_str()) : 0;
        d.type = (type >= 0 && type <= 5) ? static_cast<DriveType>(type) : DriveType::Unknown;
        d.isReady = fields.size() > 2 ? fields[2] != "0" : true;
        if (fields.size() > 3 && fields[3].size() == 1) {
            char c = base::asciiUpper(fields[3][0]);
            if (c >= 'A' && c <= 'Z') d.letter = c;
        }
        if (!d.path.empty()) drives.push_back(std::move(d));
    }
    return drives;
}

std::vector<Drive> currentDrives() {
    if (const char* sim = std::getenv("VANDRELKAST_DRIVES")) {
        // "@FILE": the list is read again at every call, so a simulation can
        // plug and pull drives while the program runs.
        if (sim[0] == '@') {
            std::ifstream list(sim + 1, std::ios::binary);
            std::string text(64 * 1024, '\0');
            list.read(text.data(), static_cast<std::streamsize>(text.size()));
            text.resize(static_cast<std::size_t>(list.gcount()));
            for (char& c : text)
                if (c == '\n' || c == '\r') c = ';';
            return parseDriveList(text);
        }
        return parseDriveList(sim);
    }
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream ss;
    ss << in.rdbuf();
    return drivesOfMountInfo(ss.str());
}

std::vector<Drive> drivesOfMountInfo(std::string_view text) {
    std::vector<Drive> drives;
    bool root = false;
    for (const auto& entry : parseMountInfo(text)) {
        auto type = classifyMount(entry);
        if (!type) continue;
        bool duplicate = false;
        for (const auto& d : drives) duplicate |= d.path == entry.mountPoint;
        if (duplicate) continue;
        root |= entry.mountPoint == "/";
        drives.push_back({entry.mountPoint, *type, ::access(entry.mountPoint.c_str(), R_OK | X_OK) == 0, 0});
    }
    // The mount that holds a chroot lies outside it, so its kind is unknown.
    if (!root) drives.insert(drives.begin(), Drive{"/", DriveType::Unknown, ::access("/", R_OK | X_OK) == 0, 0});
    return drives;
}

}  // namespace vk::platform::linux_
