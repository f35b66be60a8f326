#include "support/Unprivileged.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace vk::test {
namespace {
constexpr int kCannotDrop = 3;
}

UnprivilegedRun runUnprivileged(const std::function<std::string()>& body) {
    UnprivilegedRun run;
    int fds[2];
    if (::pipe(fds) != 0) {
        run.why = "no pipe";
        return run;
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        run.why = "no fork";
        return run;
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                ::setuid(nobody->pw_uid) != 0 || ::geteuid() == 0 || ::setuid(0) == 0)
                ::_exit(kCannotDrop);
        }
        std::string out = body();
        for (std::size_t done = 0; done < out.size();) {
            ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0) ::_exit(1);
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        run.output.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotDrop) {
        run.cannotDrop = true;
        run.why = "the tests run as root and cannot become the user nobody";
        return run;
    }
    run.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ran) run.why = "the child process failed";
    return run;
}

void openToEveryone(const std::string& folder) { ::chmod(folder.c_str(), 0755); }

}  // namespace vk::test
