#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/EventPump.h"
#include "script/Console.h"
#include "script/host/HostObjects.h"
#include "script/vbs/Engine.h"

namespace vk::script {

// Title of the dialog that shows a script error.
inline constexpr const char* kScriptErrorTitle = "VBScript Error";

// The text of that dialog (CR LF line breaks).
std::string scriptErrorText(std::int32_t number, std::string_view description);

// A script file's bytes as the engine's UTF-8 text: a UTF-8 byte order mark is
// dropped, and a file that is not UTF-8 is read as Windows-1252, as scripts
// written on Windows are.
std::string scriptTextFromBytes(std::string_view bytes);

// The VBScript KastScript host: one engine with IO (members global), Process,
// MD5Digest, SHA256, FileIO and ShellLink (shortcuts, for the killers)
// registered once. It is never reset, so the
// globals one run leaves are seen by the next.
class ScriptHost {
public:
    // pump: serviced by Pause and the digests; prompt: ShowScanFileDialog's folder
    // prompt (without one the prompt counts as cancelled).
    explicit ScriptHost(Console& console, platform::EventPump* pump = nullptr, FolderPrompt* prompt = nullptr);
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    // Runs the whole text in one call; ok, or the error that stopped it.
    vbs::ScriptResult runScript(const std::string& text);

    // Thread- and signal-safe: ends the running script at its next statement
    // (a Pause at once); the result then has stopped set.
    void requestStop();

    vbs::Engine& engine() { return engine_; }
    VbsIo& io() { return *io_; }
    VbsProcess& process() { return *process_; }
    VbsMd5& md5Digest() { return *md5_; }
    VbsFileIo& fileIo() { return *fileIo_; }

private:
    vbs::Ref<VbsIo> io_;
    vbs::Ref<VbsProcess> process_;
    vbs::Ref<VbsMd5> md5_;
    vbs::Ref<VbsSha256> sha256_;
    vbs::Ref<VbsFileIo> fileIo_;
    // Last, so it goes first and the objects outlive the script's references.
    vbs::Engine engine_;
};

}  // namespace vk::script
