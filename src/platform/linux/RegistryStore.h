#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Registry.h"
#include "platform/linux/RegFile.h"

namespace vk::platform {

// The embedded registry: one .reg file per root in a folder
// (HKEY_CLASSES_ROOT.reg, HKEY_CURRENT_USER.reg, HKEY_LOCAL_MACHINE.reg,
// HKEY_USERS.reg). Every change is applied under an exclusive lock (flock on
// ROOT.reg.lock beside the file), after reloading the file if another process
// changed it, and saved atomically; reads reload when the file changed on disk.
//
// Lines of a file the reader does not understand are kept verbatim under
// their key on every rewrite. A root is read-only (writes and opens for
// writing answer access denied) when its file or folder cannot be written,
// when the file could not be read, or when rewriting it would change what it
// holds (see RegDocument::damaged); such a file is left as it is until
// repaired, and the listener hears which file and why.
class RegistryStoreListener {
public:
    virtual ~RegistryStoreListener() = default;
    // A write to the root kept in file was refused; once per root and reason.
    // reason completes a sentence about the file ("has no ... header line").
    // Called with the store locked: the listener must not call the store.
    virtual void writeRefused(const std::string& file, const std::string& reason) {
        (void)file;
        (void)reason;
    }
};

class RegistryStore final : public Registry {
public:
    struct Options {
        bool readOnly = false;  // serve reads only, e.g. for a copied Windows export
    };

    explicit RegistryStore(std::string folder);
    RegistryStore(std::string folder, Options options);
    ~RegistryStore() override;

    // $VANDRELKAST_REGISTRY, else $XDG_DATA_HOME/vandrelkast/registry
    // ($XDG_DATA_HOME defaulting to ~/.local/share).
    static std::string defaultFolder();

    const std::string& folder() const { return folder_; }
    // The file that backs a root, "" for roots the store does not keep.
    std::string rootFile(RegHandle root) const;
    // True when the root's file could not be read or cannot be rewritten
    // without changing what it holds.
    bool rootDamaged(RegHandle root);
    // Why writes to the root are refused, said of its file; "" when they are not.
    std::string readOnlyReason(RegHandle root);
    void setListener(RegistryStoreListener* listener);
    std::size_t openHandleCount();

    long openKey(RegHandle parent, std::string_view subKey, std::uint32_t access,
                 RegHandle& result) override;
    long createKey(RegHandle parent, std::string_view subKey, std::uint32_t access,
                   RegHandle& result) override;
    long closeKey(RegHandle key) override;
    long queryValue(RegHandle key, std::string_view name, std::uint32_t& type,
                    std::string& data) override;
    long setValue(RegHandle key, std::string_view name, std::uint32_t type,
                  std::string_view data) override;
    long deleteValue(RegHandle key, std::string_view name) override;
    long deleteKey(RegHandle key, std::string_view subKey) override;
    long enumValue(RegHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                   std::string& data) override;
    long enumKey(RegHandle key, std::uint32_t index, std::string& name) override;

private:
    struct Root {
        RegHandle handle = 0;
        std::string_view hiveName;
        std::string file;
        RegDocument doc;
        FileStamp stamp;
        bool loaded = false;
        bool unreadable = false;  // exists but could not be read whole
        std::string unreadableWhy;
        std::string reportedReason;  // the last reason the listener heard
        std::string probeWhy;
        bool probed = false;
        bool writable = false;
        std::chrono::steady_clock::time_point probedAt;
    };
    struct OpenKey {
        std::size_t root;
        std::vector<std::string> path;
        std::uint32_t access;
    };

    long resolve(RegHandle handle, OpenKey& out) const;
    void refresh(Root& root);
    void load(Root& root);
    RegKeyNode& hiveOf(Root& root);
    RegKeyNode* find(Root& root, const std::vector<std::string>& path);
    bool writable(Root& root) { return whyReadOnly(root).empty(); }
    std::string whyReadOnly(Root& root);
    long refuseWrite(Root& root);
    RegHandle allocate(OpenKey key);
    template <class Change>
    long change(Root& root, Change&& apply);

    std::string folder_;
    Options options_;
    std::mutex mutex_;
    std::array<Root, 4> roots_;
    std::unordered_map<RegHandle, OpenKey> handles_;
    RegHandle nextHandle_ = 0x100;
    RegistryStoreListener* listener_ = nullptr;
};

}  // namespace vk::platform
