#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Registry.h"

namespace vk::tools {

class ProcessList;

// Each Registry Tweaks control is bound to one value.
struct TweakCheck {
    enum class Test { NotOne, IsOne, IsZero };
    const char* control;
    const char* caption;
    platform::RegHandle root;
    const char* key;
    const char* valueName;
    std::int32_t whenChecked;
    std::int32_t whenUnchecked;
    Test test;
    bool designChecked;  // before any value was read: what a missing value means to Windows
};

struct TweakText {
    enum class Blank { Write, Delete };
    const char* control;
    const char* label;
    platform::RegHandle root;
    const char* key;
    const char* valueName;
    Blank blank;  // what a text of blanks only does
};

enum TweakCheckIndex {
    kTweakTaskMgr, kTweakRegedit, kTweakShowFile, kTweakShowSys, kTweakFileExt, kTweakFolOpt, kTweakCtrlPanel,
    kTweakShowRun, kTweakSetFolder, kTweakTrayMenu, kTweakLockHome, kTweakCheckCount
};
enum TweakTextIndex { kTweakHomepage, kTweakCaption, kTweakShell, kTweakUserinit, kTweakTextCount };

extern const std::array<TweakCheck, kTweakCheckCount> kTweakChecks;
extern const std::array<TweakText, kTweakTextCount> kTweakTexts;

// The box's state from the stored value; nullopt (keep the box as it is) when
// the value is missing or no number.
std::optional<bool> readTweak(const TweakCheck& tweak);
void writeTweak(const TweakCheck& tweak, bool checked);
std::string readTweakText(const TweakText& tweak);
void writeTweakText(const TweakText& tweak, const std::string& text);

// Apply Changes: ends the first process whose path contains "explorer.exe"
// (any case) and starts that executable again through start. The path
// restarted, or nullopt when no shell runs.
std::optional<std::string> restartShell(ProcessList& processes,
                                        const std::function<void(const std::string&)>& start);

}  // namespace vk::tools
