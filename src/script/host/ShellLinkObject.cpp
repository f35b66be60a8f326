#include "script/host/ShellLinkObject.h"

#include "platform/EntryInsideDrive.h"
#include "script/host/HostObjects.h"
#include "script/vbs/Text.h"
#include "tools/ShellLink.h"

namespace vk::script {

using vbs::CallArgs;
using vbs::InvokeKind;
using vbs::Variant;
using vbs::equalsNoCase;

Variant ShellLinkObject::invoke(std::string_view name, InvokeKind, CallArgs args) {
    if (equalsNoCase(name, "PathInDrive")) {
        auto inside = platform::pathInsideDrive(hostargs::path(args, 0), hostargs::text(args, 1));
        return Variant::fromUtf8(inside.value_or(std::string()));
    }
    const bool known = equalsNoCase(name, "IsShortcut") || equalsNoCase(name, "Target") ||
                       equalsNoCase(name, "Arguments") || equalsNoCase(name, "WorkingDirectory") ||
                       equalsNoCase(name, "Payloads");
    if (!known) throw vbs::ScriptError(vbs::err::NoSuchMember);
    auto link = tools::readShellLinkFile(hostargs::path(args, 0));
    if (equalsNoCase(name, "IsShortcut")) return Variant(link.has_value());
    if (!link) link.emplace();
    if (equalsNoCase(name, "Target")) return Variant::fromUtf8(link->target());
    if (equalsNoCase(name, "Arguments")) return Variant::fromUtf8(link->arguments);
    if (equalsNoCase(name, "WorkingDirectory")) return Variant::fromUtf8(link->workingDir);
    std::vector<std::string> payloads = tools::shellLinkPayloads(*link);
    vbs::ArrayData* list = vbs::newArray({static_cast<std::int32_t>(payloads.size()) - 1});
    for (std::size_t i = 0; i < payloads.size(); ++i) list->data[i] = Variant::fromUtf8(payloads[i]);
    return Variant(list);
}

}  // namespace vk::script
