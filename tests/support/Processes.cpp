#include "tests/support/Processes.h"

#include <QCoreApplication>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

void dropPrivileges()
{
    constexpr uid_t nobody = 65534;
    if (geteuid() == 0
        && (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 || setresuid(nobody, nobody, nobody) != 0))
        _exit(250);
}

} // namespace

int runInChild(const std::function<int()>& body, bool unprivileged)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (unprivileged)
            dropPrivileges();
        _exit(body() & 0xFF);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

void startTest(QProcess& process, const QString& test, const QStringList& environment, bool unprivileged,
               const QStringList& launcher)
{
    process.setEnvironment(QProcess::systemEnvironment() + environment);
    if (unprivileged)
        process.setChildProcessModifier(dropPrivileges);
    const QStringList command = launcher + QStringList{QCoreApplication::applicationFilePath(), "--gtest_filter=" + test};
    process.start(command.first(), command.mid(1));
}

} // namespace testing_support
