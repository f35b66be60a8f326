#include "support/RunProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/TempDir.h"

namespace vk::test {

std::string builtProgram(const std::string& name) {
    const char* bin = std::getenv("VANDRELKAST_TEST_BIN");
    return bin ? std::string(bin) + "/" + name : std::string();
}

void execProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env, const std::string& input) {
    TempDir io;
    auto in = io.write("stdin", input);
    auto out = io / "stdout";
    auto err = io / "stderr";
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        int i = ::open(in.c_str(), O_RDONLY);
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || e < 0) ::_exit(127);
        ::dup2(i, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        execProgram(program, args);
    }
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0) {
    }
    ProgramResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

}  // namespace vk::test
