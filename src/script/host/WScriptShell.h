#pragma once

#include <string>

#include "script/vbs/Object.h"

namespace vk::script {

// ProgID "WScript.Shell": registry, environment, special folders and Run.
class WScriptShell final : public vbs::Object {
public:
    std::string typeName() const override { return "IWshShell3"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;
};

}  // namespace vk::script
