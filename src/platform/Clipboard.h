#pragma once

#include <string>

namespace vk::platform {

// The system clipboard as plain text; the desktop program binds it to Qt's.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const std::string& text) = 0;
};

}  // namespace vk::platform
