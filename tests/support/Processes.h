#pragma once

#include <QProcess>
#include <QStringList>
#include <functional>

namespace testing_support {

// Runs body in a child process and gives its result (0 to 255), or -1 when
// the child did not end normally. A root test drops to the unprivileged user
// "nobody" in the child, so that file permissions apply as they do to users.
int runInChild(const std::function<int()>& body, bool unprivileged);

// Starts this test program again, in a process that shares nothing with this
// one (a forked one cannot paint: Qt's painting threads are not in it), to
// run one test, with its own home and the environment given ("NAME=value");
// when unprivileged, a root test runs it as "nobody". A launcher (a program
// and its arguments) runs it, when given.
void startTest(QProcess& process, const QString& test, const QStringList& environment, bool unprivileged,
               const QStringList& launcher = {});

} // namespace testing_support
