#include "support/ChildProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace vk::test {
namespace fs = std::filesystem;

fs::path copyProgram(const TempDir& dir, const std::string& name, const fs::path& source) {
    fs::path target = dir / name;
    fs::create_directories(target.parent_path());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

namespace {
std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}
}  // namespace

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = pointers(all);
    pid_t pid = 0;
    if (posix_spawn(&pid, all[0].c_str(), nullptr, nullptr, argv.data(), environ) == 0) pid_ = pid;
}

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment) {
    std::vector<std::string> args = argv, env = environment;
    std::vector<char*> argp = pointers(args), envp = pointers(env);
    const std::string file = program.string();
    pid_t pid = 0;
    if (posix_spawn(&pid, file.c_str(), nullptr, nullptr, argp.data(), envp.data()) == 0) pid_ = pid;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::reapedByKill() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t got = ::waitpid(pid_, &status, 0);
    if (got != pid_) return false;
    pid_ = -1;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

bool ChildProcess::endedAlready() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
}

}  // namespace vk::test
