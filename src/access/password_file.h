// The password file "wvkcom.cct" in the program's folder: finding it, reading it safely and
// rewriting it atomically.
//
// Only a directory entry named exactly "wvkcom.cct" (same letters, same case) counts. Reading
// never follows a link, never blocks on a special file and reads at most kMaxPasswordFileBytes;
// anything that is not one well-formed line is reported as damaged, never as a password.
// Writing replaces the whole file atomically, readable by all and writable by its owner only
// (0644), replacing a link in its place rather than writing through it: when it fails, the old
// file is left exactly as it was and the reason is returned.
#pragma once

#include "password_codec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace zovex {

inline const QString kPasswordFileName = QStringLiteral("wvkcom.cct");
inline constexpr qsizetype kMaxPasswordFileBytes = 4096;

enum class PasswordFileState {
    Ok,
    Missing,    // no entry named exactly "wvkcom.cct"
    Damaged,    // present, but not a regular file holding one well-formed line
    Unreadable, // a regular file (or the folder) that cannot be read
};

struct PasswordFileRead {
    PasswordFileState state = PasswordFileState::Missing;
    QString storedPassword; // valid when state is Ok
    QString reason;         // for Damaged and Unreadable: what is wrong, in the user's words
};

// The folder the running program was started from, as the file system's bytes: a folder whose
// name is not valid text is still the folder that holds the password file.
QByteArray programFolder();

// Folders are the file system's bytes; the QString forms take a name typed as text.

// Whether `dir` holds an entry named exactly "wvkcom.cct" (a directory listing, so a name in
// another case never counts, even on a case-insensitive file system).
bool hasPasswordFileEntry(const QByteArray& dir);
inline bool hasPasswordFileEntry(const QString& dir) { return hasPasswordFileEntry(QFile::encodeName(dir)); }

PasswordFileRead readPasswordFile(const QByteArray& dir);
inline PasswordFileRead readPasswordFile(const QString& dir) { return readPasswordFile(QFile::encodeName(dir)); }

struct PasswordFileWrite {
    bool ok = false;
    QString error; // why it failed, when !ok
};

// Replaces dir/wvkcom.cct by the line for `encoded` (see passwordFileLine).
PasswordFileWrite writePasswordFile(const QByteArray& dir, QByteArrayView encoded);
inline PasswordFileWrite writePasswordFile(const QString& dir, QByteArrayView encoded)
{
    return writePasswordFile(QFile::encodeName(dir), encoded);
}

} // namespace zovex
