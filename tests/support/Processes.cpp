#include "tests/support/Processes.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

int runInChild(const std::function<int()>& body, bool unprivileged)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (unprivileged && geteuid() == 0) {
            constexpr uid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0
                || setresuid(nobody, nobody, nobody) != 0)
                _exit(250);
        }
        _exit(body() & 0xFF);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace testing_support
