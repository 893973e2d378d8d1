#include "password_file.h"

#include "atomic_file.h"
#include "file_error.h"
#include "regular_file.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zovex {

namespace {

QString defectReason(PasswordFileDefect d)
{
    switch (d) {
    case PasswordFileDefect::None:
        break;
    case PasswordFileDefect::Empty:
        return QStringLiteral("文件是空的");
    case PasswordFileDefect::NoQuotedField:
        return QStringLiteral("没有用双引号括起的密码");
    case PasswordFileDefect::TooLong:
        return QStringLiteral("密码超过31个字符");
    case PasswordFileDefect::Undecodable:
        return QStringLiteral("含有无法还原的字符");
    case PasswordFileDefect::TrailingData:
        return QStringLiteral("密码后面还有其他内容");
    case PasswordFileDefect::Untypable:
        return QStringLiteral("密码含有无法输入的字符");
    }
    return {};
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

PasswordFileRead damaged(QString reason) { return {PasswordFileState::Damaged, {}, std::move(reason)}; }
PasswordFileRead unreadable(QString reason) { return {PasswordFileState::Unreadable, {}, std::move(reason)}; }

enum class Lookup { Found, Absent, DirUnreadable };

QByteArray passwordFilePath(const QByteArray& dir)
{
    const QByteArray name = QFile::encodeName(kPasswordFileName);
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

Lookup lookUp(const QByteArray& dir, int* err)
{
    const QByteArray name = QFile::encodeName(kPasswordFileName);
    std::unique_ptr<DIR, DirCloser> d(::opendir(dir.constData()));
    if (!d) {
        *err = errno;
        return Lookup::DirUnreadable;
    }
    while (const dirent* e = ::readdir(d.get())) {
        if (std::strcmp(e->d_name, name.constData()) == 0)
            return Lookup::Found;
    }
    return Lookup::Absent;
}

} // namespace

QByteArray programFolder()
{
    // The link names the program's file exactly as the file system has it.
    QByteArray exe(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
    if (n > 0 && n < exe.size()) {
        exe.truncate(n);
        const qsizetype slash = exe.lastIndexOf('/');
        if (slash >= 0)
            return slash == 0 ? QByteArray("/") : exe.left(slash);
    }
    return QFile::encodeName(QCoreApplication::applicationDirPath());
}

bool hasPasswordFileEntry(const QByteArray& dir)
{
    int err = 0;
    return lookUp(dir, &err) == Lookup::Found;
}

PasswordFileRead readPasswordFile(const QByteArray& dir)
{
    int err = 0;
    switch (lookUp(dir, &err)) {
    case Lookup::Found:
        break;
    case Lookup::Absent:
        return {PasswordFileState::Missing, {}, {}};
    case Lookup::DirUnreadable:
        // A folder that does not exist holds no password file; one we may not list is unreadable.
        if (err == ENOENT || err == ENOTDIR)
            return {PasswordFileState::Missing, {}, {}};
        return unreadable(QStringLiteral("无法查看程序所在的文件夹（%1）").arg(systemErrorNotice(err)));
    }

    const QByteArray path = passwordFilePath(dir);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return {PasswordFileState::Missing, {}, {}}; // gone between the listing and now
    if (S_ISLNK(st.st_mode))
        return damaged(QStringLiteral("它是一个链接，不是文件"));
    if (S_ISDIR(st.st_mode))
        return damaged(QStringLiteral("它是一个文件夹，不是文件"));
    if (!S_ISREG(st.st_mode))
        return damaged(QStringLiteral("它不是普通文件"));

    // No link followed, no wait on a pipe: whatever replaced the file since the check cannot
    // make us do either.
    const RegularFile opened = openRegularFile(path, LinkRule::Refuse);
    if (opened.error == ELOOP)
        return damaged(QStringLiteral("它是一个链接，不是文件"));
    if (opened.notRegular)
        return damaged(QStringLiteral("它不是普通文件"));
    if (opened.fd < 0)
        return unreadable(systemErrorNotice(opened.error));
    Fd fd(opened.fd);
    st.st_size = opened.size;
    const QString tooLong = QStringLiteral("文件超过%1字节").arg(kMaxPasswordFileBytes);
    if (st.st_size > kMaxPasswordFileBytes)
        return damaged(tooLong);

    QByteArray content(kMaxPasswordFileBytes + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd.get(), content.data() + got, static_cast<size_t>(content.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return unreadable(systemErrorNotice(errno));
        }
        if (n == 0)
            break;
        got += n;
    }
    if (got > kMaxPasswordFileBytes)
        return damaged(tooLong); // grew after the size check
    content.truncate(got);

    const PasswordFileContent parsed = parsePasswordFile(content);
    if (parsed.defect != PasswordFileDefect::None)
        return damaged(defectReason(parsed.defect));
    return {PasswordFileState::Ok, parsed.storedPassword, {}};
}

PasswordFileWrite writePasswordFile(const QByteArray& dir, QByteArrayView encoded)
{
    // Synced before the rename, so that neither a full disk nor a crash can leave an empty file
    // that would lock every user out. Every user's login reads the file, but only its owner may
    // change the password: on an installed copy that is root. A link put in the file's place is
    // replaced, never written through.
    AtomicFile file(passwordFilePath(dir), FileAccess::ReadableByAll);
    const QByteArray line = passwordFileLine(encoded);
    FileError why;
    if (!file.open(&why) || !file.write(line.constData(), line.size(), &why) || !file.commit(&why))
        return {false, why.notice()};
    return {true, {}};
}

} // namespace zovex
