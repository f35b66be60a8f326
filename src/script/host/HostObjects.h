#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "checksum/Md5.h"
#include "platform/EventPump.h"
#include "script/Console.h"
#include "script/vbs/Object.h"
#include "tools/ProcessList.h"

namespace vk::script {

// The folder prompt ShowScanFileDialog shows: the folder or drive picked, or
// nullopt when the user cancelled.
class FolderPrompt {
public:
    virtual ~FolderPrompt() = default;
    virtual std::optional<std::string> ask() = 0;
};

// Script name "IO": the console, pauses, the version and the folder prompt.
class VbsIo final : public vbs::Object {
public:
    explicit VbsIo(platform::EventPump* pump = nullptr) : pump_(pump) {}

    std::string typeName() const override { return "clsVBS_IO"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;
    bool hasMember(std::string_view name) const override;

    void setConsole(Console* console) { console_ = console; }
    void setPump(platform::EventPump* pump) { pump_ = pump; }
    void setFolderPrompt(FolderPrompt* prompt) { prompt_ = prompt; }

    // Empties the console when over the limit (then waits 3 s) and adds the line.
    void ioMessage(std::string_view message);
    void clearIoMessage();
    // Waits the given seconds on a steady clock, pumping events every few
    // milliseconds. Ends early once stop() was called.
    void pause(double seconds);
    // Thread-safe; cleared by resetStop().
    void stop() { stop_ = true; }
    void resetStop() { stop_ = false; }

private:
    platform::EventPump* pump_;
    Console* console_ = nullptr;
    FolderPrompt* prompt_ = nullptr;
    std::atomic<bool> stop_{false};
};

// Script name "Process": the process list.
class VbsProcess final : public vbs::Object {
public:
    explicit VbsProcess(platform::EventPump* pump = nullptr) : list_(pump) {}
    std::string typeName() const override { return "clsProcess"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;
    tools::ProcessList& list() { return list_; }

private:
    tools::ProcessList list_;
};

// Script name "MD5Digest".
class VbsMd5 final : public vbs::Object {
public:
    explicit VbsMd5(platform::EventPump* pump = nullptr) : md5_(pump) {}
    std::string typeName() const override { return "clsMD5"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;
    checksum::Md5& md5() { return md5_; }

private:
    checksum::Md5 md5_;
};

// Script name "SHA256".
class VbsSha256 final : public vbs::Object {
public:
    std::string typeName() const override { return "clsSHA256"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;

    // One byte per UTF-16 code unit (its low 8 bits), as the script's text holds it.
    static std::string sha256(std::u16string_view message);
};

// Script name "FileIO": files, INI values, CRC-32 and system folders.
class VbsFileIo final : public vbs::Object {
public:
    explicit VbsFileIo(platform::EventPump* pump = nullptr) : pump_(pump) {}
    std::string typeName() const override { return "clsVBS_FileIO"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;

    void setPump(platform::EventPump* pump) { pump_ = pump; }

    // CRC-32 of a whole file; a missing file raises 53 (and is not created),
    // an empty one 9, a folder 75, an unreadable one 70.
    std::int32_t getFileCrc32(const std::string& path);

private:
    platform::EventPump* pump_;
};

namespace hostargs {
// Argument i, or the VBScript error for a call without it (450 too few, 449 omitted).
const vbs::Variant& required(vbs::CallArgs args, std::size_t i);
std::string text(vbs::CallArgs args, std::size_t i);
std::string path(vbs::CallArgs args, std::size_t i);  // '\' becomes '/'
}  // namespace hostargs

}  // namespace vk::script
