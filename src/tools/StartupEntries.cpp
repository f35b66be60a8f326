#include "tools/StartupEntries.h"

#include "platform/base/Text.h"
#include "script/EnumReg.h"
#include "script/RegistryAccess.h"
#include "tools/AutostartEntries.h"
#include "tools/RegistryText.h"

namespace vk::tools {

std::vector<StartupLine> loadStartupList() {
    struct Pass {
        platform::RegHandle root;
        const char* key;
        bool checked;
        bool withName;
    };
    const Pass passes[] = {{platform::kHkeyCurrentUser, kUserRunKey, true, false},
                           {platform::kHkeyLocalMachine, kMachineRunKey, true, true},
                           {platform::kHkeyCurrentUser, kDisabledRunKey, false, true},
                           {platform::kHkeyLocalMachine, kDisabledRunKey, false, true}};
    std::vector<StartupLine> lines;
    for (const Pass& pass : passes) {
        auto names = script::enumRegStringValues(pass.root, pass.key, platform::kKeyRead);
        if (!names) continue;
        for (const auto& name : *names) {
            if (name.empty()) continue;
            StartupLine line;
            line.entry = {StartupEntry::Source::Registry, pass.root, pass.key, name,
                          regValueText(script::getRegValue(pass.root, pass.key, name))};
            line.text = pass.withName ? line.entry.data + " (" + name + ")" : line.entry.data;
            line.checked = pass.checked;
            lines.push_back(std::move(line));
        }
    }
    for (auto& e : listAutostartEntries()) {
        StartupLine line;
        line.entry = {StartupEntry::Source::Autostart, 0, e.path, e.fileName, e.exec};
        line.text = e.exec + " (" + e.fileName + ")";
        line.checked = e.enabled();
        lines.push_back(std::move(line));
    }
    return lines;
}

bool moveStartupEntry(StartupEntry& entry, bool enable) {
    if (entry.source == StartupEntry::Source::Autostart) {
        return setAutostartEnabled(entry.name, enable);
    }
    const std::string target = enable ? kUserRunKey : kDisabledRunKey;
    if (base::asciiLower(target) == base::asciiLower(entry.keyPath)) return true;
    if (script::setRegValue(entry.data, platform::kRegSz, target, entry.name, entry.root) != 0) return false;
    if (!script::deleteRegValue(entry.root, entry.keyPath, entry.name)) {
        // The old key cannot be changed: take the copy back so the entry is in one place.
        script::deleteRegValue(entry.root, target, entry.name);
        return false;
    }
    entry.keyPath = target;
    return true;
}

}  // namespace vk::tools
