// Replacing a file whole or not at all, in folders others may share.
//
// Contract: the bytes go to a temporary file in the target's folder (an unnamed one where the
// file system offers O_TMPFILE, else a hidden name no other file has), are synced, and then
// the temporary file is renamed onto the target's name. The rename replaces the directory
// entry itself: a link standing under the target's name is replaced by the new file, and
// nothing is ever written through it. Until commit() succeeds the old file is untouched; a
// failure or a destroyed AtomicFile leaves no temporary file behind, and with
// installTemporaryFileCleanup() neither does SIGINT, SIGTERM or SIGHUP. Only a regular file
// or a link is ever replaced: a folder, a named pipe, a socket or a device under the name is
// refused and left as it is.
#pragma once

#include "file_error.h"

#include <QByteArray>
#include <QString>

#include <vector>

#include <sys/types.h>

namespace zovex {

enum class FileAccess {
    LikeExisting,  // the old file's permission bits, or the usual 0666 less the umask
    OwnerOnly,     // 0600, from before the first byte is written
    ReadableByAll, // 0644 (all read, the owner writes), from before the first byte is written
};

class AtomicFile {
public:
    explicit AtomicFile(const QString& path, FileAccess access = FileAccess::LikeExisting);
    // The path as the file system's bytes (a folder whose name is not valid text, for example).
    explicit AtomicFile(const QByteArray& nativePath, FileAccess access = FileAccess::LikeExisting);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Each returns false on failure and then says why in *why; after a failure only the
    // destructor is left to call.
    bool open(FileError* why);
    bool write(const void* data, qint64 size, FileError* why);
    bool commit(FileError* why);

private:
    bool flushBuffer(FileError* why);
    bool fail(FileError* why, const FileError& reason);
    bool failSystem(FileError* why, int errnum) { return fail(why, FileError::system(errnum)); }
    bool openTemporary(mode_t mode);
    void discard();

    QByteArray m_path;
    FileAccess m_access;
    int m_dirFd = -1;
    int m_fd = -1;
    QByteArray m_name;     // the target's name in its folder
    QByteArray m_tempName; // the temporary file's name, once it has one
    int m_cleanupSlot = -1;
    std::vector<char> m_buffer;
};

// Removes the temporary files of writes in progress when the process is ended by SIGINT,
// SIGTERM or SIGHUP, then ends it as the signal would have. Signals the process ignores
// stay ignored. For programs that write files in batches (zovex-render); safe to call twice.
void installTemporaryFileCleanup();

namespace detail {
// For tests: behave as on a file system without O_TMPFILE.
void setUnnamedTemporariesAllowed(bool allowed);
} // namespace detail

} // namespace zovex
