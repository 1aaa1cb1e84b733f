#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::test {

// Runs `body` in a forked child, so that limits and identities set there stay there; returns
// the child's exit code, or -1 when it died.
inline int RunInChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace quillon::test
