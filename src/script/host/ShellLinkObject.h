#pragma once

#include <string>
#include <string_view>

#include "script/vbs/Object.h"

namespace vk::script {

// Script name "ShellLink": reads Windows shortcuts (.lnk) and places the paths
// they name on a drive, so a killer can remove what a shortcut starts
// without ever touching anything off the drive it treats.
class ShellLinkObject final : public vbs::Object {
public:
    std::string typeName() const override { return "clsShellLink"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;
};

}  // namespace vk::script
