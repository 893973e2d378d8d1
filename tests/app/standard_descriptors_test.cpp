#include "standard_descriptors.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

using namespace zovex;

namespace {

bool isDevNull(int fd)
{
    char buf[64] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    return readlink(link.c_str(), buf, sizeof buf - 1) > 0 && std::strcmp(buf, "/dev/null") == 0;
}

// In a child: descriptors 0-2 on a file that is not /dev/null, those in the mask (bit n:
// descriptor n) closed; exits 0 when the helper reports them and puts /dev/null on exactly them.
int childExit(int mask)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int file = open("/proc/self/exe", O_RDONLY);
        for (int fd = 0; fd <= 2; ++fd)
            (mask & (1 << fd)) ? close(fd) : dup2(file, fd);
        close(file);
        const ClosedStandardDescriptors closed = openNullOnClosedStandardDescriptors();
        if (closed.input != bool(mask & 1) || closed.output != bool(mask & 2) || closed.error != bool(mask & 4))
            _exit(2);
        for (int fd = 0; fd <= 2; ++fd)
            if (isDevNull(fd) != bool(mask & (1 << fd)))
                _exit(3 + fd);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(StandardDescriptors, EachClosedOneAndOnlyThoseGetDevNull)
{
    for (int mask = 0; mask < 8; ++mask)
        EXPECT_EQ(childExit(mask), 0) << "closed mask " << mask;
}

TEST(StandardDescriptors, TheProgramStartedWithoutStandardOutputPrintsItsVersionIntoNothing)
{
    // Before: --version failed on the closed descriptor and the program said so.
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        close(err[0]);
        close(err[1]);
        close(1);
        close(0);
        execl(ZOVEX_APP_BINARY, ZOVEX_APP_BINARY, "--version", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    char buf[512];
    const ssize_t n = read(err[0], buf, sizeof buf);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LE(n, 0) << std::string(buf, n > 0 ? size_t(n) : 0);
}
