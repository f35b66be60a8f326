#include <cstdint>
#include <vector>

#include "checksum/Sha256.h"
#include "platform/RuntimeError.h"
#include "script/host/HostObjects.h"
#include "script/vbs/Text.h"

namespace vk::script {

using vbs::CallArgs;
using vbs::InvokeKind;
using vbs::Variant;
using vbs::equalsNoCase;

namespace {

std::int64_t indexArg(CallArgs args, std::size_t i) { return vbs::toLong(hostargs::required(args, i)); }

// MD5Update's buffer: a byte array (each element's low 8 bits) or text (one byte per code unit).
std::vector<std::uint8_t> bytesOf(const Variant& v) {
    std::vector<std::uint8_t> out;
    if (v.isArray()) {
        const auto& a = v.arr();
        if (a.ubounds.size() != 1) throw vbs::ScriptError(vbs::err::TypeMismatch);
        out.reserve(a.data.size());
        for (const Variant& e : a.data) out.push_back(static_cast<std::uint8_t>(vbs::toLong(e) & 0xFF));
        return out;
    }
    for (char16_t c : vbs::toStr(v)) out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    return out;
}

}  // namespace

Variant VbsProcess::invoke(std::string_view name, InvokeKind, CallArgs args) {
    if (equalsNoCase(name, "Count")) return Variant(list_.count());
    if (equalsNoCase(name, "ProcessID"))
        return Variant(static_cast<std::int32_t>(list_.processID(indexArg(args, 0))));
    if (equalsNoCase(name, "ExePath")) return Variant::fromUtf8(list_.exePath(indexArg(args, 0)));
    if (equalsNoCase(name, "Refresh")) {
        list_.refresh();
        return Variant();
    }
    if (equalsNoCase(name, "TerminateProcessItem")) return Variant(list_.terminateProcessItem(indexArg(args, 0)));
    if (equalsNoCase(name, "KillProcess")) {
        double pid = vbs::toDouble(hostargs::required(args, 0));
        if (!(pid >= 1 && pid <= 4294967295.0)) return Variant(false);
        return Variant(tools::ProcessList::killProcess(static_cast<std::uint32_t>(pid)));
    }
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

Variant VbsMd5::invoke(std::string_view name, InvokeKind kind, CallArgs args) {
    try {
        if (equalsNoCase(name, "DigestStrToHexStr"))
            return Variant::fromUtf8(md5_.digestStrToHexStr(hostargs::text(args, 0)));
        if (equalsNoCase(name, "DigestFileToHexStr"))
            return Variant::fromUtf8(md5_.digestFileToHexStr(hostargs::path(args, 0)));
        if (equalsNoCase(name, "GetValues")) return Variant::fromUtf8(md5_.getValues());
        if (equalsNoCase(name, "RegisterA")) return Variant::fromUtf8(md5_.registerA());
        if (equalsNoCase(name, "RegisterB")) return Variant::fromUtf8(md5_.registerB());
        if (equalsNoCase(name, "RegisterC")) return Variant::fromUtf8(md5_.registerC());
        if (equalsNoCase(name, "RegisterD")) return Variant::fromUtf8(md5_.registerD());
        if (equalsNoCase(name, "CancelDigest")) {
            if (kind == InvokeKind::Let) {
                md5_.cancelDigest = vbs::toBool(hostargs::required(args, args.size() - 1));
                return Variant();
            }
            return Variant(md5_.cancelDigest.load());
        }
        if (equalsNoCase(name, "MD5Init")) {
            md5_.md5Init();
            return Variant();
        }
        if (equalsNoCase(name, "MD5Update")) {
            std::int32_t len = vbs::toLong(hostargs::required(args, 0));
            std::vector<std::uint8_t> bytes = bytesOf(hostargs::required(args, 1));
            md5_.md5Update(len, bytes);
            return Variant();
        }
        if (equalsNoCase(name, "MD5Final")) {
            md5_.md5Final();
            return Variant();
        }
        if (equalsNoCase(name, "LongLeftRotate"))
            return Variant(checksum::Md5::longLeftRotate(vbs::toLong(hostargs::required(args, 0)),
                                                     vbs::toLong(hostargs::required(args, 1))));
    } catch (const platform::RuntimeError& e) {
        throw vbs::ScriptError(static_cast<std::int32_t>(e.number()), e.description());
    }
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

std::string VbsSha256::sha256(std::u16string_view message) {
    std::string bytes(message.size(), '\0');
    for (std::size_t i = 0; i < message.size(); ++i) bytes[i] = static_cast<char>(message[i] & 0xFF);
    return checksum::Sha256::hexDigest(bytes);
}

Variant VbsSha256::invoke(std::string_view name, InvokeKind, CallArgs args) {
    if (equalsNoCase(name, "SHA256")) return Variant::fromUtf8(sha256(vbs::toStr(hostargs::required(args, 0))));
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

}  // namespace vk::script
