#pragma once

#include <string>

#include "script/vbs/Object.h"

namespace vk::script {

// ProgID "Scripting.FileSystemObject": drives, folders, files and text streams
// over the platform file system. Script paths may use '\' as separators.
class FileSystemObject final : public vbs::Object {
public:
    std::string typeName() const override { return "FileSystemObject"; }
    vbs::Variant invoke(std::string_view name, vbs::InvokeKind kind, vbs::CallArgs args) override;
};

}  // namespace vk::script
