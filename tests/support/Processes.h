#pragma once

#include <functional>

namespace testing_support {

// Runs body in a child process and gives its result (0 to 255), or -1 when
// the child did not end normally. A root test drops to the unprivileged user
// "nobody" in the child, so that file permissions apply as they do to users.
int runInChild(const std::function<int()>& body, bool unprivileged);

} // namespace testing_support
