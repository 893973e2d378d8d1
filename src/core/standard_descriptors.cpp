#include "standard_descriptors.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace zovex {

ClosedStandardDescriptors openNullOnClosedStandardDescriptors()
{
    ClosedStandardDescriptors closed;
    bool* flags[] = {&closed.input, &closed.output, &closed.error};
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        *flags[fd] = true;
        // The lowest free number is this one: the ones below are open by now.
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return closed;
}

} // namespace zovex
