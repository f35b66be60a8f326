#include "script/host/WScriptShell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Registry.h"
#include "platform/SpecialFolders.h"
#include "script/RegPath.h"
#include "script/host/HostObjects.h"
#include "script/vbs/Text.h"

namespace vk::script {

using vbs::CallArgs;
using vbs::InvokeKind;
using vbs::Variant;
using vbs::equalsNoCase;

namespace {

// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), as WSH reports registry failures.
constexpr std::int32_t kRegError = static_cast<std::int32_t>(0x80070002u);

[[noreturn]] void regFail(const std::string& text) { throw vbs::ScriptError(kRegError, text); }

class Key {
public:
    Key() = default;
    ~Key() {
        if (open_) platform::systemRegistry().closeKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool open(platform::RegHandle root, const std::string& sub, std::uint32_t access, bool create) {
        auto& reg = platform::systemRegistry();
        long st = create ? reg.createKey(root, sub, access, h_) : reg.openKey(root, sub, access, h_);
        open_ = st == platform::kErrorSuccess;
        return open_;
    }
    platform::RegHandle h() const { return h_; }

private:
    platform::RegHandle h_ = 0;
    bool open_ = false;
};

ParsedRegPath parse(const std::string& path) {
    auto p = parseRegPath(path);
    if (!p) regFail("Invalid root in registry key \"" + path + "\".");
    return *p;
}

Variant regRead(const std::string& path) {
    ParsedRegPath p = parse(path);
    Key key;
    std::uint32_t type = 0;
    std::string data;
    if (!key.open(p.root, p.parentSubKey, platform::kKeyRead, false) ||
        platform::systemRegistry().queryValue(key.h(), p.lastComponent, type, data) != platform::kErrorSuccess)
        regFail("Unable to open registry key \"" + path + "\" for reading.");
    if (type == platform::kRegDword && data.size() >= 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
        return Variant(static_cast<std::int32_t>(v));
    }
    auto nul = data.find('\0');
    if (nul != std::string::npos) data.resize(nul);
    return Variant::fromUtf8(data);
}

void regWrite(const std::string& path, const Variant& value, const std::string& type) {
    ParsedRegPath p = parse(path);
    std::uint32_t t = 0;
    std::string data;
    if (equalsNoCase(type, "REG_SZ") || equalsNoCase(type, "REG_EXPAND_SZ")) {
        t = equalsNoCase(type, "REG_SZ") ? platform::kRegSz : platform::kRegExpandSz;
        data = vbs::toUtf8(value);
        data.push_back('\0');
    } else if (equalsNoCase(type, "REG_DWORD")) {
        t = platform::kRegDword;
        auto v = static_cast<std::uint32_t>(vbs::toLong(value));
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    } else {
        throw vbs::ScriptError(vbs::err::InvalidCall);
    }
    Key key;
    if (!key.open(p.root, p.parentSubKey, platform::kKeyAllAccess, true) ||
        platform::systemRegistry().setValue(key.h(), p.lastComponent, t, data) != platform::kErrorSuccess)
        regFail("Unable to save registry key \"" + path + "\".");
}

void regDelete(const std::string& path) {
    std::string text = path;
    bool isKey = text.ends_with('\\');
    if (isKey) text.pop_back();
    ParsedRegPath p = parse(text);
    Key key;
    auto& reg = platform::systemRegistry();
    bool ok = key.open(p.root, p.parentSubKey, platform::kKeyAllAccess, false) &&
              (isKey ? reg.deleteKey(key.h(), p.lastComponent) : reg.deleteValue(key.h(), p.lastComponent)) ==
                  platform::kErrorSuccess;
    if (!ok) regFail("Unable to remove registry key \"" + path + "\".");
}

// %NAME% from the environment; unknown names stay as written.
std::string expand(const std::string& s) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t a = s.find('%', i);
        std::size_t b = a == std::string::npos ? a : s.find('%', a + 1);
        if (b == std::string::npos) {
            out += s.substr(i);
            break;
        }
        out += s.substr(i, a - i);
        std::string name = s.substr(a + 1, b - a - 1);
        const char* v = name.empty() ? nullptr : std::getenv(name.c_str());
        if (v) {
            out += v;
            i = b + 1;
        } else {
            out += s.substr(a, b - a);
            i = b;
        }
    }
    return out;
}

std::string specialFolder(const std::string& name) {
    static const std::pair<const char*, int> kNames[] = {
        {"Desktop", platform::kCsidlDesktopDirectory}, {"Favorites", platform::kCsidlFavorites},
        {"Fonts", platform::kCsidlFonts},              {"MyDocuments", platform::kCsidlPersonal},
        {"Programs", platform::kCsidlPrograms},        {"Recent", platform::kCsidlRecent},
        {"SendTo", platform::kCsidlSendTo},            {"StartMenu", platform::kCsidlStartMenu},
        {"Startup", platform::kCsidlStartup},          {"Templates", platform::kCsidlTemplates},
        {"AppData", platform::kCsidlAppData},          {"LocalAppData", platform::kCsidlLocalAppData},
    };
    for (const auto& [n, csidl] : kNames)
        if (equalsNoCase(name, n)) return platform::specialFolderPath(csidl);
    return {};
}

std::int32_t run(const std::string& command, bool wait) {
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = ::fork();
    if (pid < 0) throw vbs::ScriptError(vbs::err::InvalidCall);
    if (pid == 0) {
        // Not waiting: a grandchild runs the command so no zombie is left behind.
        if (!wait && ::fork() != 0) ::_exit(0);
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!wait) return 0;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 0;
}

}  // namespace

Variant WScriptShell::invoke(std::string_view name, InvokeKind, CallArgs args) {
    if (equalsNoCase(name, "RegRead")) return regRead(hostargs::text(args, 0));
    if (equalsNoCase(name, "RegWrite")) {
        regWrite(hostargs::text(args, 0), hostargs::required(args, 1), args.has(2) ? hostargs::text(args, 2) : "REG_SZ");
        return Variant();
    }
    if (equalsNoCase(name, "RegDelete")) {
        regDelete(hostargs::text(args, 0));
        return Variant();
    }
    if (equalsNoCase(name, "ExpandEnvironmentStrings")) return Variant::fromUtf8(expand(hostargs::text(args, 0)));
    if (equalsNoCase(name, "SpecialFolders")) return Variant::fromUtf8(specialFolder(hostargs::text(args, 0)));
    if (equalsNoCase(name, "Run"))
        return Variant(run(hostargs::text(args, 0), args.has(2) && vbs::toBool(args[2])));
    throw vbs::ScriptError(vbs::err::NoSuchMember);
}

}  // namespace vk::script
