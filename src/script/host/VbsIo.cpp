#include <chrono>
#include <thread>

#include "Version.h"
#include "script/ScriptFileOps.h"
#include "script/host/HostObjects.h"
#include "script/vbs/Text.h"

namespace vk::script {

using vbs::CallArgs;
using vbs::InvokeKind;
using vbs::Variant;
using vbs::equalsNoCase;

namespace hostargs {

const Variant& required(CallArgs args, std::size_t i) {
    if (i >= args.size()) throw vbs::ScriptError(vbs::err::WrongArgs);
    if (args[i].isMissing()) throw vbs::ScriptError(vbs::err::ArgNotOptional);
    return args[i];
}

std::string text(CallArgs args, std::size_t i) { return vbs::toUtf8(required(args, i)); }

namespace {
thread_local Console* t_pathNotices = nullptr;
}

std::string path(CallArgs args, std::size_t i) {
    std::string written = text(args, i);
    platform::ResolvedPath resolved = resolveScriptPath(written);
    if (resolved.kind == platform::ResolvedPath::Kind::Ambiguous && t_pathNotices)
        t_pathNotices->appendLine(ambiguousPathNotice(written, resolved));
    return resolved.path;
}

ScopedPathNotices::ScopedPathNotices(Console* console) : previous_(t_pathNotices) { t_pathNotices = console; }
ScopedPathNotices::~ScopedPathNotices() { t_pathNotices = previous_; }

}  // namespace hostargs

namespace {

constexpr const char* kIoMembers[] = {"IOMessage",
                                      "ClearIOMessage",
                                      "Pause",
                                      "VandrelKastMajorVersion",
                                      "VandrelKastMinorVersion",
                                      "VandrelKastBuildVersion",
                                      "ShowScanFileDialog"};

// Pumping more often than this only burns the core the script shares with the window.
constexpr auto kPauseSlice = std::chrono::milliseconds(5);

}  // namespace

bool VbsIo::hasMember(std::string_view name) const {
    for (const char* m : kIoMembers)
        if (equalsNoCase(name, m)) return true;
    return false;
}

void VbsIo::ioMessage(std::string_view message) {
    if (!console_) return;
    if (console_->overLimit()) {
        console_->clear();
        pause(3);
    }
    console_->appendLine(message);
}

void VbsIo::clearIoMessage() {
    if (console_) console_->clear();
}

void VbsIo::pause(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    // NaN and negative waits end after the first check, as 0 does.
    const double wait = seconds > 0 ? seconds : 0.0;
    for (;;) {
        if (pump_) pump_->pump();
        std::chrono::duration<double> elapsed = Clock::now() - start;
        if (stop_ || !(elapsed.count() < wait)) return;
        std::chrono::duration<double> left(wait - elapsed.count());
        std::this_thread::sleep_for(left < kPauseSlice ? std::chrono::duration_cast<Clock::duration>(left)
                                                       : std::chrono::duration_cast<Clock::duration>(kPauseSlice));
    }
}

Variant VbsIo::invoke(std::string_view name, InvokeKind, CallArgs args) {
    if (equalsNoCase(name, "IOMessage")) {
        ioMessage(hostargs::text(args, 0));
        return Variant();
    }
    if (equalsNoCase(name, "ClearIOMessage")) {
        clearIoMessage();
        return Variant();
    }
    if (equalsNoCase(name, "Pause")) {
        pause(vbs::toDouble(hostargs::required(args, 0)));
        return Variant();
    }
    if (equalsNoCase(name, "VandrelKastMajorVersion")) return Variant(static_cast<int16_t>(kVersionMajor));
    if (equalsNoCase(name, "VandrelKastMinorVersion")) return Variant(static_cast<int16_t>(kVersionMinor));
    if (equalsNoCase(name, "VandrelKastBuildVersion")) return Variant(static_cast<int16_t>(kVersionRevision));
    if (equalsNoCase(name, "ShowScanFileDialog")) {
        std::optional<std::string> folder = prompt_ ? prompt_->ask() : std::nullopt;
        if (folder) return Variant::fromUtf8(*folder);
        // A cancelled prompt hands back EmptyString as text; without it that is a type mismatch.
        if (!args.has(0)) throw vbs::ScriptError(vbs::err::TypeMismatch);
        return Variant(vbs::toStr(args[0]));
    }
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

}  // namespace vk::script
