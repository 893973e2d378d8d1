#include "output_folder.h"

#include "atomic_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zovex {

bool openOutputFolder(const QByteArray& dir, QString& folder, std::string& error)
{
    const std::string name = dir.toStdString();
    // Each missing folder on the way is made, as mkdir -p does, from the bytes as given.
    for (qsizetype end = 1; end <= dir.size(); ++end) {
        if (end < dir.size() && dir[end] != '/')
            continue;
        const QByteArray part = dir.left(end);
        if (part.endsWith('/'))
            continue;
        if (mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            error = "cannot create output folder '" + name + "': " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (stat(dir.constData(), &st) != 0) {
        error = "cannot create output folder '" + name + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "output folder '" + name + "' exists and is not a folder";
        return false;
    }
    if (QFile::encodeName(QFile::decodeName(dir)) == dir) {
        folder = QFile::decodeName(dir);
    } else {
        // Text cannot carry these bytes; the folder itself, held open, can.
        const int fd = open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot open output folder '" + name + "': " + std::strerror(errno);
            return false;
        }
        folder = QStringLiteral("/proc/self/fd/%1").arg(fd);
    }
    // Probed the way the patterns are written; the probe, never committed, leaves nothing, and
    // a named one is registered for removal on an ending signal.
    AtomicFile probe(QDir(folder).filePath(QStringLiteral(".zovex-probe")));
    FileError why;
    if (!probe.open(&why)) {
        error = "cannot write into output folder '" + name + "': " + why.english();
        return false;
    }
    return true;
}

QByteArray privateRuntimeFolder(const QByteArray& base, std::string& error, RuntimeFolderKind* kind)
{
    if (kind)
        *kind = RuntimeFolderKind::Usual;
    const QByteArray usual = base + "/zovex-runtime-" + QByteArray::number(getuid());
    if (mkdir(usual.constData(), 0700) == 0 || errno == EEXIST) {
        // Anyone may have made it first: use it only when it is really ours and closed to others.
        struct stat st {};
        if (lstat(usual.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
            (st.st_mode & 07777) == 0700)
            return usual;
    }
    QByteArray fresh = base + "/zovex-runtime-XXXXXX";
    if (mkdtemp(fresh.data())) {
        if (kind)
            *kind = RuntimeFolderKind::Fresh;
        return fresh;
    }
    error = "cannot make a private runtime folder in " + base.toStdString() + ": " + std::strerror(errno);
    return {};
}

} // namespace zovex
