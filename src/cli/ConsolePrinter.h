#pragma once

#include <cstdio>
#include <string_view>

#include "script/Console.h"

namespace vk::cli {

// Writes every console line to a stream as it is appended: one output line
// per console line, CR LF turned into LF, flushed so a pipe sees it at once.
// Emptying the console does not take back what was printed.
class ConsolePrinter final : public script::ConsoleListener {
public:
    explicit ConsolePrinter(std::FILE* out) : out_(out) {}
    void lineAppended(std::string_view line, bool joined) override;

private:
    std::FILE* out_;
};

}  // namespace vk::cli
