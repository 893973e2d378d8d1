// Folders and files for the password tests: a private temporary folder per test, raw bytes in
// and out, permissions.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zovex::test {

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

inline unsigned modeOf(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

struct ProgramFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString file(const QString& name = QStringLiteral("wvkcom.cct")) const { return dir.filePath(name); }
    void put(const QByteArray& bytes, const QString& name = QStringLiteral("wvkcom.cct")) const
    {
        writeBytes(file(name), bytes);
    }
    QByteArray content() const { return readBytes(file()); }
};

} // namespace zovex::test
