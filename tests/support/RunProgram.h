#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vk::test {

struct ProgramResult {
    int status = -1;  // exit status, -1 when killed by a signal
    std::string out;
    std::string err;
};

// The built command-line program NAME from $VANDRELKAST_TEST_BIN, or "" when
// the variable is unset.
std::string builtProgram(const std::string& name);

// In a forked child: replaces it with program and its arguments, or exits 127.
[[noreturn]] void execProgram(const std::string& program, const std::vector<std::string>& args);

// Runs a program with arguments (no shell), extra environment variables and
// standard input, and collects its output.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         const std::string& input = {});

}  // namespace vk::test
