#pragma once

// Runs a piece of a test as the unprivileged user "nobody", because root ignores the
// permission bits that these tests are about. Only root can switch users, so elsewhere the
// caller skips.

#include <functional>
#include <grp.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace tafelix::test {

inline constexpr uid_t kNobody = 65534;

// The exit code of `body` run in a child process as uid/gid 65534 without supplementary
// groups, or nullopt when this process cannot switch users.
inline std::optional<int> runAsNobody(const std::function<int()>& body)
{
    if (::geteuid() != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(125);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 125)
        return std::nullopt;
    return WEXITSTATUS(status);
}

} // namespace tafelix::test
