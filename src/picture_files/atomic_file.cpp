#include "atomic_file.h"

#include <QFile>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zovex {

namespace {

constexpr size_t kBufferBytes = size_t(1) << 20;

std::atomic<bool> g_unnamedAllowed{true};

FileError noName() { return FileError::own(QStringLiteral("没有文件名"), "no file name"); }

FileError folderOfThatName()
{
    return FileError::own(QStringLiteral("已有同名的文件夹"), "a folder of that name exists");
}

FileError notOpen() { return FileError::own(QStringLiteral("文件没有打开"), "the file is not open"); }

// Replacing a pipe or a device would take it from whoever uses it (as root even /dev/null).
FileError notARegularFile()
{
    return FileError::own(QStringLiteral("该名称已被管道、设备或套接字占用，它不是普通文件，不能替换"),
                          "a pipe, device or socket of that name exists; only a regular file is replaced");
}

// The temporary names a signal handler must remove. Plain fixed slots: a handler may not
// allocate or lock, so it reads only slots whose state says they are complete.
struct CleanupSlot {
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holds a name
    int dirFd = -1;
    std::array<char, 256> name{};
};
// As many as zovex-render's most parallel batch writes at once.
std::array<CleanupSlot, 1024> g_cleanup;

int registerTemporary(int dirFd, const QByteArray& name)
{
    if (name.size() >= qsizetype(sizeof(CleanupSlot::name)))
        return -1;
    for (size_t i = 0; i < g_cleanup.size(); ++i) {
        int expected = 0;
        if (g_cleanup[i].state.compare_exchange_strong(expected, 1)) {
            g_cleanup[i].dirFd = dirFd;
            std::memcpy(g_cleanup[i].name.data(), name.constData(), size_t(name.size()) + 1);
            g_cleanup[i].state.store(2);
            return int(i);
        }
    }
    return -1; // more writes at once than slots: that one is only cleaned up by its owner
}

void unregisterTemporary(int slot)
{
    if (slot >= 0)
        g_cleanup[size_t(slot)].state.store(0);
}

extern "C" void removeTemporariesAndDie(int sig)
{
    for (CleanupSlot& s : g_cleanup) {
        if (s.state.load() == 2)
            ::unlinkat(s.dirFd, s.name.data(), 0);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

QByteArray randomSuffix()
{
    static thread_local std::mt19937 rng(std::random_device{}());
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(8, Qt::Uninitialized);
    for (char& c : s)
        c = letters[rng() % (sizeof letters - 1)];
    return s;
}

// Gives the temporary file a hidden, unique name beside the target: `create` makes the entry
// under a candidate name (and fails with EEXIST when the name is taken). The name is known to
// the signal handler before the entry exists, so it is never left behind. Returns 0 or errno.
template <typename Create>
int makeTemporaryName(int dirFd, const QByteArray& target, Create create, QByteArray& name, int& slot)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = "." + target.left(200) + "." + randomSuffix() + ".tmp";
        slot = registerTemporary(dirFd, candidate);
        if (create(candidate)) {
            name = candidate;
            return 0;
        }
        const int err = errno;
        unregisterTemporary(slot);
        slot = -1;
        if (err != EEXIST)
            return err;
    }
    return EEXIST;
}

} // namespace

AtomicFile::AtomicFile(const QString& path, FileAccess access) : m_path(QFile::encodeName(path)), m_access(access) {}

AtomicFile::AtomicFile(const QByteArray& nativePath, FileAccess access) : m_path(nativePath), m_access(access) {}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempName.isEmpty())
        ::unlinkat(m_dirFd, m_tempName.constData(), 0);
    m_tempName.clear();
    unregisterTemporary(m_cleanupSlot);
    m_cleanupSlot = -1;
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    m_dirFd = -1;
}

bool AtomicFile::fail(FileError* why, const FileError& reason)
{
    if (why)
        *why = reason;
    discard();
    return false;
}

bool AtomicFile::openTemporary(mode_t mode)
{
    // An unnamed file is given its name through /proc at the end: without /proc (some
    // containers) it could never be put in place.
    if (g_unnamedAllowed.load() && ::access("/proc/self/fd", X_OK) == 0)
        m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (m_fd >= 0)
        return true;
    // Without O_TMPFILE the temporary file has a name from the start: hidden, unique, and
    // created here (O_EXCL), never an existing file or a link someone put in its place.
    const int err = makeTemporaryName(
        m_dirFd, m_name,
        [&](const QByteArray& candidate) {
            m_fd = ::openat(m_dirFd, candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            return m_fd >= 0;
        },
        m_tempName, m_cleanupSlot);
    errno = err;
    return err == 0;
}

bool AtomicFile::open(FileError* why)
{
    if (m_path.isEmpty())
        return fail(why, noName());
    const qsizetype slash = m_path.lastIndexOf('/');
    m_name = m_path.mid(slash + 1);
    if (m_name.isEmpty() || m_name == "." || m_name == "..")
        return fail(why, folderOfThatName());
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : m_path.left(slash);
    // The folder is held open: every later step works inside this folder even when a name on
    // its path is changed meanwhile.
    m_dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return failSystem(why, errno);

    struct stat old {};
    const bool exists = ::fstatat(m_dirFd, m_name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return fail(why, folderOfThatName());
    if (exists && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
        return fail(why, notARegularFile());
    const mode_t fixed = m_access == FileAccess::OwnerOnly ? 0600 : m_access == FileAccess::ReadableByAll ? 0644 : 0;
    if (!openTemporary(fixed != 0 ? fixed : 0666))
        return failSystem(why, errno);
    mode_t wanted = fixed;
    if (wanted == 0 && exists && S_ISREG(old.st_mode))
        wanted = old.st_mode & 07777;
    if (wanted != 0 && ::fchmod(m_fd, wanted) != 0)
        return failSystem(why, errno);
    m_buffer.reserve(kBufferBytes);
    return true;
}

bool AtomicFile::flushBuffer(FileError* why)
{
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failSystem(why, errno);
        }
        done += size_t(n);
    }
    m_buffer.clear();
    return true;
}

bool AtomicFile::write(const void* data, qint64 size, FileError* why)
{
    if (m_fd < 0)
        return fail(why, notOpen());
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const size_t room = kBufferBytes - m_buffer.size();
        const size_t n = std::min(room, size_t(size));
        m_buffer.insert(m_buffer.end(), p, p + n);
        p += n;
        size -= qint64(n);
        if (m_buffer.size() == kBufferBytes && !flushBuffer(why))
            return false;
    }
    return true;
}

bool AtomicFile::commit(FileError* why)
{
    if (m_fd < 0)
        return fail(why, notOpen());
    if (!flushBuffer(why))
        return false;
    // Without the sync a crash soon after the rename could leave an empty file in place of
    // the old one.
    if (::fsync(m_fd) != 0)
        return failSystem(why, errno);
    if (m_tempName.isEmpty()) {
        // An unnamed file gets a hidden name first (linkat cannot replace an existing name).
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        const int err = makeTemporaryName(
            m_dirFd, m_name,
            [&](const QByteArray& candidate) {
                return ::linkat(AT_FDCWD, self.constData(), m_dirFd, candidate.constData(), AT_SYMLINK_FOLLOW) == 0;
            },
            m_tempName, m_cleanupSlot);
        if (err != 0)
            return failSystem(why, err);
    }
    if (::close(m_fd) != 0) {
        m_fd = -1;
        return failSystem(why, errno);
    }
    m_fd = -1;
    // Looked at again: a pipe or a device may have been put under the name meanwhile.
    struct stat now {};
    if (::fstatat(m_dirFd, m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(now.st_mode) &&
        !S_ISLNK(now.st_mode))
        return fail(why, S_ISDIR(now.st_mode) ? folderOfThatName() : notARegularFile());
    if (::renameat(m_dirFd, m_tempName.constData(), m_dirFd, m_name.constData()) != 0)
        return failSystem(why, errno);
    m_tempName.clear();
    unregisterTemporary(m_cleanupSlot);
    m_cleanupSlot = -1;
    // The rename itself is durable only once the folder is synced; the new file is in place
    // either way, so a failure here is not reported.
    ::fsync(m_dirFd);
    discard();
    return true;
}

void installTemporaryFileCleanup()
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction sa {};
        sa.sa_handler = removeTemporariesAndDie;
        sigemptyset(&sa.sa_mask);
        ::sigaction(sig, &sa, nullptr);
    }
}

namespace detail {
void setUnnamedTemporariesAllowed(bool allowed) { g_unnamedAllowed.store(allowed); }
} // namespace detail

} // namespace zovex
