#pragma once

#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "script/Console.h"
#include "script/ScriptIniEngine.h"
#include "support/TempDir.h"

namespace vk::script::testing {

struct ErrorRecorder : ScriptIniEngineListener {
    std::vector<long> numbers;
    void errorOccured(std::int32_t number, const std::string&) override { numbers.push_back(number); }
};

struct RecordingClipboard : platform::Clipboard {
    std::vector<std::string> copies;
    void setText(const std::string& text) override { copies.push_back(text); }
};

// Console lines split at CR LF.
inline std::vector<std::string> consoleLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        auto pos = text.find("\r\n", start);
        lines.push_back(text.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
        if (pos == std::string::npos) break;
        start = pos + 2;
    }
    return lines;
}

// Script path text for a file-system path: KastScripts write '\'.
inline std::string backslashed(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// An engine bound to a fresh console, with scripts written into a temporary folder.
class EngineHarness {
public:
    EngineHarness() {
        engine.setConsole(&console);
        engine.setListener(&errors);
        console.setClipboard(&clipboard);
    }

    // Writes the script and runs it on an empty console.
    void run(const std::string& iniText, const std::string& name = "script.vki") {
        auto path = dir.write(name, iniText);
        console.clear();
        engine.runIniKastScript(path.string());
    }

    std::vector<std::string> lines() const { return consoleLines(console.text()); }

    bool hasLine(const std::string& line) const {
        for (const auto& l : lines()) {
            if (l == line) return true;
        }
        return false;
    }

    // The lines a section wrote: after its banner (found by its title line)
    // up to the next banner or the closing lines, without the blank lines
    // that precede those.
    std::vector<std::string> sectionAfter(const std::string& title) const {
        auto all = lines();
        const std::string rule(45, '=');
        std::vector<std::string> out;
        std::size_t i = 0;
        while (i < all.size() && all[i] != title) ++i;
        for (i += 2; i < all.size(); ++i) {
            if (all[i] == rule || all[i] == "Copying AutoRepair log to clipboard...") break;
            out.push_back(all[i]);
        }
        while (!out.empty() && out.back().empty()) out.pop_back();
        return out;
    }

    test::TempDir dir;
    Console console;
    ErrorRecorder errors;
    RecordingClipboard clipboard;
    ScriptIniEngine engine;
};

}  // namespace vk::script::testing
