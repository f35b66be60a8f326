#pragma once

#include <functional>
#include <string>

namespace vk::test {

struct UnprivilegedRun {
    bool cannotDrop = false;  // the rights could not be dropped: skip, with why
    bool ran = false;         // body ran to its end
    std::string output;       // what body returned
    std::string why;
};

// Runs body in a child process as an ordinary user, so that permissions hold
// for it: as root the child becomes "nobody" first. GoogleTest assertions do
// not cross the process boundary; body reports through its result.
UnprivilegedRun runUnprivileged(const std::function<std::string()>& body);

// Lets every user reach and read a folder the test made (mkdtemp gives 0700).
void openToEveryone(const std::string& folder);

}  // namespace vk::test
