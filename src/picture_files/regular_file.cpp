#include "regular_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zovex {

RegularFile openRegularFile(const QByteArray& path, LinkRule links)
{
    RegularFile f;
    // Without O_NONBLOCK a named pipe would hold the caller until someone writes to it.
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (links == LinkRule::Refuse)
        flags |= O_NOFOLLOW;
    const int fd = ::open(path.constData(), flags);
    if (fd < 0) {
        f.error = errno;
        return f;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        f.error = errno;
        ::close(fd);
        return f;
    }
    if (!S_ISREG(st.st_mode)) {
        f.notRegular = true;
        ::close(fd);
        return f;
    }
    f.fd = fd;
    f.size = st.st_size;
    return f;
}

} // namespace zovex
