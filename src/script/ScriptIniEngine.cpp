#include "script/ScriptIniEngine.h"

#include <new>
#include <stdexcept>

#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/RuntimeError.h"
#include "platform/SpecialFolders.h"
#include "platform/VbConversion.h"
#include "platform/base/Text.h"
#include "platform/base/VersionCheck.h"
#include "script/ScriptFileOps.h"
#include "script/SpecialPaths.h"

namespace vk::script {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Scripts are small; a larger file is read as far as this.
constexpr std::size_t kMaxScriptFile = 64u << 20;

// Entries past the end of a script's list read as empty; a count far beyond
// the file's entries stops after this many of them in a row.
constexpr int kMaxMissingInRow = 1000;

constexpr int kWindowsDirectory = -1;
constexpr int kSystemDirectory = -2;

struct Placeholder {
    std::string_view name;
    int csidl;
};

constexpr std::array<Placeholder, 39> kPlaceholders{{
    {"DESKTOP", 0},
    {"PROGRAMS", 2},
    {"PERSONAL", 5},
    {"FAVORITES", 6},
    {"STARTUP", 7},
    {"RECENT", 8},
    {"SENDTO", 9},
    {"STARTMENU", 11},
    {"DESKTOPDIRECTORY", 16},
    {"NETHOOD", 19},
    {"FONTS", 20},
    {"TEMPLATES", 21},
    {"COMMONSTARTMENU", 22},
    {"COMMONPROGRAMS", 23},
    {"COMMONSTARTUP", 24},
    {"COMMONDESKTOPDIRECTORY", 25},
    {"APPDATA", 26},
    {"LOCALAPPDATA", 28},
    {"PRINTHOOD", 27},
    {"ALTSTARTUP", 29},
    {"COMMONALTSTARTUP", 30},
    {"COMMONFAVORITES", 31},
    {"INTERNETCACHE", 32},
    {"COOKIES", 33},
    {"HISTORY", 34},
    {"COMMONAPPDATA", 35},
    {"WINDIR", kWindowsDirectory},
    {"SYSDIR", kSystemDirectory},
    {"PROGRAMFILES", 38},
    {"MYPICTURES", 39},
    {"PROFILE", 40},
    {"SYSTEMX86", 41},
    {"PROGRAMFILESX86", 42},
    {"PROGRAMFILESCOMMON", 43},
    {"PROGRAMFILESCOMMONX86", 44},
    {"COMMONTEMPLATES", 45},
    {"COMMONDOCUMENTS", 46},
    {"COMMONADMINTOOLS", 47},
    {"ADMINTOOLS", 48},
}};

std::string banner(std::string_view title, bool leadingBreak) {
    std::string rule(45, '=');
    std::string text;
    if (leadingBreak) text += kCrLf;
    text += rule;
    text += kCrLf;
    text += title;
    text += kCrLf;
    text += rule;
    return text;
}

// Position of needle in text at or after from, ignoring ASCII case.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i)
        if (base::startsWithNoCase(text.substr(i), needle)) return i;
    return std::string_view::npos;
}

}  // namespace

ScriptIniEngine::ScriptIniEngine(platform::EventPump* pump)
    : pump_(pump), md5_(pump), processes_(pump), console_(&ownConsole_) {}

ScriptIniEngine::~ScriptIniEngine() = default;

void ScriptIniEngine::setConsole(Console* console) { console_ = console ? console : &ownConsole_; }

const std::array<std::string_view, 39>& ScriptIniEngine::placeholderNames() {
    static const std::array<std::string_view, 39> names = [] {
        std::array<std::string_view, 39> out{};
        for (std::size_t i = 0; i < kPlaceholders.size(); ++i) out[i] = kPlaceholders[i].name;
        return out;
    }();
    return names;
}

bool ScriptIniEngine::isVersionCompatible(std::string_view own, std::string_view required) {
    return base::compareVersionParts(own, required).value_or(false);
}

void ScriptIniEngine::raiseError(std::int32_t number, const std::string& description) {
    if (!listener_) return;
    try {
        listener_->errorOccured(number, description);
    } catch (...) {
    }
}

void ScriptIniEngine::guard(const std::function<void()>& step) {
    try {
        step();
    } catch (const StopRun&) {
        throw;
    } catch (const platform::RuntimeError& e) {
        raiseError(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        raiseError(platform::kErrOutOfMemory, "Out of memory");
    } catch (const std::exception& e) {
        raiseError(51, std::string("Internal error: ") + e.what());
    } catch (...) {
        raiseError(51, "Internal error");
    }
}

void ScriptIniEngine::checkStop() {
    if (stopRequested_) throw StopRun{};
}

void ScriptIniEngine::append(std::string_view text) {
    checkStop();
    console_->append(text);
    // The console's pump may have pressed Stop.
    checkStop();
}

std::optional<std::string> ScriptIniEngine::readRaw(std::string_view section, const std::string& key) {
    if (!script_) return std::nullopt;
    auto value = script_->find(section, key);
    if (!value) return std::nullopt;
    return std::string(*value);
}

namespace {

// Scripts written on Windows are in its ANSI code page as often as in UTF-8.
std::unique_ptr<platform::IniDocument> loadScript(const std::string& file) {
    std::string bytes;
    if (platform::readWholeFile(file, bytes, kMaxScriptFile) != 0) bytes.clear();
    bool utf16 = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    if (!utf16) bytes = platform::textFromUtf8OrAnsi(bytes);
    return std::make_unique<platform::IniDocument>(platform::IniDocument::fromText(std::move(bytes)));
}

}  // namespace

std::string ScriptIniEngine::readString(std::string_view section, const std::string& key,
                                        std::string_view fallback) {
    std::string value(fallback);
    guard([&] {
        if (auto raw = readRaw(section, key)) value = std::move(*raw);
    });
    return value;
}

bool ScriptIniEngine::readFlag(std::string_view section, const std::string& key) {
    std::string text = readString(section, key, "0");
    bool on = false;
    guard([&] { on = platform::toBoolean(text); });
    return on;
}

std::int32_t ScriptIniEngine::readNumber(std::string_view section, const std::string& key,
                                         std::string_view fallback) {
    std::string text = readString(section, key, fallback);
    std::int32_t number = 0;
    guard([&] { number = platform::toLong(text); });
    return number;
}

void ScriptIniEngine::readEntries(std::int32_t count, const std::function<bool(std::int32_t)>& read) {
    int missingInRow = 0;
    for (std::int64_t n = 1; n <= count; ++n) {
        bool present = true;
        guard([&] { present = read(static_cast<std::int32_t>(n)); });
        missingInRow = present ? 0 : missingInRow + 1;
        if (missingInRow >= kMaxMissingInRow) break;
    }
}

void ScriptIniEngine::fillFolderTable() {
    for (std::size_t i = 0; i < kPlaceholders.size(); ++i) {
        int csidl = kPlaceholders[i].csidl;
        std::string folder;
        guard([&] {
            if (csidl == kWindowsDirectory) {
                folder = platform::windowsDirectory();
            } else if (csidl == kSystemDirectory) {
                folder = platform::systemDirectory();
            } else {
                folder = getSpecialFolder(csidl);
            }
        });
        folderTable_[i] = std::move(folder);
    }
    folderTableFilled_ = true;
}

std::string ScriptIniEngine::expandScriptPath(std::string_view text) {
    if (!folderTableFilled_) fillFolderTable();
    lastUnresolved_ = false;
    std::string result(text);
    for (std::size_t i = 0; i < kPlaceholders.size(); ++i) {
        std::string token = "<" + std::string(kPlaceholders[i].name) + ">";
        std::size_t pos = findNoCase(result, token, 0);
        if (pos == std::string::npos) continue;
        const std::string& folder = folderTable_[i];
        if (folder.empty()) lastUnresolved_ = true;
        std::string out;
        std::size_t from = 0;
        while (pos != std::string::npos) {
            out.append(result, from, pos - from);
            out += folder;
            from = pos + token.size();
            pos = findNoCase(result, token, from);
        }
        out.append(result, from, std::string::npos);
        result = std::move(out);
    }
    return result;
}

bool ScriptIniEngine::extensionInFilter(std::string_view extension) const {
    const std::string& list = scan_.fileExtensionFilter;
    if (list.empty()) return false;
    std::string wanted = base::asciiLower(extension);
    std::size_t start = 0;
    while (true) {
        std::size_t semi = list.find(';', start);
        std::string_view item = std::string_view(list).substr(
            start, semi == std::string::npos ? std::string::npos : semi - start);
        if (base::asciiLower(item) == wanted) return true;
        if (semi == std::string::npos) return false;
        start = semi + 1;
    }
}

void ScriptIniEngine::runIniKastScript(const std::string& filePath) {
    stopRequested_ = false;
    lastRunStopped_ = false;
    try {
        file_ = filePath;
        script_.reset();
        guard([&] { script_ = loadScript(filePath); });

        std::string required = readString("Main", "VersionCompatible", "1.1.0");
        if (!isVersionCompatible(base::programVersion(), required)) {
            std::string text = "This KastScript needs a newer version of VandrelKast. Please update "
                               "your copy of VandrelKast.";
            text += kCrLf;
            text += kCrLf;
            text += "Version Needed: ";
            text += required;
            append(text);
            return;
        }

        std::string title = readString("Main", "Title", "");
        std::string version = readString("Main", "Version", "1.0");
        std::string threat = readString("Main", "ThreatName", "");
        std::string copyright = readString("Main", "LegalCopyright", "");
        bool doProcesses = readFlag("Main", "DoTerminateProcesses");
        bool doFiles = readFlag("Main", "DoManageFiles");
        bool doRegistry = readFlag("Main", "DoManageRegistry");
        bool doDrives = readFlag("Main", "DoDisinfectDrives");

        append(title + std::string(kCrLf) + version + std::string(kCrLf) + copyright);
        append(std::string(kCrLf) + "This KastScript is designed to remove virus strains of " + threat +
               "." + std::string(kCrLf));

        append(banner("Terminating Processes of " + threat + "...", false));
        if (doProcesses) guard([&] { runTerminateProcesses(); });

        append(banner("Deleting " + threat + "'s files...", true));
        if (doFiles) guard([&] { runManageFiles(); });

        append(banner("Restoring Windows Registry to its original state...", true));
        if (doRegistry) guard([&] { runManageRegistry(); });

        append(banner("Disinfecting connected drives...", true));
        if (doDrives) guard([&] { runDisinfectDrives(); });

        append(std::string(kCrLf) + std::string(kCrLf) + "Copying AutoRepair log to clipboard...");
        append(std::string(kCrLf) + "Repair finished.");
        append("Your computer is now disinfected is now free from " + threat + "." + std::string(kCrLf));

        console_->copyToClipboard();
    } catch (const StopRun&) {
        lastRunStopped_ = true;
    } catch (...) {
        // Only a failure outside every guarded step gets here (out of memory
        // while building a line); the run ends quietly.
        raiseError(platform::kErrOutOfMemory, "Out of memory");
    }
}

void ScriptIniEngine::runTerminateProcesses() {
    constexpr std::string_view kSection = "TerminateProcess";

    if (readFlag(kSection, "TerminateWScript")) {
        append("Terminating all instances of wscript.exe...");
        guard([&] {
            processes_.refresh();
            for (std::int32_t i = 0; i <= processes_.count(); ++i) {
                if (base::asciiLower(processes_.exePath(i)).find("wscript.exe") != std::string::npos) {
                    processes_.terminateProcessItem(i);
                }
            }
        });
    }

    std::int32_t count = readNumber(kSection, "Count", "0");
    if (count < 1) return;

    append("Loading Process BlockList...");
    std::vector<ProcessEntry> entries;
    readEntries(count, [&](std::int32_t n) {
        std::string prefix = "Process" + std::to_string(n);
        auto rawPath = readRaw(kSection, prefix + "_Path");
        auto rawMd5 = readRaw(kSection, prefix + "_MD5");
        ProcessEntry entry;
        entry.path = expandScriptPath(rawPath.value_or(""));
        entry.pathUsable = !entry.path.empty() && !lastUnresolved_;
        entry.md5 = rawMd5.value_or("");
        entries.push_back(std::move(entry));
        return rawPath.has_value() || rawMd5.has_value();
    });

    append("Terminating processes...");
    for (const ProcessEntry& entry : entries) {
        // An entry with neither test cannot match anything.
        if (!entry.pathUsable && entry.md5.empty()) continue;
        guard([&] {
            bool byPath = entry.pathUsable;
            std::string wantedPath;
            if (byPath) {
                platform::ResolvedPath resolved = resolveScriptPath(entry.path);
                if (resolved.kind == platform::ResolvedPath::Kind::Ambiguous) append(ambiguousPathNotice(entry.path, resolved));
                byPath = resolved.kind != platform::ResolvedPath::Kind::NoDrive &&
                         resolved.kind != platform::ResolvedPath::Kind::Ambiguous;
                wantedPath = std::move(resolved.path);
            }
            std::string wantedMd5 = base::asciiLower(entry.md5);
            processes_.refresh();
            for (std::int32_t i = 0; i <= processes_.count(); ++i) {
                std::string exe = processes_.exePath(i);
                if (byPath && processes_.exeMatches(i, wantedPath)) {
                    append("Terminating: " + exe);
                    processes_.terminateProcessItem(i);
                }
                if (!entry.md5.empty()) {
                    append("Scanning File: " + exe);
                    std::string digest = exe.empty() ? std::string() : md5_.digestFileToHexStr(exe);
                    // A program that deleted or replaced its file still runs its image.
                    if (digest.empty() && processes_.processID(i) != 0) {
                        digest = md5_.digestFileToHexStr("/proc/" + std::to_string(processes_.processID(i)) +
                                                         "/exe");
                    }
                    if (!digest.empty() && base::asciiLower(digest) == wantedMd5) {
                        append("Terminating: " + exe);
                        processes_.terminateProcessItem(i);
                    }
                }
            }
        });
    }
}

void ScriptIniEngine::runManageFiles() {
    constexpr std::string_view kSection = "ManageFiles";
    std::int32_t count = readNumber(kSection, "DeleteFileCount", "0");
    if (count < 1) return;

    struct FileEntry {
        std::string written;
        std::string path;
        bool usable;
    };
    std::vector<FileEntry> files;
    readEntries(count, [&](std::int32_t n) {
        auto raw = readRaw(kSection, "DeleteFile" + std::to_string(n));
        std::string path = expandScriptPath(raw.value_or(""));
        files.push_back({raw.value_or(""), path, !lastUnresolved_});
        return raw.has_value();
    });

    for (const FileEntry& file : files) {
        // A folder this system lacks must not turn the name into one at the root.
        if (!file.usable) {
            append("Skipping file: " + file.written + " (this system has no such folder)");
            continue;
        }
        append("Deleting file: " + file.path);
        guard([&] {
            platform::ResolvedPath resolved = resolveScriptPath(file.path);
            if (resolved.kind == platform::ResolvedPath::Kind::Found) clearAttributesAndDelete(resolved.path);
            if (resolved.kind == platform::ResolvedPath::Kind::Ambiguous) append(ambiguousPathNotice(file.path, resolved));
        });
    }
}

}  // namespace vk::script
