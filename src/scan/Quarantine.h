#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileDescriptor.h"

namespace vk::scan {

// Where heal and delete keep what they remove, so that a user can take it
// back. The content is stored transformed with a key of its own, so that no
// scanner, indexer or desktop opens it, in files that are never executable;
// a record beside it keeps the path, the detection, the time, the owner and
// the mode. The total is capped; the oldest items go first.
class Quarantine {
public:
    Quarantine(std::string folder, std::uint64_t sizeLimit);

    // $XDG_DATA_HOME/vandrelkast/quarantine ($HOME/.local/share when unset).
    static std::string defaultFolder();
    const std::string& folder() const { return folder_; }
    std::uint64_t sizeLimit() const { return sizeLimit_; }

    struct Item {
        std::string id;
        std::string path;
        std::string detection;
        std::int64_t time = 0;       // seconds since 1970
        std::int64_t nanoseconds = 0;  // within that second: orders items kept at once
        std::uint32_t owner = 0;
        std::uint32_t group = 0;
        std::uint32_t mode = 0;
        std::uint64_t size = 0;
    };

    struct Stored {
        std::string id;     // empty when nothing was stored
        std::string error;  // why not
    };
    // Keeps the whole content of an open regular file.
    Stored store(const platform::FileDescriptor& file, const std::string& path, const std::string& detection);

    // Oldest first; records that cannot be read are left out.
    std::vector<Item> list() const;

    // Puts the file back where it was, byte for byte, with its owner and mode,
    // and forgets it; never replaces a file that is there now. "" or why not.
    std::string restore(const std::string& id);
    std::string remove(const std::string& id);
    std::string purge();

private:
    bool readItem(const std::string& id, Item& item, std::string& key) const;
    void enforceLimit(const std::string& keep);

    std::string folder_;
    std::uint64_t sizeLimit_;
};

}  // namespace vk::scan
