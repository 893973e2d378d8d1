// Opening a file that came from outside for reading, without ever blocking on it: a named pipe
// nobody writes to, a device or a socket under the name is refused instead of holding the
// window.
#pragma once

#include <QByteArray>

namespace zovex {

enum class LinkRule {
    Follow, // a link to a regular file is read like the file
    Refuse, // a link is refused (ELOOP)
};

struct RegularFile {
    int fd = -1;             // open for reading (close-on-exec, non-blocking), or -1
    int error = 0;           // why not, as the system says it (ENOENT, EACCES, ...); 0 when open
    bool notRegular = false; // it opened, but is a folder, a pipe, a device or a socket
    qint64 size = 0;         // the file's size when open
};

// Opens `path` (the file system's bytes) read-only with O_NONBLOCK, O_NOCTTY and O_CLOEXEC and
// keeps it only when it is a regular file. The caller closes fd.
RegularFile openRegularFile(const QByteArray& path, LinkRule links = LinkRule::Follow);

} // namespace zovex
